#include "device/models/default_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>

#include "device/device_tables.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/mouse_profiledata.h"
#include "sim/firmware.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

namespace fs = std::filesystem;

const std::string kRes = MORVA_RES_DIR;
const std::string kShippedDefaults = kRes + "/DefaultData/";

// Four kinds, each recognisable by its own names and codes.
constexpr char kFourKinds[] = R"({
  "DefaultLightName": [
    [ {"LightName": "kb0", "visible": true, "value": 10} ],
    [ {"LightName": "ms0", "visible": true, "value": 7},
      {"LightName": "ms1", "visible": false, "value": 3},
      {} ],
    [ {"LightName": "pad0", "visible": 1, "value": 5} ],
    [ {"LightName": "hd0", "visible": true, "value": 6} ]
  ],
  "AreaLightName": [
    [ {"LightName": "kb_all"} ],
    [ {"LightName": "ms_all"}, {"LightName": "ms_logo"} ],
    [ {"LightName": "pad_all"} ],
    [ {"LightName": "hd_all"} ]
  ]
})";

constexpr char kTwoKinds[] = R"({
  "DefaultLightName": [ [ {"LightName": "kb0", "value": 1} ],
                        [ {"LightName": "ms0", "value": 2} ] ],
  "AreaLightName": [ [ {"LightName": "kb_all"} ], [ {"LightName": "ms_all"} ] ]
})";

class DefaultDataTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string user = Folder("user");
    std::string defaults = Folder("defaults");
    CDeviceDefaultData data;

    std::string Folder(const std::string& name) const {
        fs::create_directories(dir.path() / name);
        return (dir.path() / name).string() + "/";
    }
    void WriteDefaults(const std::string& text) const {
        dir.Write("defaults/default_light.json", text);
    }
    void WriteUser(const std::string& name, const std::string& text) const {
        dir.Write("user/" + name, text);
    }
    void Load(int kind, const std::string& macroFile = kMacroListFileName) {
        data.LoadDefaultData(user, defaults, kind, macroFile);
    }
};

TEST_F(DefaultDataTest, EachKindReadsItsOwnElementAndEntriesDefaultTheirMissingKeys) {
    WriteDefaults(kFourKinds);
    Load(kKindMouse);
    EXPECT_EQ(data.lightModeNames, (std::vector<std::string>{"ms0", "ms1", ""}));
    EXPECT_EQ(data.lightModeVisible, (std::vector<std::uint8_t>{1, 0, 0}))
        << "a hidden mode keeps its place so the indexes stay the page's mode indexes";
    EXPECT_EQ(data.lightModeCodes, (std::vector<std::int32_t>{7, 3, 0}));
    EXPECT_EQ(data.areaLightNames, (std::vector<std::string>{"ms_all", "ms_logo"}));

    Load(kKindKeyboard);
    EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"kb0"});
    EXPECT_EQ(data.lightModeCodes, std::vector<std::int32_t>{10});
    EXPECT_EQ(data.areaLightNames, std::vector<std::string>{"kb_all"});

    Load(kKindMousePad);
    EXPECT_EQ(data.lightModeVisible, std::vector<std::uint8_t>{1}) << "a number counts as truth";
    Load(kKindHeadset);
    EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"hd0"});
}

TEST_F(DefaultDataTest, KindsTheFileDoesNotCoverKeepTheirLists) {
    WriteDefaults(kTwoKinds);
    Load(kKindMousePad);
    EXPECT_TRUE(data.lightModeNames.empty());
    EXPECT_TRUE(data.areaLightNames.empty());

    WriteDefaults(kFourKinds);
    Load(kKindHeadset);
    WriteDefaults(kTwoKinds);
    Load(kKindHeadset);
    EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"hd0"});
    EXPECT_EQ(data.lightModeCodes, std::vector<std::int32_t>{6});
    EXPECT_EQ(data.areaLightNames, std::vector<std::string>{"hd_all"});

    // Neither an unreadable file, a kind's entry that is not a list, nor a negative kind
    // may wipe what the panel already shows.
    for (const char* text : {"{ not json", R"({"DefaultLightName": [1, 2, 3, 4]})"}) {
        WriteDefaults(text);
        Load(kKindHeadset);
        EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"hd0"}) << text;
        EXPECT_EQ(data.areaLightNames, std::vector<std::string>{"hd_all"}) << text;
    }
    WriteDefaults(kFourKinds);
    Load(-1);
    EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"hd0"});
    fs::remove(dir.path() / "defaults/default_light.json");
    Load(kKindMouse);
    EXPECT_EQ(data.lightModeNames, std::vector<std::string>{"hd0"});
}

