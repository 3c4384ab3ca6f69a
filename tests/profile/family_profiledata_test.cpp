#include <gtest/gtest.h>

#include "profile/json_file.h"
#include "profile/keyboard_profiledata.h"
#include "profile/mouse_profiledata.h"
#include "profile/vu6533_profiledata.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;

// Loads `document` as "Device"[0] of a profile file into `data`.
template <typename Data>
void Load(TempDir& dir, Data& data, const std::string& document) {
    const std::string path = dir.Write("p.Json", R"({ "Device": [ )" + document + " ] }");
    data.SetDocumentPath(path);
    data.LoadDocument(path);
}

std::string Stages(int count) {
    std::string s = R"({ "DPIStages": { "StageActive": 1, "StageDPIs": [)";
    for (int i = 0; i < count; ++i) {
        s += std::string(i ? "," : "") + R"({ "StageActive": 1, "StageXY": 0, "StageDPIX": )" +
             std::to_string(400 * (i + 1)) + R"(, "StageDPIY": 1600, "StageColorR": 255,
             "StageColorG": 0, "StageColorB": )" +
             std::to_string(i) + "}";
    }
    return s + "] } }";
}

TEST(MouseProfiledata, DpiStagesSplitResolutionIntoBytesAndBack) {
    TempDir dir;
    CMouseProfiledata data;
    Load(dir, data, Stages(4));
    std::vector<DpiStage> stages = data.ReadDpiStages();
    ASSERT_EQ(stages.size(), 4u);
    EXPECT_EQ(data.StageActive(), 1);
    EXPECT_EQ(stages[3].dpiXLow, 0x40);
    EXPECT_EQ(stages[3].dpiXHigh, 0x06);
    EXPECT_EQ(stages[0].dpiYLow, 0x40);
    EXPECT_EQ(stages[2].colorB, 2);

    stages[0].SetDpiX(12000);
    data.WriteDpiStages(stages);
    data.WriteStageActive(3);
    ASSERT_EQ(data.Save(), 0);
    const Json::Value written = ReadJsonFile(data.GetDocumentPath())["Device"][0]["DPIStages"];
    EXPECT_EQ(written["StageActive"].asInt(), 3);
    EXPECT_EQ(written["StageDPIs"][0]["StageDPIX"].asInt(), 12000);
    EXPECT_EQ(written["StageDPIs"][3]["StageDPIX"].asInt(), 1600);
}

TEST(MouseProfiledata, ShorterStageListDoesNotInheritEarlierStages) {
    TempDir dir;
    CMouseProfiledata data;
    Load(dir, data, Stages(5));
    ASSERT_EQ(data.ReadDpiStages().size(), 5u);
    Load(dir, data, Stages(3));
    const std::vector<DpiStage> stages = data.ReadDpiStages();
    ASSERT_EQ(stages.size(), 3u);
    EXPECT_EQ(stages[2].DpiX(), 1200);
}

TEST(MouseProfiledata, ActiveStageIsReadEvenWithoutStageList) {
    TempDir dir;
    CMouseProfiledata data;
    Load(dir, data, Stages(2));
    data.ReadDpiStages();
    Load(dir, data, R"({ "DPIStages": { "StageActive": 4 } })");
    EXPECT_EQ(data.ReadDpiStages().size(), 2u) << "nothing to read: the list stays";
    EXPECT_EQ(data.StageActive(), 4);
}

TEST(MouseProfiledata, SystemStagesAndReportRate) {
    TempDir dir;
    CMouseProfiledata data;
    Load(dir, data, R"({ "SystemStages": { "DoubleClickTime": 500, "MouseSpeed": 10,
                         "PointerPrecision": 1, "ScorllPage": 0, "WheelScorlllinse": 3 },
                         "ReportStages": { "StageActive": 2 } })");
    MouseSystemStages s = data.ReadMouseStages();
    EXPECT_EQ(s.doubleClickTime, 500);
    EXPECT_EQ(s.wheelScorlllinse, 3);
    EXPECT_EQ(s.reportRate, 2);

    s.reportRate = 4;
    s.mouseSpeed = 7;
    data.WriteMouseStages(s);
    EXPECT_EQ(data.Document()["ReportStages"]["StageActive"].asInt(), 4);
    EXPECT_EQ(data.Document()["SystemStages"]["MouseSpeed"].asInt(), 7);

    Load(dir, data, "{}");
    EXPECT_EQ(data.ReadMouseStages(), MouseSystemStages{});
}

TEST(MouseProfiledata, CorrectInfoIsReadWithNames) {
    TempDir dir;
    CMouseProfiledata data;
    Load(dir, data, R"({ "CorrectInfo": [ { "CorrectPixThresh": 3, "CorrectMinSq": 4,
                         "CorrectSelect": 1, "CorrectName": "直线" } ] })");
    const std::vector<CorrectInfo> list = data.ReadCorrectInfo();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].correctMinSq, 4);
    EXPECT_EQ(list[0].correctName, "直线");
}

