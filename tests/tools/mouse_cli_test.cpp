#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/ipc_protocol.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/mouse_device.h"
#include "device/models/shoot_patterns.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "platform/hidraw/unique_fd.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kStageBase = 14;
constexpr std::size_t kStageSize = 9;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Morvactl(const std::vector<std::string>& args, const AppConnection& app = {}) {
    std::ostringstream out, err;
    const int status = RunMorvactl(args, out, err, app);
    return {status, out.str(), err.str()};
}

// A simulated mouse whose firmware and profile folder last across invocations.
class MouseCli : public ::testing::Test {
protected:
    CliRun Mouse(const std::vector<std::string>& words, const std::string& links = "mouse") {
        std::vector<std::string> args{"--simulate", links, "--sim-state", state_,
                                      "--data-dir", data_, "mouse"};
        args.insert(args.end(), words.begin(), words.end());
        return Morvactl(args);
    }

    std::vector<std::uint8_t> Area(sim::Area area) const {
        sim::SimBus bus({{}, {}, state_});
        return bus.Firmware(sim::Product::Mouse).ReadArea(area);
    }
    std::array<std::uint8_t, kInfoBlockSize> Info() const {
        std::array<std::uint8_t, kInfoBlockSize> info{};
        const auto bytes = Area(sim::Area::Info);
        std::copy_n(bytes.begin(), info.size(), info.begin());
        return info;
    }
    MouseSensor Sensor() const { return MouseSensor::FromInfo(Info()); }
    int StageSlider(const std::vector<std::uint8_t>& setting, int stage) const {
        const std::size_t at = kStageBase + kStageSize * static_cast<std::size_t>(stage) + 2;
        return setting[at] | setting[at + 1] << 8;
    }
    // Where the mouse keeps button `button`, found as the model finds it.
    std::size_t Position(int button) const {
        const auto table = Area(sim::Area::DefaultKeyTable);
        const KeyCode ref = MouseButtonReferences()[static_cast<std::size_t>(button)];
        for (std::size_t k = 0; 3 * k + 2 < table.size(); ++k) {
            if (KeyCode{table[3 * k], table[3 * k + 1], table[3 * k + 2]} == ref)
                return k;
        }
        ADD_FAILURE() << "no position for button " << button;
        return 0;
    }
    std::string UserFolder() const { return GetUserDataFolder(data_, "mouse"); }

    test::TempDir dir_;
    const std::string state_ = dir_.File("sim.json");
    const std::string data_ = dir_.File("data");
};