TEST_F(DefaultDataTest, MacroNamesAreEmptiedWhenTheListShrinksToNothingOrGoesMissing) {
    WriteUser("macro.config", R"({"MacroInfo": [{"MacroName": "Reload", "Guid": "a"},
                                                {"MacroName": "连击", "Guid": "b"},
                                                {"Guid": "c"}]})");
    Load(kKindMouse);
    EXPECT_EQ(data.macroNames, (std::vector<std::string>{"Reload", "连击", ""}));

    WriteUser("macro.config", R"({"MacroInfo": []})");
    Load(kKindMouse);
    EXPECT_TRUE(data.macroNames.empty());

    WriteUser("macro.config", R"({"MacroInfo": [{"MacroName": "Reload"}]})");
    Load(kKindMouse);
    fs::remove(dir.path() / "user/macro.config");
    Load(kKindMouse);
    EXPECT_TRUE(data.macroNames.empty());

    // The pad and headset read their own list, never the keyboard's or mouse's.
    WriteUser("macro.config", R"({"MacroInfo": [{"MacroName": "Reload"}]})");
    Load(kKindMousePad, kReadOnlyMacroListFileName);
    EXPECT_TRUE(data.macroNames.empty());
}

TEST_F(DefaultDataTest, CustomEffectsComeFromTheUserLightConfig) {
    WriteUser("kaldo_light.config", R"({"LightInfo": [
        [{"LightName": "kb effect", "Guid": "g0"}],
        [{"LightName": "Aurora", "Guid": "g1"}, {"Guid": "g2"}]]})");
    Load(kKindMouse);
    EXPECT_EQ(data.customEffectNames, (std::vector<std::string>{"Aurora", ""}));

    fs::remove(dir.path() / "user/kaldo_light.config");
    Load(kKindMouse);
    EXPECT_EQ(data.customEffectNames, (std::vector<std::string>{"Aurora", ""}));
    Load(kKindMousePad);
    EXPECT_EQ(data.customEffectNames, (std::vector<std::string>{"Aurora", ""}));
}

TEST_F(DefaultDataTest, FoldersWithoutATrailingSeparatorStillReach) {
    WriteDefaults(kFourKinds);
    WriteUser("macro.config", R"({"MacroInfo": [{"MacroName": "Reload"}]})");
    user.pop_back();
    defaults.pop_back();
    Load(kKindMouse);
    EXPECT_EQ(data.macroNames, std::vector<std::string>{"Reload"});
    EXPECT_EQ(data.lightModeNames.size(), 3u);
}

// ---- The shipped data ----

bool LanguageHasKey(const std::string& file, const std::string& key) {
    return test::TempDir::Read(kRes + "/skin/" + file).find("id=\"" + key + "\"") !=
           std::string::npos;
}

TEST(ShippedDefaultData, EveryKindHasConsistentListsWithTranslatedNames) {
    test::TempDir noUserData;
    for (int kind : {kKindKeyboard, kKindMouse, kKindMousePad, kKindHeadset}) {
        SCOPED_TRACE(kind);
        CDeviceDefaultData data;
        data.LoadDefaultData(noUserData.path().string(), kShippedDefaults, kind,
                             kMacroListFileName);
        ASSERT_FALSE(data.lightModeNames.empty());
        EXPECT_EQ(data.lightModeVisible.size(), data.lightModeNames.size());
        EXPECT_EQ(data.lightModeCodes.size(), data.lightModeNames.size());
        EXPECT_FALSE(data.areaLightNames.empty());
        std::vector<std::string> keys = data.lightModeNames;
        keys.insert(keys.end(), data.areaLightNames.begin(), data.areaLightNames.end());
        for (const std::string& key : keys) {
            EXPECT_TRUE(LanguageHasKey("lan_en.xml", key)) << key;
            EXPECT_TRUE(LanguageHasKey("lan_cn.xml", key)) << key;
        }
        // Reading a device's code back to a mode takes the first match, so a repeated code
        // would make the later mode unreachable.
        std::set<std::int32_t> codes(data.lightModeCodes.begin(), data.lightModeCodes.end());
        EXPECT_EQ(codes.size(), data.lightModeCodes.size());
    }
}