TEST(KeyboardProfiledata, FnFlagIsABooleanInTheFile) {
    TempDir dir;
    CKeyboardProfiledata data;
    Load(dir, data, "{}");
    EXPECT_FALSE(data.ReadFnKeysetFlag());
    data.WriteFnKeysetFlag(true);
    EXPECT_TRUE(data.Document()["FnKeysetFlag"].isBool());
    EXPECT_TRUE(data.ReadFnKeysetFlag());
}

TEST(KeyboardProfiledata, ReadingCustomColoursCompletesTheDocument) {
    TempDir dir;
    CKeyboardProfiledata data;
    Load(dir, data, "{}");
    const std::vector<KeyColour> colours = data.ReadCustomLightColours(2, 104);
    ASSERT_EQ(colours.size(), 104u);
    EXPECT_EQ(colours[103], KeyColour{});
    const Json::Value& leds = data.Document()["CustomLightMode"]["LightColorInfo"][2];
    ASSERT_EQ(leds.size(), 104u);
    EXPECT_EQ(leds[50]["Alpha"].asInt(), 0);
    EXPECT_TRUE(leds[50].isMember("Red"));

    std::vector<KeyColour> changed = colours;
    changed[1] = KeyColour{1, 2, 3, 4};
    data.WriteCustomLightColours(changed, 2);
    data.WriteCustomLightGroup(2);
    EXPECT_EQ(data.ReadCustomLightColours(2, 104)[1], (KeyColour{1, 2, 3, 4}));
    EXPECT_EQ(data.ReadCustomLightGroup(), 2);

    EXPECT_TRUE(data.ReadCustomLightColours(1 << 30, 4).empty()) << "absurd modes grow nothing";
}

TEST(KeyboardProfiledata, SystemStagesRoundTrip) {
    TempDir dir;
    CKeyboardProfiledata data;
    Load(dir, data, R"({ "SystemStages": { "Repeat": 1, "RepeatDelay": 250, "KeyShake": 5 } })");
    KeyboardSystemStages s = data.ReadKeyboardStages();
    EXPECT_EQ(s.repeatDelay, 250);
    EXPECT_EQ(s.keyShake, 5);
    s.pollingRate = 3;
    data.WriteKeyboardStages(s);
    EXPECT_EQ(data.Document()["SystemStages"].size(), 7u);
    EXPECT_EQ(data.ReadKeyboardStages(), s);
}

TEST(Vu6533Profiledata, EqualiserRowsFollowThePresetRule) {
    TempDir dir;
    CVu6533Profiledata data;
    Load(dir, data, "{}");
    std::vector<int> values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    data.WriteEqValues(1, values);
    EXPECT_EQ(data.ReadEqValues(0), values) << "preset 0 shares row 1";
    EXPECT_EQ(data.ReadEqValues(20), values) << "unknown presets use row 1";

    const Json::Value before = data.Document();
    EXPECT_TRUE(data.ReadEqValues(13).empty());
    data.WriteEqValues(13, values);
    EXPECT_EQ(data.Document(), before) << "the custom slot has no preset row";

    EXPECT_EQ(data.ReadEqValues(5), std::vector<int>(10, 0));
    EXPECT_EQ(data.Document()["EQHzValueInfo"][5].size(), 10u) << "missing bands are filled in";
}

TEST(Vu6533Profiledata, CustomEqualisersAndNames) {
    TempDir dir;
    CVu6533Profiledata data;
    Load(dir, data,
         R"({ "CustomEQNameInfo": [ { "Name": "a" }, { "Name": "b" }, { "Name": "c" } ] })");
    EXPECT_EQ(data.ReadCustomEqNames(), (std::vector<std::string>{"a", "b", "c"}));
    data.WriteCustomEqNames({"低音", "x"});
    EXPECT_EQ(data.Document()["CustomEQNameInfo"].size(), 2u);
    EXPECT_EQ(data.ReadCustomEqNames(), (std::vector<std::string>{"低音", "x"}));

    data.WriteCustomEqValues(1, {-3, -2, -1, 0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(data.ReadCustomEqValues(1), (std::vector<int>{-3, -2, -1, 0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(data.ReadCustomEqValues(-1).empty());
}

TEST(Vu6533Profiledata, SystemSetStagesRoundTrip) {
    TempDir dir;
    CVu6533Profiledata data;
    Load(dir, data, R"({ "SystemSetStages": { "MicInValue": -12, "CustomEqSeletIndex": 2 } })");
    HeadsetSystemSetStages s = data.ReadSystemSetStages();
    EXPECT_EQ(s.micInValue, -12);
    EXPECT_EQ(s.customEqSeletIndex, 2);
    s.micMoniterValue = 40;
    data.WriteSystemSetStages(s);
    EXPECT_EQ(data.Document()["SystemSetStages"].size(), 8u);
    EXPECT_EQ(data.ReadSystemSetStages(), s);
}

}  // namespace
}  // namespace morva
