// `morvactl keyboard …` and `profile keyboard …` against a simulated keyboard kept across
// invocations, over its cable and over its receiver.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/keyboard_device.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

class KeyboardCli : public ::testing::TestWithParam<const char*> {
protected:
    CliRun Run(std::vector<std::string> words) {
        std::vector<std::string> args{"--simulate", GetParam(),   "--sim-state",
                                      state_,       "--data-dir", data_};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }
    std::vector<std::uint8_t> Area(sim::Area area) const {
        sim::SimBus bus({{}, {}, state_});
        return bus.Firmware(sim::Product::Keyboard).ReadArea(area);
    }
    // Where the keyboard keeps UI key `key`: its factory code's first position.
    std::size_t Position(int key) const {
        const auto table = Area(sim::Area::DefaultKeyTable);
        const KeyCode ref = KeyboardFactoryCode(key);
        for (std::size_t p = 0; 3 * p + 2 < table.size(); ++p) {
            if (KeyCode{table[3 * p], table[3 * p + 1], table[3 * p + 2]} == ref)
                return p;
        }
        ADD_FAILURE() << "no position for key " << key;
        return 0;
    }
    KeyCode At(sim::Area area, int key) const {
        const auto t = Area(area);
        const std::size_t at = 3 * Position(key);
        return {t[at], t[at + 1], t[at + 2]};
    }
    Json::Value Profile() const {
        const std::string folder = GetUserDataFolder(data_, "keyboard");
        const Json::Value list = ReadJsonFile(folder + "ProfileList.ini");
        const std::string id =
            list["profilelist"][list["profileselect"].asUInt()]["profileUUID"].asString();
        return ReadJsonFile(folder + id + ".Json")["Device"][0];
    }

    test::TempDir dir_;
    const std::string state_ = dir_.File("sim.json");
    const std::string data_ = dir_.File("data");
};

INSTANTIATE_TEST_SUITE_P(Links, KeyboardCli, ::testing::Values("keyboard", "keyboard-receiver"),
                         [](const auto& info) {
                             return std::string(info.param) == "keyboard" ? "Cable" : "Receiver";
                         });

TEST_P(KeyboardCli, SettingsLandInTheRecordAndTheProfile) {
    struct Case {
        std::vector<std::string> words;
        std::size_t byte;
        std::uint8_t value;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {{"rate", "2"}, krec::kPollingRate, 2, "rate 2\n"},
        {{"wflag", "on"}, krec::kWFlag, 1, "wflag on\n"},
        {{"rollover", "on"}, krec::kRollover, 1, "rollover on\n"},
        {{"winlock", "on"}, krec::kWinLock, 1, "winlock on\n"},
        {{"debounce", "5"}, krec::kDebounce, 5, "debounce 5\n"},
        {{"winlock", "off"}, krec::kWinLock, 0, "winlock off\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words{"keyboard"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CliRun run = Run(words);
        ASSERT_EQ(run.status, 0) << c.words[0] << ": " << run.err;
        EXPECT_EQ(run.out, c.printed);
        EXPECT_EQ(Area(sim::Area::Setting)[c.byte], c.value) << c.words[0];
    }
    const auto record = Area(sim::Area::Setting);
    ASSERT_EQ(Run({"keyboard", "repeat", "14"}).status, 0);
    const CliRun delay = Run({"keyboard", "delay", "3"});
    EXPECT_EQ(delay.out, "repeat 14\ndelay 3 1000 ms\n");
    EXPECT_EQ(Area(sim::Area::Setting), record) << "repeat and delay stay in the profile";
    const Json::Value stages = Profile()["SystemStages"];
    EXPECT_EQ(stages["Repeat"].asInt(), 14);
    EXPECT_EQ(stages["RepeatDelay"].asInt(), 3);
    EXPECT_EQ(stages["KeyShake"].asInt(), 5);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"keyboard", "rate", "4"},
                                                {"keyboard", "debounce", "6"},
                                                {"keyboard", "wflag", "yes"},
                                                {"keyboard", "key", "126", "30E900"}}) {
        EXPECT_EQ(Run(bad).status, 2) << bad[1];
    }
}

