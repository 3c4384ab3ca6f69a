// `morvactl pad …` against a simulated pad kept across invocations: the light change lands in
// the record of the profile the pad is on and in the profile file, and `pad show` reads it.
#include <gtest/gtest.h>

#include <sstream>

#include "device/device_folders.h"
#include "device/models/mousepad_device.h"
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

class PadCli : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> words) {
        std::vector<std::string> args{"--simulate", "pad",        "--sim-state",
                                      state_,       "--data-dir", data_};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }
    std::vector<std::uint8_t> Record(int profile) const {
        sim::SimBus bus({{}, {}, state_});
        return bus.Firmware(sim::Product::Pad)
            .ReadArea(sim::Area::Setting, LitRecordAddress(profile), kLitRecordSize);
    }
    void SwitchPadTo(int profile) {
        sim::SimBus bus({{}, {}, state_});
        const std::uint8_t b = static_cast<std::uint8_t>(profile);
        ASSERT_TRUE(bus.Firmware(sim::Product::Pad).WriteArea(sim::Area::Setting, 0, {&b, 1}));
        ASSERT_TRUE(bus.SaveState());
    }
    Json::Value Profile() const {
        const std::string folder = GetUserDataFolder(data_, "MousePad");
        const Json::Value list = ReadJsonFile(folder + "ProfileList.ini");
        const std::string id =
            list["profilelist"][list["profileselect"].asUInt()]["profileUUID"].asString();
        return ReadJsonFile(folder + id + ".Json")["Device"][0];
    }

    test::TempDir dir_;
    const std::string state_ = dir_.File("sim.json");
    const std::string data_ = dir_.File("data");
};

TEST_F(PadCli, LightGoesToTheProfileThePadIsOnAndShowReadsItBack) {
    struct Case {
        int profile;
        std::vector<std::string> words;
        std::string printed;
        int speedByte;
    };
    const Case cases[] = {
        {0,
         {"3", "--brightness", "2", "--speed", "4", "--color", "ff8000"},
         "light 3 light_mode_static brightness 2 speed 4 colour ff8000\n",
         0},
        // What the request leaves alone comes from the pad's own record of that profile.
        {1,
         {"0", "--multicolor"},
         "light 0 light_mode_wave brightness 4 speed 2 colour 0099ff multicolour\n",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        SwitchPadTo(c.profile);
        std::vector<std::string> words{"pad", "light"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CliRun light = Run(words);
        ASSERT_EQ(light.status, 0) << light.err;
        EXPECT_EQ(light.out, c.printed);
        EXPECT_EQ(Record(c.profile)[litrec::kSpeed], c.speedByte) << "the pad counts speed down";
        EXPECT_EQ(Profile()["LightInfo"]["SelectItem"].asInt(), std::stoi(c.words[0]));
        const CliRun show = Run({"pad", "show"});
        ASSERT_EQ(show.status, 0) << show.err;
        EXPECT_EQ(show.out, "profile " + std::to_string(c.profile) + '\n' + c.printed);
    }
    EXPECT_EQ(Record(0)[litrec::kMode], 3) << "profile 1's change left profile 0 alone";

    const CliRun refused = Run({"pad", "light", "5"});
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.err, "morvactl: pad: light mode 5 is not offered by this pad\n");
}

}  // namespace
}  // namespace morva::cli