TEST_F(MouseCli, DpiReachesTheFirmwareAsSliderValues) {
    CliRun run = Mouse({"dpi", "1", "1600"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("stage 1 on dpi 1600 colour ", 0), 0u) << run.out;
    const MouseSensor sensor = Sensor();
    auto setting = Area(sim::Area::Setting);
    EXPECT_EQ(StageSlider(setting, 1), sensor.SliderValueOfDpi(1600));
    EXPECT_EQ(StageSlider(setting, 1), setting[kStageBase + kStageSize + 4]) << "Y follows X";

    // Below the minimum, past the two-range bend, above the maximum.
    ASSERT_EQ(Mouse({"dpi", "0", "50"}).status, 0);
    ASSERT_EQ(Mouse({"dpi", "3", "6500"}).status, 0);
    run = Mouse({"dpi", "4", "60000"});
    ASSERT_EQ(run.status, 0) << run.err;
    setting = Area(sim::Area::Setting);
    EXPECT_EQ(StageSlider(setting, 0), 0);
    EXPECT_EQ(sensor.DpiOfSliderValue(StageSlider(setting, 3)), 6500);
    EXPECT_EQ(StageSlider(setting, 4), sensor.maxSlider);
    EXPECT_NE(run.out.find("dpi " + std::to_string(sensor.DpiOfSliderValue(sensor.maxSlider))),
              std::string::npos)
        << run.out;

    run = Mouse({"show"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("stage 0 on dpi " + std::to_string(sensor.minDpi) + " "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("stage 1 on dpi 1600 "), std::string::npos);

    // The profile the program would load holds the same stage.
    std::vector<std::string> profiles;
    for (const auto& entry : std::filesystem::directory_iterator(UserFolder())) {
        if (entry.path().extension() == ".Json")
            profiles.push_back(entry.path().string());
    }
    ASSERT_EQ(profiles.size(), 1u);
    const Json::Value stages = ReadJsonFile(profiles[0])["Device"][0]["DPIStages"]["StageDPIs"];
    EXPECT_EQ(stages[1]["StageDPIX"].asInt(), sensor.SliderValueOfDpi(1600));
}

TEST_F(MouseCli, StagesSwitchOffButNeverTheActiveOrTheLastOne) {
    for (const char* stage : {"1", "2", "3"})
        ASSERT_EQ(Mouse({"enable", stage, "off"}).status, 0);
    auto setting = Area(sim::Area::Setting);
    EXPECT_EQ(setting[kStageBase + 2 * kStageSize], 0);

    CliRun run = Mouse({"enable", "0", "off"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("active one"), std::string::npos) << run.err;
    EXPECT_EQ(Area(sim::Area::Setting), setting) << "a refusal writes nothing";

    run = Mouse({"stage", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("switched off"), std::string::npos) << run.err;

    run = Mouse({"stage", "4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Area(sim::Area::Setting)[12], 4);
    EXPECT_NE(run.out.find(" active"), std::string::npos) << run.out;
    ASSERT_EQ(Mouse({"enable", "0", "off"}).status, 0);
    EXPECT_EQ(Area(sim::Area::Setting)[kStageBase], 0);

    run = Mouse({"enable", "4", "off"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("last one switched on"), std::string::npos) << run.err;
    EXPECT_EQ(Area(sim::Area::Setting)[kStageBase + 4 * kStageSize], 1);

    ASSERT_EQ(Mouse({"enable", "2", "on"}).status, 0);
    ASSERT_EQ(Mouse({"stage", "2"}).status, 0);
    EXPECT_EQ(Area(sim::Area::Setting)[12], 2);
}

TEST_F(MouseCli, ReportRateAndLightingLandInTheSettingBlock) {
    ASSERT_EQ(Mouse({"rate", "3"}).status, 0);
    EXPECT_EQ(Area(sim::Area::Setting)[11], 3);

    CliRun run = Mouse({"light", "3", "--color", "FF0000", "--brightness", "2", "--speed", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Json::Value modes =
        ReadJsonFile(std::string(MORVA_SOURCE_RES_DIR) +
                     "/DefaultData/default_light.json")["DefaultLightName"][kKindMouse];
    const auto setting = Area(sim::Area::Setting);
    EXPECT_EQ(setting[1], modes[3]["value"].asInt());
    EXPECT_EQ(setting[2], 2);
    EXPECT_EQ(setting[3], 4 - 1);
    EXPECT_EQ(setting[5], 0) << "a colour of its own is one colour";
    EXPECT_EQ((std::vector<std::uint8_t>(setting.begin() + 6, setting.begin() + 9)),
              (std::vector<std::uint8_t>{0xFF, 0x00, 0x00}));
    EXPECT_EQ(setting[11], 3) << "the rate set before stays";
    EXPECT_EQ(run.out.rfind("light 3 " + modes[3]["LightName"].asString(), 0), 0u) << run.out;

    ASSERT_EQ(Mouse({"light", "3", "--multicolor", "--color", "00ff00"}).status, 0);
    EXPECT_EQ(Area(sim::Area::Setting)[5], 1);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"light", "3", "--color", "FF00"},
          {"light", "3", "--brightness", "5"},
          {"light", "x"},
          {"rate", "5"},
          {"dpi", "5", "800"},
          {"enable", "1", "maybe"}}) {
        EXPECT_EQ(Mouse(bad).status, 2) << bad[0] << ' ' << bad.back();
    }
}

TEST_F(MouseCli, ButtonsLandAtTheirKeyPositions) {
    CliRun run = Mouse({"button", "2", "30CD00"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Mouse({"button", "4", "200004"}).status, 0);
    const auto factory = Area(sim::Area::DefaultKeyTable);
    auto expected = factory;
    const std::size_t two = Position(2), four = Position(4);
    ASSERT_NE(four, 4u) << "the test needs a button whose position differs from its number";
    std::copy_n(std::array<std::uint8_t, 3>{0x30, 0xCD, 0x00}.begin(), 3,
                expected.begin() + 3 * two);
    std::copy_n(std::array<std::uint8_t, 3>{0x20, 0x00, 0x04}.begin(), 3,
                expected.begin() + 3 * four);
    const auto table = Area(sim::Area::KeyTable);
    const std::size_t used = 3 * static_cast<std::size_t>(Info()[5]);
    EXPECT_EQ(std::vector<std::uint8_t>(table.begin(), table.begin() + used),
              std::vector<std::uint8_t>(expected.begin(), expected.begin() + used));
    EXPECT_EQ(run.out, "button 2 30cd00 position " + std::to_string(two) + "\n");
    EXPECT_NE(Mouse({"show"}).out.find("button 4 200004 position " + std::to_string(four)),
              std::string::npos);

    for (const char* code : {"30CD0", "30CD000", "GGCD00", "-1CD00"})
        EXPECT_EQ(Mouse({"button", "2", code}).status, 2) << code;
    EXPECT_EQ(Mouse({"button", "11", "30CD00"}).status, 2);
    EXPECT_EQ(Area(sim::Area::KeyTable), table) << "refused commands write nothing";
}

TEST_F(MouseCli, MacrosAreWrittenOrRefusedByCapacity) {
    const std::string capacity = std::to_string(Info()[6] * 128u);
    CliRun run = Mouse({"macros"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "macros 0 image 0 of " + capacity + " bytes\n");

    EXPECT_EQ(Mouse({"button", "3", "700000"}).status, 1) << "no macro 0 yet";
    CMacroStore store(UserFolder());
    ASSERT_EQ(store.AddMacro(), MacroResult::kOk);
    const std::vector<MacroEvent> events = {{true, 4, macro_type::kKey, 30},
                                            {false, 4, macro_type::kKey, 0}};
    ASSERT_EQ(store.SaveMacroEvents(0, events), MacroResult::kOk);
    ASSERT_EQ(Mouse({"button", "3", "700000"}).status, 0);
    run = Mouse({"macros"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto entries = LoadMacroEvents(UserFolder(), {0});
    EXPECT_EQ(run.out, "macros 1 image " + std::to_string(MacroImageLength(entries)) + " of " +
                           capacity + " bytes\n");
    const std::vector<std::uint8_t> image = *BuildMacroImage(entries);
    const auto memory = Area(sim::Area::Macro);
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + image.size()), image);

    ASSERT_EQ(store.SaveMacroEvents(0, std::vector<MacroEvent>(1100, events[0])), MacroResult::kOk);
    run = Mouse({"macros"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("do not fit"), std::string::npos) << run.err;
    EXPECT_EQ(Area(sim::Area::Macro), memory) << "nothing of the oversized image is written";
}

TEST_F(MouseCli, ShootCopiesThePatternAndSendsAllFourOrNothing) {
    const std::string source = std::string(MORVA_SOURCE_RES_DIR) + "/DefaultData/ShootData_1.Shoot";
    CliRun run = Mouse({"shoot", "2", source});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint8_t> image = *BuildShootImage(UserFolder());
    EXPECT_EQ(run.out, "shoot 2 bullets 30 image " + std::to_string(image.size()) + " bytes\n");
    EXPECT_EQ(test::TempDir::Read(UserFolder() + "ShootData_2.Shoot"), test::TempDir::Read(source));
    EXPECT_EQ(
        test::TempDir::Read(UserFolder() + "ShootData_0.Shoot"),
        test::TempDir::Read(std::string(MORVA_SOURCE_RES_DIR) + "/DefaultData/ShootData_0.Shoot"))
        << "the patterns not given are the program's, not empty";
    const auto memory = Area(sim::Area::Shoot);
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + image.size()), image);

    const std::string cut = dir_.Write("cut.shoot", test::TempDir::Read(source).substr(0, 60));
    run = Mouse({"shoot", "2", cut});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be read as a recoil pattern"), std::string::npos) << run.err;
    EXPECT_EQ(test::TempDir::Read(UserFolder() + "ShootData_2.Shoot"), test::TempDir::Read(source));
    EXPECT_EQ(Area(sim::Area::Shoot), memory);
    EXPECT_NE(Mouse({"shoot", "4", source}).status, 0);
}

TEST_F(MouseCli, FailuresAreOneLineAndNonZero) {
    CliRun run = Mouse({"show"}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: mouse is not connected\n");

    // Over the receiver alone the same commands work.
    run = Mouse({"rate", "2"}, "mouse-receiver");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Area(sim::Area::Setting)[11], 2);

    // Values the mouse does not offer are refused before anything is written.
    const std::vector<std::uint8_t> before0 = Area(sim::Area::Setting);
    run = Mouse({"light", "99"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: mouse: light mode 99 is not offered by this mouse\n");
    EXPECT_EQ(Area(sim::Area::Setting), before0);

    const char* saved = std::getenv("MORVA_RES_DIR");
    const std::string before = saved ? saved : "";
    ::setenv("MORVA_RES_DIR", dir_.File("nowhere").c_str(), 1);
    run = Mouse({"show"});
    if (saved != nullptr)
        ::setenv("MORVA_RES_DIR", before.c_str(), 1);
    else
        ::unsetenv("MORVA_RES_DIR");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no factory profile"), std::string::npos) << run.err;

    EXPECT_EQ(Morvactl({"--simulate", "mouse", "--screen", "1920", "mouse", "show"}).status, 2);
    EXPECT_EQ(Morvactl({"--simulate", "mouse", "mouse", "shout"}).status, 2);
}

TEST(MouseCliOnRealDevices, RefusesWhileTheProgramRuns) {
    test::TempDir dir;
    const std::string path = dir.File("app.sock");
    hid::UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);
    std::thread app([&] {
        pollfd p{listener.Get(), POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1)
            return;
        const hid::UniqueFd client(::accept(listener.Get(), nullptr, nullptr));
        ipc::Message report;
        report.msg = ipc::kMsgAppStatusReport;
        report.data["devices"] = Json::Value(Json::arrayValue);
        const std::string line = ipc::Encode(report);
        ::send(client.Get(), line.data(), line.size(), MSG_NOSIGNAL);
        char c = 0;
        while (::recv(client.Get(), &c, 1, 0) == 1) {
        }
    });
    const CliRun run = Morvactl({"mouse", "rate", "1"}, {path, 2s});
    app.join();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "morvactl: the program is running: close it first, or use `morvactl app …`\n");
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace morva::cli
