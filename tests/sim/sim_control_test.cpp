#include "sim/sim_control.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/descriptors.h"

namespace morva::sim {
namespace {

using Words = std::vector<std::string>;

SimBus Bus(std::vector<Link> plugged) {
    SimBusOptions options;
    options.plugged = std::move(plugged);
    return SimBus(options);
}

std::vector<std::string> Enumerated(SimBus& bus) {
    std::vector<std::string> paths;
    EXPECT_TRUE(bus.Enumerate(paths));
    return paths;
}

std::vector<std::string> PathsOf(const SimBus& bus, Link link) {
    std::vector<std::string> paths;
    for (const hid::InterfaceInfo& info : bus.Interfaces(link))
        paths.push_back(info.path);
    return paths;
}

// The bytes that reach the link's event collection next, or nothing within a second.
std::vector<std::uint8_t> NextEvent(hid::IHidConnection& events) {
    std::array<std::uint8_t, 64> buffer{};
    std::size_t n = 0;
    if (events.Read(buffer, n, 1000) != hid::IoResult::Ok)
        return {};
    return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST(SimControl, PlugAndUnplugChangeWhatEnumerates) {
    SimBus bus = Bus({Link::Pad});
    std::string error;
    ASSERT_TRUE(ApplySimCommand(bus, Words{"plug", "keyboard-receiver"}, error)) << error;
    std::vector<std::string> expected = PathsOf(bus, Link::Pad);
    const std::vector<std::string> receiver = PathsOf(bus, Link::KeyboardReceiver);
    ASSERT_FALSE(receiver.empty());
    expected.insert(expected.end(), receiver.begin(), receiver.end());
    std::vector<std::string> paths = Enumerated(bus);
    std::sort(paths.begin(), paths.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);

    ASSERT_TRUE(ApplySimCommand(bus, Words{"unplug", "pad"}, error)) << error;
    EXPECT_EQ(Enumerated(bus), receiver);
    EXPECT_FALSE(bus.IsPlugged(Link::Pad));
}

TEST(SimControl, EventsFollowPlugAndReach) {
    SimBus bus = Bus({Link::MouseReceiver});
    auto events = bus.Open(bus.EventPath(Link::MouseReceiver), false, nullptr);
    ASSERT_TRUE(events);
    std::string error;

    ASSERT_TRUE(ApplySimCommand(bus, Words{"event", "mouse-receiver", "0401"}, error)) << error;
    const std::vector<std::uint8_t> first = NextEvent(*events);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[1], 0x01);
    EXPECT_EQ(first[2], 0x04);
    ASSERT_TRUE(ApplySimCommand(bus, Words{"event", "mouse-receiver", "0xBEef"}, error)) << error;
    EXPECT_EQ(NextEvent(*events), (std::vector<std::uint8_t>{first[0], 0xEF, 0xBE}));

    ASSERT_TRUE(ApplySimCommand(bus, Words{"unreach", "mouse"}, error)) << error;
    EXPECT_FALSE(bus.SendEvent(Link::MouseReceiver, 0x0401));
    EXPECT_FALSE(ApplySimCommand(bus, Words{"event", "mouse-receiver", "0401"}, error));
    EXPECT_NE(error.find("out of reach"), std::string::npos) << error;

    ASSERT_TRUE(ApplySimCommand(bus, Words{"reach", "mouse"}, error)) << error;
    EXPECT_TRUE(ApplySimCommand(bus, Words{"event", "mouse-receiver", "1"}, error)) << error;

    error.clear();
    EXPECT_FALSE(ApplySimCommand(bus, Words{"event", "mouse", "0401"}, error));
    EXPECT_NE(error.find("\"mouse\" is not plugged in"), std::string::npos) << error;
}

std::vector<std::uint8_t> FactoryStatus(Product product) {
    SimBus reference = Bus({});
    return reference.Firmware(product).ReadArea(Area::Status);
}

TEST(SimControl, StatusBytesLandInTheStatusArea) {
    SimBus bus = Bus({});
    std::string error;
    ASSERT_TRUE(ApplySimCommand(
        bus, Words{"status", "headset", "55", "0x01", "08", "0XfF", "255", "0x0a"}, error))
        << error;
    EXPECT_EQ(bus.Firmware(Product::Headset).ReadArea(Area::Status),
              (std::vector<std::uint8_t>{55, 1, 8, 255, 255, 10}));
    EXPECT_EQ(bus.Firmware(Product::Mouse).ReadArea(Area::Status), FactoryStatus(Product::Mouse));
}

TEST(SimControl, AMutedLinkLosesTheNextAnswersOnly) {
    SimBus bus = Bus({Link::Mouse});
    const auto command = bus.Open(bus.CommandPath(Link::Mouse), true, nullptr);
    ASSERT_TRUE(command);
    Report request{};
    request[0] = kCommandReportId;
    const auto answered = [&] {
        std::size_t n = 0;
        Report answer{};
        return command->Write(request, n, 100) == hid::IoResult::Ok &&
               command->Read(answer, n, 50) == hid::IoResult::Ok && n == answer.size();
    };
    std::string error;
    ASSERT_TRUE(ApplySimCommand(bus, Words{"mute", "mouse", "2"}, error)) << error;
    EXPECT_FALSE(answered());
    EXPECT_FALSE(answered());
    EXPECT_TRUE(answered());
    ASSERT_TRUE(ApplySimCommand(bus, Words{"mute", "mouse", "5"}, error)) << error;
    ASSERT_TRUE(ApplySimCommand(bus, Words{"mute", "mouse", "0"}, error)) << error;
    EXPECT_TRUE(answered()) << "0 answers again";
    EXPECT_EQ(bus.ReceivedReports(Link::Mouse).size(), 4u) << "muted requests still arrive";
}

TEST(SimControl, BadInputIsRefusedNamingTheWord) {
    struct Case {
        Words args;
        std::string named;  // must appear in the message
    };
    const Case cases[] = {
        {{}, "plug, unplug"},
        {{"wiggle", "mouse"}, "\"wiggle\""},
        {{"plug"}, "plug LINK"},
        {{"status", "pad", "1", "2", "3", "4", "5"}, "status PRODUCT B0 B1 B2 B3 B4 B5"},
        {{"plug", "trackball"}, "keyboard-receiver"},
        {{"reach", "mouse-receiver"}, "mouse, keyboard, pad, headset"},
        {{"event", "mouse", "10000"}, "\"10000\""},
        {{"event", "mouse", "0x"}, "\"0x\""},
        {{"event", "mouse", "-1"}, "\"-1\""},
        {{"event", "mouse", "ffffffffffffffff1"}, "\"ffffffffffffffff1\""},
        {{"status", "pad", "1", "2", "3", "4", "5", "256"}, "\"256\""},
        {{"status", "pad", "0x100", "2", "3", "4", "5", "6"}, "\"0x100\""},
        {{"status", "pad", "1", "2", "1e", "4", "5", "6"}, "\"1e\""},
        {{"mute", "mouse", "many"}, "\"many\""},
        {{"mute", "trackball", "1"}, "keyboard-receiver"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        SimBus bus = Bus({Link::Mouse});
        std::string error;
        EXPECT_FALSE(ApplySimCommand(bus, c.args, error));
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
        // Refused before anything happened.
        EXPECT_EQ(Enumerated(bus), PathsOf(bus, Link::Mouse));
        EXPECT_TRUE(bus.IsReachable(Product::Mouse));
        EXPECT_EQ(bus.Firmware(Product::Pad).ReadArea(Area::Status), FactoryStatus(Product::Pad));
    }
}

}  // namespace
}  // namespace morva::sim