TEST_P(KeyboardCli, LightLandsInTheRecordAndTheProfile) {
    const Json::Value modes =
        ReadJsonFile(std::string(MORVA_SOURCE_RES_DIR) +
                     "/DefaultData/default_light.json")["DefaultLightName"][kKindKeyboard];
    struct Case {
        std::vector<std::string> words;
        int mode, brightness, speed, direction, multicolour;
        std::array<std::uint8_t, 3> colour;
    };
    // Each case starts from what the one before left: options not given keep their value.
    const std::vector<Case> cases = {
        {{"6", "--color", "FF8000", "--brightness", "2", "--speed", "3", "--direction", "0"},
         6,
         2,
         3,
         0,
         0,
         {0xFF, 0x80, 0}},
        {{"21", "--speed", "1", "--direction", "1"}, 21, 2, 1, 1, 0, {0xFF, 0x80, 0}},
        {{"3", "--multicolor", "--brightness", "0"}, 3, 0, 1, 1, 1, {0xFF, 0x80, 0}},
        {{"5", "--color", "00ff7f"}, 5, 0, 1, 1, 0, {0, 0xFF, 0x7F}},
        {{"29", "--speed", "4"}, 29, 0, 4, 1, 0, {0, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        const std::string what = c.words[0];
        std::vector<std::string> words{"keyboard", "light"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CliRun run = Run(words);
        ASSERT_EQ(run.status, 0) << what << ": " << run.err;
        // Music is the program's to play: the keyboard only learns that the host drives it.
        const int code = c.mode == 29 ? 0xFE : modes[c.mode]["value"].asInt();
        const auto record = Area(sim::Area::Setting);
        EXPECT_EQ(record[krec::kMode], code) << what;
        EXPECT_EQ(record[krec::kBrightness], c.brightness) << what;
        EXPECT_EQ(record[krec::kSpeed], 4 - c.speed) << what;
        EXPECT_EQ(record[krec::kDirection], c.direction) << what;
        EXPECT_EQ(record[krec::kMultiColour], c.multicolour) << what;
        EXPECT_EQ((std::array{record[krec::kRed], record[krec::kGreen], record[krec::kBlue]}),
                  c.colour)
            << what;
        const Json::Value light = Profile()["LightInfo"];
        EXPECT_EQ(light["SelectItem"].asInt(), c.mode) << what;
        EXPECT_EQ(light["Light"].asInt(), c.brightness) << what;
        EXPECT_EQ(light["Red"].asInt(), c.colour[0]) << what;
        const std::string line = "light " + what + ' ' + modes[c.mode]["LightName"].asString() +
                                 " brightness " + std::to_string(c.brightness);
        EXPECT_EQ(run.out.rfind(line, 0), 0u) << run.out;
        EXPECT_NE(Run({"keyboard", "show"}).out.find(run.out), std::string::npos) << what;
    }
    const auto record = Area(sim::Area::Setting);
    struct Refused {
        std::vector<std::string> words;
        int status;
        std::string err;
    };
    const std::vector<Refused> refused = {
        {{"0"}, 1, "morvactl: keyboard: light mode 0 is not offered by this keyboard\n"},
        {{"20", "--brightness", "1"}, 1, "light mode 20 is not offered"},
        {{"6", "--brightness", "9"}, 2, "--brightness takes 0..4"},
        {{"6", "--color", "FF800G"}, 2, "--color takes RRGGBB"},
        {{"6", "--color", "FF80"}, 2, "--color takes RRGGBB"},
        {{"6", "--blink", "1"}, 2, "unknown option --blink"},
        {{"6", "--brightness"}, 2, "missing value"},
    };
    for (const Refused& r : refused) {
        std::vector<std::string> words{"keyboard", "light"};
        words.insert(words.end(), r.words.begin(), r.words.end());
        const CliRun run = Run(words);
        EXPECT_EQ(run.status, r.status) << r.words.back();
        EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(Area(sim::Area::Setting), record) << "refusals write nothing";
    EXPECT_EQ(Profile()["LightInfo"]["SelectItem"].asInt(), 29);
}

TEST_P(KeyboardCli, KeysLandOnTheirLayerAndProfilesAreSent) {
    constexpr int kF5 = 5, kI = 50;
    CliRun run = Run({"keyboard", "key", "5", "30E900"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "key 5 30e900 position " + std::to_string(Position(kF5)) + "\n");
    EXPECT_EQ(At(sim::Area::KeyTable, kF5), (KeyCode{0x30, 0xE9, 0x00}));
    ASSERT_EQ(Run({"keyboard", "key", "50", "200106", "--fn"}).status, 0);
    EXPECT_EQ(At(sim::Area::FnKeyTable, kI), (KeyCode{0x20, 0x01, 0x06}));
    EXPECT_EQ(At(sim::Area::KeyTable, kI), KeyboardFactoryCode(kI));
    // The Fn key and, on the Fn layer, the keys the keyboard reserves are refused.
    EXPECT_EQ(Run({"keyboard", "key", "110", "30E900"}).status, 1);
    EXPECT_EQ(Run({"keyboard", "key", "64", "30E900", "--fn"}).status, 1);
    // A reset sends the factory profile: the keys and the record go back.
    ASSERT_EQ(Run({"keyboard", "winlock", "on"}).status, 0);
    run = Run({"profile", "keyboard", "reset"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(At(sim::Area::KeyTable, kF5), KeyboardFactoryCode(kF5));
    EXPECT_EQ(At(sim::Area::FnKeyTable, kI), KeyCode{});
    EXPECT_EQ(Area(sim::Area::Setting)[krec::kWinLock], 0);
}

}  // namespace
}  // namespace morva::cli
