#include "profile/basic_profiledata.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;

// A profile folder with a default profile and a profile data object pointed at it.
class BasicProfiledataTest : public ::testing::Test {
protected:
    void SetUp() override {
        defaultPath_ = dir_.Write("mouse.Json", R"({
            "Device": [ { "LightInfo": { "SelectItem": 2, "Red": 10, "MultiColor": 1 },
                          "KeyList": [ { "Assignment": 1, "FnAssignment": 2, "DefaultAssignment": 3 } ] } ]
        })");
        data_.SetDefaultDocumentPath(defaultPath_);
    }

    // Loads `document` (the value of "Device"[0]) through a profile file.
    void LoadWith(const std::string& document) {
        path_ =
            dir_.Write("p.Json", R"({ "Device": [ )" + document + R"( ], "profilename": "P" })");
        data_.SetDocumentPath(path_);
        data_.LoadDocument(path_);
    }

    TempDir dir_;
    std::string defaultPath_;
    std::string path_;
    CBasicProfiledata data_;
};

TEST_F(BasicProfiledataTest, NamesOnlyProfileIsCompletedFromDefaultAndWrittenBack) {
    const std::string path = dir_.Write(
        "p.Json", R"({ "profilename": "Gaming", "profileUUID": "2024_01_01_00_00_00_000" })");
    const Json::Value doc = data_.LoadDocument(path);
    EXPECT_EQ(doc["LightInfo"]["Red"].asInt(), 10);

    const Json::Value file = ReadJsonFile(path);
    EXPECT_EQ(file["profilename"].asString(), "Gaming");
    EXPECT_EQ(file["profileUUID"].asString(), "2024_01_01_00_00_00_000");
    EXPECT_EQ(file["Device"][0], ReadJsonFile(defaultPath_)["Device"][0]);
}

TEST_F(BasicProfiledataTest, UnparsableProfileIsKeptAsideBeforeReplacing) {
    const std::string path = dir_.Write("p.Json", "{ \"Device\": [ { broken");
    data_.LoadDocument(path);
    EXPECT_EQ(TempDir::Read(path + ".bad"), "{ \"Device\": [ { broken");
    EXPECT_EQ(ReadJsonFile(path)["Device"][0]["LightInfo"]["Red"].asInt(), 10);

    // A second bad file does not overwrite the first one kept.
    dir_.Write("p.Json", "[ 1, 2 ]");
    data_.LoadDocument(path);
    EXPECT_EQ(TempDir::Read(path + ".bad"), "{ \"Device\": [ { broken");
    EXPECT_EQ(TempDir::Read(path + ".bad.1"), "[ 1, 2 ]");
}

TEST_F(BasicProfiledataTest, MissingProfileFileIsCreatedFromDefault) {
    const std::string path = dir_.File("new.Json");
    data_.LoadDocument(path);
    EXPECT_EQ(ReadJsonFile(path)["Device"][0], ReadJsonFile(defaultPath_)["Device"][0]);
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}

TEST_F(BasicProfiledataTest, LightInfoReadsBytesAndMultiColorAsTruth) {
    LoadWith(R"({ "LightInfo": { "SelectItem": 3, "Light": 300, "MultiColor": 5, "Blue": 7,
                                 "ZZCCLedMode": 9, "OldLedmode": "text" } })");
    const LightInfo info = data_.ReadLightInfo();
    EXPECT_EQ(info.selectItem, 3);
    EXPECT_EQ(info.light, 300 & 0xFF);
    EXPECT_EQ(info.multiColor, 1);
    EXPECT_EQ(info.blue, 7);
    EXPECT_EQ(info.zzccLedMode, 9);
    EXPECT_EQ(info.oldLedmode, 0) << "a wrong-typed value reads as 0";
    EXPECT_EQ(data_.CurrentLightInfo(), info);
}