TEST(ShippedDefaultData, MouseModesFollowThePagesModeIndexes) {
    test::TempDir noUserData;
    CDeviceDefaultData data;
    data.LoadDefaultData(noUserData.path().string(), kShippedDefaults, kKindMouse,
                         kMacroListFileName);
    // The mouse's light thread and panel layouts are keyed by these indexes.
    const std::vector<std::string> expected{"light_mode_wave",       "light_mode_spectrum",
                                            "light_mode_breathing",  "light_mode_static",
                                            "light_mode_flash",      "light_mode_music",
                                            "light_mode_reactive",   "light_mode_breathing_four",
                                            "light_mode_flash_four", "light_mode_off"};
    EXPECT_EQ(data.lightModeNames, expected);
    EXPECT_TRUE(std::all_of(data.lightModeVisible.begin(), data.lightModeVisible.end(),
                            [](std::uint8_t v) { return v == 1; }));
    for (std::int32_t code : data.lightModeCodes) {
        EXPECT_GE(code, 0);
        EXPECT_LE(code, 0xFF) << "the setting block carries the code in one byte";
    }
}

// The shoot panel edits bullet b at events 6b..6b+5 and the mouse takes distances as bytes.
TEST(ShippedDefaultData, ShootPatternsHoldThirtyWellFormedBullets) {
    for (int weapon = 0; weapon < 4; ++weapon) {
        SCOPED_TRACE(weapon);
        const Json::Value file =
            ReadJsonFile(kShippedDefaults + "ShootData_" + std::to_string(weapon) + ".Shoot");
        const Json::Value& events = json::Get(file, "Events");
        ASSERT_EQ(json::Size(events), 180u);
        constexpr int kTypes[6] = {1, 1, 4, 5, 4, 5};
        for (Json::ArrayIndex i = 0; i < 180; ++i) {
            SCOPED_TRACE(i);
            const std::string action = json::ToString(json::Get(events[i], "Action"));
            const int button = json::ToInt(json::Get(events[i], "Button"), -1);
            EXPECT_EQ(json::ToInt(json::Get(events[i], "Type")), kTypes[i % 6]);
            EXPECT_TRUE(action == "down" || action == "up") << action;
            if (i % 6 < 2)
                EXPECT_EQ(button, 1) << "left button";
            else if (i % 6 >= 4)
                EXPECT_EQ(button, 0) << "the move is closed with a zero step";
            else
                EXPECT_TRUE(button >= 0 && button <= 0xFF) << button;
        }
    }
}

// ---- The mouse's factory profile against the simulated mouse ----

constexpr std::array<KeyCode, 11> kButtonCodes{{
    {0x10, 0x01, 0x00},
    {0x10, 0x02, 0x00},
    {0x10, 0x04, 0x00},
    {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00},
    {0x13, 0x01, 0x00},
    {0x13, 0x02, 0x00},
    {0x13, 0x03, 0x00},
    {0xA0, 0x1B, 0x00},
    {0x16, 0x90, 0x01},
    {0x14, 0x78, 0x02},
}};

struct Sensor {
    int id, step, maxSlider, minDpi;

    int Dpi(int slider) const {
        if (id == 0x3325 && slider > 48)
            return minDpi + 48 * step + (slider - 48) * 200;
        return minDpi + slider * step;
    }
};

