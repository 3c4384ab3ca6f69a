#include "tools/morvactl/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Morvactl(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunMorvactl(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(Morvactl, ListsTheSupportedInterfacesOfSimulatedDevices) {
    const CliRun run = Morvactl({"--simulate", "mouse,keyboard", "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;  // command and event collection of each
    EXPECT_NE(run.out.find("sim/mouse/1#vid_320f&pid_221c&mi_01&col04 320f:221c interface=1 "
                           "collection=4 usage=ff1c:0092 role=command type=2(mouse)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("usage=000c:0001 role=event type=1(keyboard)"), std::string::npos);
    EXPECT_EQ(run.out.find("mi_00"), std::string::npos) << "the boot interfaces are not ours";
}

TEST(Morvactl, InfoPrintsTheInformationBlock) {
    const CliRun run = Morvactl({"--simulate", "mouse-receiver", "info", "mouse-receiver"});
    ASSERT_EQ(run.status, 0) << run.err;
    sim::SimBus reference;
    const auto info = reference.Firmware(sim::Product::Mouse).ReadArea(sim::Area::Info);
    std::string expected;
    for (std::size_t i = 0; i < info.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", info[i]);
        expected += b;
    }
    EXPECT_EQ(run.out, expected + "\n");
}

TEST(Morvactl, ErrorsAreOneLineAndNonZero) {
    CliRun run = Morvactl({"--simulate", "mouse", "info", "keyboard"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: keyboard is not connected\n");

    run = Morvactl({"--simulate", "mouse", "info", "toaster"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err).size(), 1u);
    EXPECT_NE(run.err.find("unknown device 'toaster'"), std::string::npos);

    run = Morvactl({"--simulate", "mouse,toaster", "list"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err).size(), 1u);

    run = Morvactl({"--frobnicate"});
    EXPECT_EQ(run.status, 2);

    run = Morvactl({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("sim-dump DEVICE AREA"), std::string::npos);
}

TEST(Morvactl, SimulatedMemorySurvivesBetweenRuns) {
    test::TempDir dir;
    const std::string state = dir.File("sim.json");
    CliRun run = Morvactl({"--simulate", "mouse", "--sim-state", state, "send", "mouse", "06", "03",
                           "0080", "aa", "bb", "cc"});
    ASSERT_EQ(run.status, 0) << run.err;

    run = Morvactl({"--simulate", "mouse", "--sim-state", state, "sim-dump", "mouse", "setting"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4096u / 16);
    EXPECT_EQ(lines[8], "0080: aa bb cc 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(lines[0].substr(0, 6), "0000: ");

    run = Morvactl({"--simulate", "mouse", "sim-dump", "mouse", "setting"});
    EXPECT_EQ(Lines(run.out)[8], "0080: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00")
        << "without the state file the device starts from factory";

    run = Morvactl({"--simulate", "mouse", "sim-dump", "mouse", "attic"});
    EXPECT_EQ(run.status, 2);
}

TEST(Morvactl, TraceShowsEveryReport) {
    const CliRun run = Morvactl({"--simulate", "mouse", "--trace", "info", "mouse"});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("命令\n04 01 00 01   00 00 00 00"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("返回\n"), std::string::npos);
}

TEST(Morvactl, LatencyShowsTheTimeBesideWhatTheLinkNeeds) {
    test::TempDir dir;
    CliRun run = Morvactl({"--simulate", "mouse", "--latency", "usb", "--data-dir",
                           dir.path().string(), "mouse", "dpi", "1", "1600"});
    ASSERT_EQ(run.status, 0) << run.err;
    // The read at connection and the setting block are one sequence each; the read-back
    // needs none. 8 + 8 + 4 reports of 1 ms and two ends' 10 ms.
    const auto lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("ms; 20 reports and 2 sequence ends need 40.0 ms"), std::string::npos)
        << lines[0];
    const double took = std::stod(lines[0].substr(std::string("morvactl: ").size()));
    EXPECT_GE(took, 40.0);

    run = Morvactl({"--latency", "usb", "list"});
    EXPECT_EQ(run.status, 2);
    run = Morvactl({"--simulate", "mouse", "--latency", "soon", "list"});
    EXPECT_EQ(run.status, 2);
}

TEST(Morvactl, DescriptorPrintsCollectionsOrFails) {
    test::TempDir dir;
    // A boot mouse: three buttons and X/Y, no report ids.
    const std::string mouse = dir.Write(
        "mouse.bin", std::string("\x05\x01\x09\x02\xA1\x01\x09\x01\xA1\x00\x05\x09\x19\x01\x29\x03"
                                 "\x15\x00\x25\x01\x95\x03\x75\x01\x81\x02\x95\x01\x75\x05\x81\x01"
                                 "\x05\x01\x09\x30\x09\x31\x15\x81\x25\x7F\x75\x08\x95\x02\x81\x06"
                                 "\xC0\xC0",
                                 50));
    CliRun run = Morvactl({"descriptor", mouse});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "collection 1 usage_page=0x0001 usage=0x0002 report_ids=none input=4 output=0 "
              "feature=0\n");

    const std::string broken = dir.Write("broken.bin", std::string("\x05\x01\x09\x02\xA1\x01", 6));
    run = Morvactl({"descriptor", broken});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.err).size(), 1u);
}

}  // namespace
}  // namespace morva::cli