TEST_F(BasicProfiledataTest, MissingOrWrongTypedSectionsReadAsDefaults) {
    LoadWith(R"({ "KeyList": { "not": "an array" }, "LightList": 7, "AudioLightInfo": [ 1 ] })");
    EXPECT_EQ(data_.ReadLightInfo(), LightInfo{});
    EXPECT_TRUE(data_.ReadKeyList().empty());
    EXPECT_TRUE(data_.ReadLightList().empty());
    EXPECT_TRUE(data_.ReadEffectList().empty()) << "no light configuration loaded";
}

TEST_F(BasicProfiledataTest, WrittenSectionsAreSavedAndOtherMembersSurvive) {
    LoadWith(R"({ "Untouched": 1 })");
    LightInfo info;
    info.selectItem = 4;
    info.multiColor = 1;
    info.red = 200;
    info.present = 1;  // not stored
    data_.WriteLightInfo(info);
    AudioLightInfo audio;
    audio.fgColorG = 9;
    audio.colorTypeFlags = 1;
    data_.WriteAudioLightInfo(audio);
    ASSERT_EQ(data_.Save(), 0);

    const Json::Value file = ReadJsonFile(path_);
    EXPECT_EQ(file["profilename"].asString(), "P");
    const Json::Value& doc = file["Device"][0];
    EXPECT_EQ(doc["Untouched"].asInt(), 1);
    EXPECT_EQ(doc["LightInfo"].size(), 11u);
    EXPECT_EQ(doc["LightInfo"]["Red"].asInt(), 200);
    EXPECT_EQ(doc["AudioLightInfo"].size(), 9u);

    CBasicProfiledata reread;
    reread.LoadDocument(path_);
    LightInfo expected = info;
    expected.present = 0;
    EXPECT_EQ(reread.ReadLightInfo(), expected);
    EXPECT_EQ(reread.ReadAudioLightInfo(), audio);
}

TEST_F(BasicProfiledataTest, AudioLightInfoTypeFlagsAlwaysReadAsOne) {
    LoadWith(R"({ "AudioLightInfo": { "ColorTypeFlags": 0, "7ColorFlags": 4, "BkColorR": 3 } })");
    const AudioLightInfo info = data_.ReadAudioLightInfo();
    EXPECT_EQ(info.colorTypeFlags, 1);
    EXPECT_EQ(info.sevenColorFlags, 1);
    EXPECT_EQ(info.bkColorR, 3);

    LoadWith("{}");
    EXPECT_EQ(data_.ReadAudioLightInfo(), AudioLightInfo{});
}

TEST_F(BasicProfiledataTest, KeyListPacksCodesAndKeepsLaterElements) {
    std::string list = "[";
    for (int i = 0; i < 12; ++i) {
        list += std::string(i ? "," : "") + R"({ "Assignment": 131844, "FnAssignment": )" +
                std::to_string(i) + R"(, "DefaultAssignment": 65536 })";
    }
    LoadWith(R"({ "KeyList": )" + list + "] }");
    std::vector<KeyListEntry> keys = data_.ReadKeyList();
    ASSERT_EQ(keys.size(), 12u);
    EXPECT_EQ(keys[5].assignment.code, (KeyCode{2, 3, 4}));
    EXPECT_EQ(keys[5].assignment.index, 5);
    EXPECT_EQ(keys[5].fnAssignment.code, (KeyCode{0, 0, 5}));
    EXPECT_EQ(keys[5].defaultAssignment.code, (KeyCode{1, 0, 0}));

    keys.resize(10);
    keys[0].assignment.code = KeyCode{0x30, 0xCD, 0x00};
    keys[0].defaultAssignment.code = KeyCode{9, 9, 9};  // never written
    data_.WriteKeyList(keys);
    const Json::Value& written = data_.Document()["KeyList"];
    ASSERT_EQ(written.size(), 12u);
    EXPECT_EQ(written[0]["Assignment"].asInt(), 0x30CD00);
    EXPECT_EQ(written[0]["DefaultAssignment"].asInt(), 65536);
    EXPECT_EQ(written[1]["Assignment"].asInt(), 131844);
    EXPECT_EQ(written[11]["FnAssignment"].asInt(), 11) << "elements past the new list stay";
}