class ShippedMouseProfile : public ::testing::Test {
protected:
    void SetUp() override {
        profile.SetDefaultDocumentPath(kShippedDefaults + "mouse.Json");
        // A profile file that does not exist yet is completed from the factory profile.
        profile.LoadDocument(dir.File("new.Json"));
        ASSERT_FALSE(profile.Document().isNull());
        const auto info = firmware->ReadArea(sim::Area::Info);
        sensor = {info[9] | info[10] << 8, info[11], info[12] | info[13] << 8,
                  info[14] | info[15] << 8};
        setting = firmware->ReadArea(sim::Area::Setting, 0, 71);
    }

    test::TempDir dir;
    CMouseProfiledata profile;
    std::unique_ptr<sim::VirtualFirmware> firmware = sim::MakeFirmware(sim::Product::Mouse);
    Sensor sensor{};
    std::vector<std::uint8_t> setting;
};

TEST_F(ShippedMouseProfile, ButtonsCarryTheirReferenceCodesAtTheirOwnIndex) {
    const std::vector<KeyListEntry> keys = profile.ReadKeyList();
    ASSERT_EQ(keys.size(), kButtonCodes.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(keys[i].assignment.index, i);
        EXPECT_EQ(keys[i].assignment.code, kButtonCodes[i]);
        EXPECT_EQ(keys[i].defaultAssignment.code, kButtonCodes[i]);
    }
    // A per-LED list in the factory profile would run its own effects over every mode.
    EXPECT_TRUE(profile.ReadLightList().empty());
}

TEST_F(ShippedMouseProfile, StagesFitTheSimulatedSensor) {
    const std::vector<DpiStage> stages = profile.ReadDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    EXPECT_EQ(profile.StageActive(), 0);
    // Slider units, not DPI: a DPI value here would lie far beyond the slider's range.
    std::set<int> dpis;
    for (const DpiStage& s : stages) {
        SCOPED_TRACE(s.DpiX());
        EXPECT_EQ(s.stageActive, 1);
        EXPECT_LE(s.DpiX(), sensor.maxSlider);
        EXPECT_EQ(s.DpiY(), s.DpiX());
        dpis.insert(sensor.Dpi(s.DpiX()));
    }
    EXPECT_EQ(dpis.size(), stages.size());
    ASSERT_EQ(sensor.id, 0x3325);
    EXPECT_GT(*dpis.rbegin(), sensor.Dpi(48)) << "one stage should use the upper DPI range";
    EXPECT_LE(profile.ReadMouseStages().reportRate, 4);
}

TEST_F(ShippedMouseProfile, AgreesWithTheSimulatedMouseFactorySettings) {
    test::TempDir noUserData;
    CDeviceDefaultData data;
    data.LoadDefaultData(noUserData.path().string(), kShippedDefaults, kKindMouse,
                         kMacroListFileName);
    const LightInfo light = profile.ReadLightInfo();
    ASSERT_LT(light.selectItem, data.lightModeCodes.size());
    EXPECT_EQ(setting[0], 0);
    EXPECT_EQ(setting[1], data.lightModeCodes[light.selectItem]);
    EXPECT_EQ(setting[2], light.light);
    EXPECT_EQ(setting[3], 4 - light.speed);
    EXPECT_EQ(setting[4], light.fx);
    EXPECT_EQ(setting[5], light.multiColor);
    EXPECT_EQ(setting[6], light.red);
    EXPECT_EQ(setting[7], light.green);
    EXPECT_EQ(setting[8], light.blue);
    EXPECT_EQ(setting[11], profile.ReadMouseStages().reportRate);

    const std::vector<DpiStage> stages = profile.ReadDpiStages();
    EXPECT_EQ(setting[12], profile.StageActive());
    for (std::size_t i = 0; i < stages.size() && i < 5; ++i) {
        SCOPED_TRACE(i);
        const DpiStage& s = stages[i];
        const std::vector<std::uint8_t> expected{s.stageActive, s.stageXY, s.dpiXLow,
                                                 s.dpiXHigh,    s.dpiYLow, s.dpiYHigh,
                                                 s.colorR,      s.colorG,  s.colorB};
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), setting.begin() + 14 + 9 * i));
    }
}

}  // namespace
}  // namespace morva