TEST_F(BasicProfiledataTest, OtherDocumentKeepsItsOwnKeyList) {
    LoadWith(R"({ "KeyList": [ { "Assignment": 1 } ] })");
    const std::string other =
        dir_.Write("o.Json", R"({ "Device": [ { "KeyList": [ { "Assignment": 2 }, {} ] } ] })");
    data_.LoadOtherDocument(other);
    std::vector<KeyListEntry> keys = data_.ReadOtherKeyList();
    ASSERT_EQ(keys.size(), 2u);
    keys[1].assignment.code = KeyCode{0x20, 0, 4};
    data_.WriteOtherKeyList(keys);
    ASSERT_EQ(data_.SaveOtherDocument(other), 0);

    EXPECT_EQ(ReadJsonFile(other)["Device"][0]["KeyList"][1]["Assignment"].asInt(), 0x200004);
    EXPECT_EQ(data_.ReadKeyList()[0].assignment.code, (KeyCode{0, 0, 1}));
}

TEST_F(BasicProfiledataTest, LightListMapsLedFieldsAndMarksPresence) {
    LoadWith(R"({ "LightList": [ null, { "LEDREGMode": 3, "LEDDirection": 2, "LEDMultiColor": 1,
                                         "red": 1, "green": 2, "blue": 3 } ] })");
    const std::vector<LightInfo> list = data_.ReadLightList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], LightInfo{});
    EXPECT_EQ(list[1].selectItem, 3);
    EXPECT_EQ(list[1].fx, 1);
    EXPECT_EQ(list[1].multiColor, 1);
    EXPECT_EQ(list[1].blue, 3);
    EXPECT_EQ(list[1].present, 1);
}

TEST_F(BasicProfiledataTest, EffectListComesFromTheSelectedEffectFile) {
    LoadWith(R"({ "LightInfo": { "SelectItem": 11 } })");
    // Element 1 lists this device's effects; mode 10 + n plays entry n.
    const std::string config = dir_.Write("kaldo_light.config", R"({ "LightInfo": [ [
        { "Guid": "wrong" }, { "Guid": "wrong" } ], [
        { "Guid": "first" }, { "Guid": "second" }, { "Guid": "../outside" } ] ] })");
    dir_.Write("wrong.light", R"({ "LEDEffectList": [ { "LEDREGMode": 5 } ] })");
    data_.SetLightConfigIndex(1);
    dir_.Write("second.light", R"({ "LEDEffectList": [
        { "LEDREGMode": 1, "red": 255, "Time": 1500, "Cyle": -1 },
        { "LEDREGMode": 2, "Time": 0 } ] })");
    data_.SetLightConfigPath(config);
    data_.LoadLightConfig(config);
    data_.ReadLightInfo();
    const std::vector<LightEffect> effects = data_.ReadEffectList();
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0].red, 255);
    EXPECT_EQ(effects[0].time, 1500);
    EXPECT_EQ(effects[0].cyle, -1);
    EXPECT_EQ(effects[1].ledRegMode, 2);

    LightInfo info = data_.CurrentLightInfo();
    info.selectItem = 12;  // a Guid that would leave the folder is not followed
    data_.WriteLightInfo(info);
    EXPECT_TRUE(data_.ReadEffectList().empty());
    EXPECT_TRUE(data_.EffectList().empty());
    info.selectItem = 1;  // a built-in mode has no effect list
    data_.WriteLightInfo(info);
    EXPECT_TRUE(data_.ReadEffectList().empty());
}

TEST_F(BasicProfiledataTest, SavingOverAMissingFileWritesDeviceOnly) {
    LoadWith("{ \"A\": 1 }");
    const std::string elsewhere = dir_.File("copy.Json");
    ASSERT_EQ(data_.SaveDocumentTo(data_.Document(), elsewhere), 0);
    const Json::Value file = ReadJsonFile(elsewhere);
    EXPECT_EQ(file.getMemberNames(), std::vector<std::string>{"Device"});
    EXPECT_EQ(file["Device"][0]["A"].asInt(), 1);
}

}  // namespace
}  // namespace morva
