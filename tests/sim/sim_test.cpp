#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <numeric>
#include <optional>
#include <thread>

#include "device/device_tables.h"
#include "device/hid/report_descriptor.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva::sim {
namespace {

using hid::IoResult;
using namespace std::chrono_literals;

// Requests are framed here by hand, independently of the firmware's own helpers.
Report Request(std::uint8_t command, std::uint8_t length = 0, std::uint16_t address = 0,
               std::span<const std::uint8_t> payload = {}) {
    Report r{};
    r[0] = 4;
    r[3] = command;
    r[4] = length;
    r[5] = static_cast<std::uint8_t>(address & 0xFF);
    r[6] = static_cast<std::uint8_t>(address >> 8);
    std::copy(payload.begin(), payload.end(), r.begin() + 8);
    const unsigned sum = std::accumulate(r.begin() + 3, r.end(), 0u);
    r[1] = static_cast<std::uint8_t>(sum & 0xFF);
    r[2] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return r;
}

bool ChecksumOk(const Report& r) {
    const unsigned sum = std::accumulate(r.begin() + 3, r.end(), 0u) & 0xFFFF;
    return r[1] == (sum & 0xFF) && r[2] == (sum >> 8);
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + 7 * i + 1);
    return bytes;
}

std::optional<Report> ReadAnswer(hid::IHidConnection& c, std::uint32_t timeoutMs = 1000) {
    Report r{};
    std::size_t n = 0;
    if (c.Read(r, n, timeoutMs) != IoResult::Ok || n != r.size())
        return std::nullopt;
    return r;
}

IoResult Send(hid::IHidConnection& c, const Report& request) {
    std::size_t n = 0;
    return c.Write(request, n, 1000);
}

// Sends a request and returns the next report that arrives.
std::optional<Report> Exchange(hid::IHidConnection& c, const Report& request) {
    if (Send(c, request) != IoResult::Ok)
        return std::nullopt;
    return ReadAnswer(c);
}

SimBusOptions Options(std::vector<Link> plugged, std::chrono::microseconds latency = {},
                      std::string stateFile = {}) {
    SimBusOptions options;
    options.plugged = std::move(plugged);
    options.latency = latency;
    options.stateFile = std::move(stateFile);
    return options;
}

std::unique_ptr<hid::IHidConnection> OpenPath(SimBus& bus, const std::string& path) {
    std::string error;
    auto connection = bus.Open(path, true, &error);
    EXPECT_TRUE(connection) << path << ": " << error;
    return connection;
}

TEST(SimNames, LinkListsParseAndRejectUnknownNames) {
    for (Link link : kAllLinks)
        EXPECT_EQ(ParseLink(LinkName(link)), link);
    std::vector<Link> links;
    std::string error;
    ASSERT_TRUE(ParseLinkList(" mouse , keyboard-receiver,mouse", links, error));
    EXPECT_EQ(links, (std::vector<Link>{Link::Mouse, Link::KeyboardReceiver}));
    ASSERT_TRUE(ParseLinkList("", links, error));
    EXPECT_TRUE(links.empty());

    EXPECT_FALSE(ParseLinkList("mouse,trackball", links, error));
    EXPECT_NE(error.find("\"trackball\""), std::string::npos) << error;
    EXPECT_NE(error.find("keyboard-receiver"), std::string::npos) << error;
    EXPECT_TRUE(links.empty());
    EXPECT_FALSE(ParseLinkList("mouse,,pad", links, error));
    EXPECT_FALSE(ParseLinkList("Mouse", links, error));

    for (Area area : kAllAreas)
        EXPECT_EQ(ParseArea(AreaName(area)), area);
    EXPECT_EQ(ParseArea("colours"), Area::Colours);
    EXPECT_FALSE(ParseArea("colors"));
}

TEST(SimBusInterfaces, EnumerationListsEveryCollectionOfPluggedLinks) {
    SimBus bus(Options({Link::Headset, Link::MouseReceiver}));
    std::vector<std::string> paths;
    ASSERT_TRUE(bus.Enumerate(paths));
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "sim/mouse-receiver/0#vid_320f&pid_221d&mi_00",
                         "sim/mouse-receiver/1#vid_320f&pid_221d&mi_01&col01",
                         "sim/mouse-receiver/1#vid_320f&pid_221d&mi_01&col02",
                         "sim/mouse-receiver/1#vid_320f&pid_221d&mi_01&col03",
                         "sim/mouse-receiver/1#vid_320f&pid_221d&mi_01&col04",
                         "sim/headset/3#vid_0c76&pid_1630&mi_03",
                     }));
    EXPECT_EQ(bus.CommandPath(Link::Mouse), "sim/mouse/1#vid_320f&pid_221c&mi_01&col04");
    EXPECT_EQ(bus.EventPath(Link::Keyboard), "sim/keyboard/1#vid_320f&pid_5055&mi_01&col03");
    EXPECT_EQ(bus.CommandPath(Link::Headset), bus.EventPath(Link::Headset));
}

// Every row of the supported-interface table is served by exactly one collection, with the
// lengths and report ids the host relies on.
TEST(SimBusInterfaces, CollectionsMatchTheSupportedInterfaceTable) {
    SimBus bus(Options({kAllLinks.begin(), kAllLinks.end()}));
    for (const SupportedInterface& row : SupportedInterfaces()) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << row.productId << " col " << row.collection);
        int matches = 0;
        for (Link link : kAllLinks) {
            const LinkIdentity id = IdentityOf(link);
            if (id.vendorId != row.vendorId || id.productId != row.productId)
                continue;
            for (const hid::InterfaceInfo& listed : bus.Interfaces(link)) {
                if (listed.interfaceNumber != row.interfaceNumber ||
                    listed.collectionNumber != row.collection) {
                    continue;
                }
                ++matches;
                auto connection = OpenPath(bus, listed.path);
                ASSERT_TRUE(connection);
                const hid::InterfaceInfo& info = connection->Info();
                EXPECT_EQ(info.path, listed.path);
                EXPECT_EQ(info.vendorId, row.vendorId);
                EXPECT_EQ(info.productId, row.productId);
                EXPECT_NE(info.versionNumber, 0);
                EXPECT_EQ(info.collection.usagePage, row.usagePage);
                EXPECT_EQ(info.collection.usage, row.usage);
                EXPECT_EQ(info.path.find("&col") == std::string::npos, row.collection == 0);
                const auto& ids = info.collection.reportIds;
                if (row.role == kRoleCommand) {
                    EXPECT_EQ(info.path, bus.CommandPath(link));
                    EXPECT_EQ(info.collection.inputLength, 64);
                    EXPECT_EQ(info.collection.outputLength, 64);
                    EXPECT_NE(std::find(ids.begin(), ids.end(), 4), ids.end());
                } else {
                    EXPECT_EQ(info.path, bus.EventPath(link));
                    EXPECT_EQ(ids, std::vector<std::uint8_t>{3});
                }
            }
        }
        EXPECT_EQ(matches, 1);
    }
    // The boot interface is listed as a single collection the host has to pass over.
    const std::vector<hid::InterfaceInfo> keyboard = bus.Interfaces(Link::Keyboard);
    ASSERT_EQ(keyboard.size(), 5u);
    EXPECT_EQ(keyboard[0].interfaceNumber, 0);
    EXPECT_EQ(keyboard[0].collectionNumber, 0);
    EXPECT_EQ(keyboard[0].collection.usage, 0x06);
}

TEST(SimBusInterfaces, UnplugKillsConnectionsForGood) {
    SimBus bus(Options({Link::Keyboard}));
    auto old = OpenPath(bus, bus.CommandPath(Link::Keyboard));
    ASSERT_TRUE(old);
    std::future<IoResult> blocked = std::async(std::launch::async, [&] {
        Report r{};
        std::size_t n = 0;
        return old->Read(r, n, hid::kNoTimeout);
    });

    bus.Unplug(Link::Keyboard);
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(blocked.get(), IoResult::Failed);
    std::vector<std::string> paths;
    bus.Enumerate(paths);
    EXPECT_TRUE(paths.empty());
    std::string error;
    EXPECT_FALSE(bus.Open(bus.CommandPath(Link::Keyboard), true, &error));
    EXPECT_EQ(error, "device not present");
    EXPECT_EQ(Send(*old, Request(cmd::kBegin)), IoResult::Failed);

    bus.Plug(Link::Keyboard);
    bus.Enumerate(paths);
    EXPECT_EQ(paths.size(), 5u);
    EXPECT_EQ(Send(*old, Request(cmd::kBegin)), IoResult::Failed);
    Report r{};
    std::size_t n = 0;
    EXPECT_EQ(old->Read(r, n, 0), IoResult::Failed);

    auto fresh = OpenPath(bus, bus.CommandPath(Link::Keyboard));
    ASSERT_TRUE(fresh);
    const auto answer = Exchange(*fresh, Request(cmd::kBegin));
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[3], cmd::kBegin);

    auto readOnly = bus.Open(bus.CommandPath(Link::Keyboard), false, &error);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(Send(*readOnly, Request(cmd::kBegin)), IoResult::Failed);
    EXPECT_FALSE(bus.Open("sim/keyboard/9#vid_320f&pid_5055&mi_09", true, &error));
}

// Each output report id has its own length; only the command report is answered.
TEST(SimBusInterfaces, OutputReportsAreTakenAtTheLengthOfTheirId) {
    SimBus bus(Options({Link::Headset, Link::Keyboard}));
    auto headset = OpenPath(bus, bus.CommandPath(Link::Headset));
    auto boot = OpenPath(bus, bus.Interfaces(Link::Keyboard)[0].path);  // no report ids
    ASSERT_TRUE(headset && boot);
    struct Case {
        hid::IHidConnection* connection;
        std::uint8_t id;
        std::size_t size;
        IoResult expected;
    };
    const Case cases[] = {
        {headset.get(), 0xFF, 17, IoResult::Ok},
        {headset.get(), 0xFF, 16, IoResult::Failed},
        {headset.get(), 0xFF, 18, IoResult::Failed},
        {headset.get(), 0xFF, 64, IoResult::Failed},
        {headset.get(), 4, 64, IoResult::Ok},
        {headset.get(), 4, 65, IoResult::Failed},
        {headset.get(), 4, 17, IoResult::Failed},
        {headset.get(), 1, 3, IoResult::Failed},
        {headset.get(), 0xFE, 17, IoResult::Failed},
        {headset.get(), 0, 0, IoResult::Failed},
        {boot.get(), 0, 2, IoResult::Ok},
        {boot.get(), 0, 3, IoResult::Failed},
        {boot.get(), 0xFF, 17, IoResult::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "id " << int{c.id} << " size " << c.size);
        std::vector<std::uint8_t> report(c.size, 0);
        if (!report.empty())
            report[0] = c.id;
        std::size_t n = 99;
        EXPECT_EQ(c.connection->Write(report, n, 1000), c.expected);
        EXPECT_EQ(n, c.expected == IoResult::Ok ? c.size : 0u);
    }
    // Only the accepted LED report reached the firmware; only the command report is answered.
    EXPECT_EQ(bus.Firmware(Product::Headset).LedReportCount(), 1u);
    EXPECT_EQ(bus.ReceivedReports(Link::Headset).size(), 1u);
    const std::optional<Report> answer = ReadAnswer(*headset);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 4);
    Report r{};
    std::size_t n = 0;
    EXPECT_EQ(headset->Read(r, n, 0), IoResult::Timeout);
}

class MouseCable : public ::testing::Test {
protected:
    SimBus bus{Options({Link::Mouse})};
    std::unique_ptr<hid::IHidConnection> conn = OpenPath(bus, bus.CommandPath(Link::Mouse));

    Report Transact(const Report& request) {
        const std::optional<Report> answer = Exchange(*conn, request);
        EXPECT_TRUE(answer);
        if (!answer)
            return {};
        EXPECT_TRUE(ChecksumOk(*answer));
        EXPECT_EQ((*answer)[0], 4);
        EXPECT_EQ((*answer)[3], request[3]);
        EXPECT_TRUE(std::equal(request.begin() + 4, request.begin() + 7, answer->begin() + 4));
        return *answer;
    }
    std::vector<std::uint8_t> Setting(std::size_t offset, std::size_t n) {
        return bus.Firmware(Product::Mouse).ReadArea(Area::Setting, offset, n);
    }
};

TEST_F(MouseCable, WriteCommandsLandInTheirAreas) {
    struct Case {
        std::uint8_t command;
        Area area;
        std::uint16_t address;
    };
    const Case cases[] = {
        {cmd::kWriteSetting, Area::Setting, 4096 - 56},
        {cmd::kWriteKeyTable, Area::KeyTable, 24},
        {cmd::kWriteFnKeyTable, Area::FnKeyTable, 456},
        {cmd::kWriteLightColours, Area::Colours, 384},
        {cmd::kWriteLightFrame, Area::LightFrame, 0},
        {cmd::kWriteMacro, Area::Macro, 32768 - 56},
        {cmd::kWriteShoot, Area::Shoot, 65536 - 56},
    };
    VirtualFirmware& fw = bus.Firmware(Product::Mouse);
    for (const Case& c : cases) {
        SCOPED_TRACE(AreaName(c.area));
        const std::vector<std::uint8_t> before = fw.ReadArea(c.area);
        const std::vector<std::uint8_t> payload = Pattern(56, c.command);
        EXPECT_EQ(Transact(Request(c.command, 56, c.address, payload))[7], kStatusOk);
        std::vector<std::uint8_t> expected = before;
        std::copy(payload.begin(), payload.end(), expected.begin() + c.address);
        EXPECT_EQ(fw.ReadArea(c.area), expected);
    }
}

TEST_F(MouseCable, ReadCommandsAnswerFromTheirAreas) {
    struct Case {
        std::uint8_t command;
        Area area;
        std::uint16_t address;
        std::uint8_t length;
    };
    const Case cases[] = {
        {cmd::kReadInfo, Area::Info, 24, 10},
        {cmd::kReadSetting, Area::Setting, 1000, 56},
        {cmd::kReadFactoryKeyTable, Area::DefaultKeyTable, 512 - 56, 56},
        {cmd::kReadStatus, Area::Status, 0, 6},
        {cmd::kReadLightIndex, Area::LightIndex, 168, 2},
    };
    VirtualFirmware& fw = bus.Firmware(Product::Mouse);
    for (const Case& c : cases) {
        SCOPED_TRACE(AreaName(c.area));
        const std::vector<std::uint8_t> content = Pattern(c.length, c.command);
        ASSERT_TRUE(fw.WriteArea(c.area, c.address, content));
        const Report answer = Transact(Request(c.command, c.length, c.address));
        EXPECT_EQ(answer[7], kStatusOk);
        EXPECT_TRUE(std::equal(content.begin(), content.end(), answer.begin() + 8));
        EXPECT_TRUE(std::all_of(answer.begin() + 8 + c.length, answer.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
}

TEST_F(MouseCable, FactoryKeyTableHoldsEachButtonCodeOnceAndStaysWhileTheActiveOneChanges) {
    VirtualFirmware& fw = bus.Firmware(Product::Mouse);
    const std::vector<std::uint8_t> factory = fw.ReadArea(Area::DefaultKeyTable);
    EXPECT_EQ(fw.ReadArea(Area::KeyTable), factory);
    const Report info = Transact(Request(cmd::kReadInfo, 34));
    const std::size_t positions = info[8 + 5];
    EXPECT_EQ(positions, 16u);
    EXPECT_EQ(info[8 + 6], 32);  // macro capacity, 128-byte units

    // The host finds each on-screen button by the first position holding its code, so each
    // must be there exactly once, and not in button order, or the search is never exercised.
    const std::array<std::array<std::uint8_t, 3>, 11> buttonCodes{{
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
    std::vector<std::size_t> positionOf;
    for (const auto& code : buttonCodes) {
        std::vector<std::size_t> found;
        for (std::size_t k = 0; k < positions; ++k) {
            if (std::equal(code.begin(), code.end(), &factory[3 * k]))
                found.push_back(k);
        }
        ASSERT_EQ(found.size(), 1u) << "code " << int{code[0]} << " " << int{code[1]};
        positionOf.push_back(found[0]);
    }
    EXPECT_FALSE(std::is_sorted(positionOf.begin(), positionOf.end()));
    // Spare positions hold a real code (not zeros), nothing lies beyond the table.
    for (std::size_t k = 0; k < positions; ++k) {
        if (std::find(positionOf.begin(), positionOf.end(), k) == positionOf.end()) {
            EXPECT_NE(factory[3 * k], 0) << "position " << k;
        }
    }
    EXPECT_TRUE(std::all_of(factory.begin() + 3 * static_cast<std::ptrdiff_t>(positions),
                            factory.end(), [](auto b) { return b == 0; }));

    const std::vector<std::uint8_t> remap{0x20, 0x00, 0x04};
    EXPECT_EQ(Transact(Request(cmd::kWriteKeyTable, 3, 0, remap))[7], kStatusOk);
    EXPECT_EQ(fw.ReadArea(Area::KeyTable, 0, 3), remap);
    const Report read = Transact(Request(cmd::kReadFactoryKeyTable, 48));
    EXPECT_TRUE(std::equal(factory.begin(), factory.begin() + 48, read.begin() + 8));

    SimBus other(Options({Link::Keyboard}));
    const std::vector<std::uint8_t> kb = other.Firmware(Product::Keyboard).ReadArea(Area::Info);
    EXPECT_EQ(kb[5], 112);
    EXPECT_EQ(kb[6], 64);
    const std::vector<std::uint8_t> keys =
        other.Firmware(Product::Keyboard).ReadArea(Area::DefaultKeyTable);
    EXPECT_EQ(keys[3 * 111], 0x20);
    EXPECT_EQ(keys[3 * 112], 0x00);
}

TEST_F(MouseCable, MalformedAndOutOfRangeRequestsFailWithoutEffect) {
    Report bad = Request(cmd::kWriteSetting, 1, 0, std::vector<std::uint8_t>{7});
    bad[1] ^= 0x01;
    EXPECT_EQ(Transact(bad)[7], kStatusBadChecksum);
    EXPECT_EQ(Setting(0, 1), std::vector<std::uint8_t>{0});

    const std::vector<std::uint8_t> payload(56, 0xAB);
    EXPECT_EQ(Transact(Request(cmd::kWriteSetting, 8, 4092, payload))[7], kStatusFailed);
    EXPECT_EQ(Setting(4088, 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(Transact(Request(cmd::kWriteSetting, 57, 0, payload))[7], kStatusFailed);
    EXPECT_EQ(Transact(Request(cmd::kReadInfo, 10, 30))[7], kStatusFailed);
    EXPECT_EQ(Transact(Request(cmd::kReadSetting, 57, 0))[7], kStatusFailed);
    // Page 1 of a key table lies beyond it.
    EXPECT_EQ(Transact(Request(cmd::kWriteKeyTable, 3, 512, payload))[7], kStatusFailed);
    EXPECT_EQ(Transact(Request(0x44))[7], kStatusFailed);
    // The last bytes of an area are within reach.
    EXPECT_EQ(Transact(Request(cmd::kWriteSetting, 56, 4040, payload))[7], kStatusOk);
    EXPECT_EQ(Transact(Request(cmd::kReadInfo, 0, 34))[7], kStatusOk);
}

TEST(SimBusReceiver, UnreachableDeviceIsAnsweredByTheReceiver) {
    SimBus bus(Options({Link::Mouse, Link::MouseReceiver}));
    auto receiver = OpenPath(bus, bus.CommandPath(Link::MouseReceiver));
    auto cable = OpenPath(bus, bus.CommandPath(Link::Mouse));
    ASSERT_TRUE(receiver && cable);

    std::optional<Report> a = Exchange(*receiver, Request(cmd::kQueryWireless));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[3], cmd::kQueryWireless);
    EXPECT_EQ((*a)[8], 0xFF);

    bus.SetReachable(Product::Mouse, false);
    a = Exchange(*receiver, Request(cmd::kQueryWireless));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[3], cmd::kQueryWireless);
    EXPECT_EQ((*a)[8], 0x00);
    EXPECT_TRUE(ChecksumOk(*a));
    a = Exchange(*receiver, Request(cmd::kWriteSetting, 1, 0, std::vector<std::uint8_t>{3}));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[3], 0xAA);
    EXPECT_EQ(bus.Firmware(Product::Mouse).ReadArea(Area::Setting, 0, 1)[0], 0);
    EXPECT_FALSE(bus.SendEvent(Link::MouseReceiver, 0x1101));

    // The cable reaches the device all the same.
    a = Exchange(*cable, Request(cmd::kQueryWireless));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[8], 0xFF);
    a = Exchange(*cable, Request(cmd::kReadSetting, 1));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[3], cmd::kReadSetting);

    bus.SetReachable(Product::Mouse, true);
    a = Exchange(*receiver, Request(cmd::kWriteSetting, 1, 0, std::vector<std::uint8_t>{3}));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[3], cmd::kWriteSetting);
    EXPECT_EQ(bus.Firmware(Product::Mouse).ReadArea(Area::Setting, 0, 1)[0], 3);
    // Both links share one firmware.
    a = Exchange(*cable, Request(cmd::kReadSetting, 1));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[8], 3);
}

TEST(SimBusEvents, EventWordsReachOnlyTheConsumerCollection) {
    SimBus bus(Options({Link::Mouse, Link::Headset}));
    auto events = OpenPath(bus, bus.EventPath(Link::Mouse));
    auto commands = OpenPath(bus, bus.CommandPath(Link::Mouse));
    auto keys = OpenPath(bus, "sim/mouse/1#vid_320f&pid_221c&mi_01&col01");
    auto headset = OpenPath(bus, bus.EventPath(Link::Headset));
    ASSERT_TRUE(events && commands && keys && headset);

    ASSERT_TRUE(bus.SendEvent(Link::Mouse, 0x1123));
    std::array<std::uint8_t, 64> buffer{};
    std::size_t n = 0;
    ASSERT_EQ(events->Read(buffer, n, 1000), IoResult::Ok);
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(buffer[0], 3);
    // Decoded through the descriptor, the event word is the first active usage.
    const hid::TopLevelCollection& consumer = events->Info().collection;
    ASSERT_FALSE(consumer.fields.empty());
    EXPECT_EQ(hid::ActiveUsages(consumer.fields[0], std::span(buffer).first(n)),
              std::vector<std::uint16_t>{0x1123});
    EXPECT_EQ(commands->Read(buffer, n, 0), IoResult::Timeout);
    EXPECT_EQ(keys->Read(buffer, n, 0), IoResult::Timeout);
    EXPECT_EQ(headset->Read(buffer, n, 0), IoResult::Timeout);

    // The headset's one collection carries both kinds of report.
    ASSERT_TRUE(bus.SendEvent(Link::Headset, 0x0102));
    ASSERT_EQ(headset->Read(buffer, n, 1000), IoResult::Ok);
    EXPECT_EQ(std::vector(buffer.begin(), buffer.begin() + n),
              (std::vector<std::uint8_t>{1, 0x02, 0x01}));
    const std::array<std::uint8_t, 6> status{55, 1, 0, 0, 4, 2};
    bus.SetStatusBlock(Product::Headset, status);
    const std::optional<Report> answer = Exchange(*headset, Request(cmd::kReadStatus, 6));
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[3], cmd::kReadStatus);
    EXPECT_TRUE(std::equal(status.begin(), status.end(), answer->begin() + 8));

    EXPECT_FALSE(bus.SendEvent(Link::Keyboard, 0x1101));
}

TEST(SimBusLog, KeepsTheReportsEachLinkReceived) {
    SimBus bus(Options({Link::Mouse, Link::MouseReceiver, Link::Pad}));
    auto cable = OpenPath(bus, bus.CommandPath(Link::Mouse));
    auto receiver = OpenPath(bus, bus.CommandPath(Link::MouseReceiver));
    auto pad = OpenPath(bus, bus.CommandPath(Link::Pad));
    const Report begin = Request(cmd::kBegin);
    const Report write = Request(cmd::kWriteMacro, 2, 0, std::vector<std::uint8_t>{0xAA, 0x55});
    const Report end = Request(cmd::kEnd);
    ASSERT_TRUE(Exchange(*cable, begin) && Exchange(*receiver, write) && Exchange(*pad, end) &&
                Exchange(*cable, end));
    EXPECT_EQ(bus.ReceivedReports(Link::Mouse), (std::vector<Report>{begin, end}));
    EXPECT_EQ(bus.ReceivedReports(Link::MouseReceiver), std::vector<Report>{write});
    EXPECT_EQ(bus.ReceivedReports(Product::Mouse), (std::vector<Report>{begin, write, end}));
    EXPECT_EQ(bus.ReceivedReports(Product::Pad), std::vector<Report>{end});
    bus.ClearLog();
    EXPECT_TRUE(bus.ReceivedReports(Product::Mouse).empty());
}

class MouseFaults : public MouseCable {
protected:
    Report WriteByte(std::uint8_t value) {
        return Request(cmd::kWriteSetting, 1, 0, std::vector<std::uint8_t>{value});
    }
};

TEST_F(MouseFaults, LostAnswerWrongEchoAndStrayAnswer) {
    bus.InjectFault(Link::Mouse, Fault::NoAnswer);
    ASSERT_EQ(Send(*conn, WriteByte(1)), IoResult::Ok);
    EXPECT_FALSE(ReadAnswer(*conn, 30));
    EXPECT_EQ(Setting(0, 1)[0], 1);  // acted on, only the answer was lost
    Transact(Request(cmd::kBegin));

    bus.InjectFault(Link::Mouse, Fault::WrongEcho, 2);
    for (int i = 0; i < 2; ++i) {
        const std::optional<Report> a = Exchange(*conn, Request(cmd::kReadSetting, 1));
        ASSERT_TRUE(a);
        EXPECT_NE((*a)[3], cmd::kReadSetting);
        EXPECT_NE((*a)[3], 0xAA);
        EXPECT_TRUE(ChecksumOk(*a));
        EXPECT_FALSE(ReadAnswer(*conn, 0));  // it was the only answer
    }
    Transact(Request(cmd::kReadSetting, 1));

    bus.InjectFault(Link::Mouse, Fault::StrayAnswerFirst);
    const std::optional<Report> stray = Exchange(*conn, Request(cmd::kReadSetting, 1));
    ASSERT_TRUE(stray);
    EXPECT_NE((*stray)[3], cmd::kReadSetting);
    EXPECT_NE((*stray)[3], 0xAA);
    const std::optional<Report> right = ReadAnswer(*conn);
    ASSERT_TRUE(right);
    EXPECT_EQ((*right)[3], cmd::kReadSetting);
    EXPECT_EQ((*right)[8], 1);
}

TEST_F(MouseFaults, RefusedRequestsStoreNothingAndFaultsQueueInOrder) {
    bus.InjectFault(Link::Mouse, Fault::StatusFF);
    bus.InjectFault(Link::Mouse, Fault::StatusFE);
    EXPECT_EQ(Transact(WriteByte(5))[7], kStatusFailed);
    EXPECT_EQ(Transact(WriteByte(6))[7], kStatusBadChecksum);
    EXPECT_EQ(Setting(0, 1)[0], 0);
    EXPECT_EQ(Transact(WriteByte(7))[7], kStatusOk);
    EXPECT_EQ(Setting(0, 1)[0], 7);

    bus.ClearLog();
    bus.InjectFault(Link::Mouse, Fault::WriteFailure);
    EXPECT_EQ(Send(*conn, WriteByte(8)), IoResult::Failed);
    EXPECT_EQ(Setting(0, 1)[0], 7);
    EXPECT_TRUE(bus.ReceivedReports(Link::Mouse).empty());
    EXPECT_EQ(Transact(WriteByte(8))[7], kStatusOk);

    bus.InjectFault(Link::Mouse, Fault::StatusFF, 3);
    bus.ClearFaults(Link::Mouse);
    EXPECT_EQ(Transact(WriteByte(9))[7], kStatusOk);
}

TEST_F(MouseFaults, LinkUnplugsAsARequestArrivesOrAfterSomeReports) {
    bus.UnplugAfterReports(Link::Mouse, 2);
    EXPECT_EQ(Transact(Request(cmd::kBegin))[7], kStatusOk);
    EXPECT_EQ(Transact(WriteByte(4))[7], kStatusOk);  // the last answer still arrives
    EXPECT_FALSE(bus.IsPlugged(Link::Mouse));
    EXPECT_EQ(Send(*conn, Request(cmd::kEnd)), IoResult::Failed);

    bus.Plug(Link::Mouse);
    conn = OpenPath(bus, bus.CommandPath(Link::Mouse));
    ASSERT_TRUE(conn);
    bus.ClearLog();
    bus.InjectFault(Link::Mouse, Fault::UnplugBeforeAnswer);
    EXPECT_EQ(Send(*conn, WriteByte(9)), IoResult::Ok);
    Report r{};
    std::size_t n = 0;
    EXPECT_EQ(conn->Read(r, n, 1000), IoResult::Failed);
    EXPECT_FALSE(bus.IsPlugged(Link::Mouse));
    EXPECT_EQ(Setting(0, 1)[0], 4);
    EXPECT_EQ(bus.ReceivedReports(Link::Mouse).size(), 1u);
}

TEST(SimBusTiming, ReportsTakeTheLatencyEachWay) {
    constexpr auto kLatency = 5ms;
    SimBus bus(Options({Link::Pad}, kLatency));
    auto conn = OpenPath(bus, bus.CommandPath(Link::Pad));
    ASSERT_TRUE(conn);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Send(*conn, Request(cmd::kBegin)), IoResult::Ok);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kLatency);
    EXPECT_FALSE(ReadAnswer(*conn, 0));  // still on its way
    ASSERT_TRUE(ReadAnswer(*conn, 1000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * kLatency);

    // A write limit below the latency runs out before the report gets through.
    bus.ClearLog();
    std::size_t n = 0;
    EXPECT_EQ(conn->Write(Request(cmd::kBegin), n, 1), IoResult::Timeout);
    EXPECT_TRUE(bus.ReceivedReports(Link::Pad).empty());
}

TEST(SimBusCancel, CancelEndsOnlyTheReadsInProgress) {
    SimBus bus(Options({Link::Mouse}));
    auto conn = OpenPath(bus, bus.CommandPath(Link::Mouse));
    ASSERT_TRUE(conn);
    std::future<IoResult> pending = std::async(std::launch::async, [&] {
        Report r{};
        std::size_t n = 0;
        return conn->Read(r, n, hid::kNoTimeout);
    });
    // The reader may not have started yet: cancel until it has been reached.
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (pending.wait_for(1ms) != std::future_status::ready &&
           std::chrono::steady_clock::now() < limit) {
        conn->CancelPending();
    }
    ASSERT_EQ(pending.wait_for(0s), std::future_status::ready);
    EXPECT_EQ(pending.get(), IoResult::Cancelled);
    EXPECT_TRUE(Exchange(*conn, Request(cmd::kBegin)));
}

TEST(SimBusCancel, ClosingAConnectionEndsAReadInsideIt) {
    SimBus bus(Options({Link::Keyboard}));
    auto conn = OpenPath(bus, bus.EventPath(Link::Keyboard));
    ASSERT_TRUE(conn);
    std::atomic<bool> started{false};
    std::promise<IoResult> result;
    std::jthread reader([&, raw = conn.get()] {
        Report r{};
        std::size_t n = 0;
        started = true;
        result.set_value(raw->Read(r, n, hid::kNoTimeout));
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(20ms);  // let the reader get inside Read
    conn.reset();
    auto outcome = result.get_future();
    ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
    EXPECT_NE(outcome.get(), IoResult::Ok);
}

TEST(SimBusState, EndCommandPersistsAndCorruptFilesMeanFactory) {
    test::TempDir dir;
    const std::string file = dir.File("sim-state.json");
    const SimBusOptions options = Options({Link::Mouse}, {}, file);
    SimBus first(options);
    const std::vector<std::uint8_t> factoryKeys =
        first.Firmware(Product::Mouse).ReadArea(Area::KeyTable);
    std::vector<std::uint8_t> setting = first.Firmware(Product::Mouse).ReadArea(Area::Setting);
    setting[0] = 2;
    // The state file keeps an area as hex without its trailing zeros.
    const auto hex = [](const std::vector<std::uint8_t>& bytes) {
        std::size_t used = bytes.size();
        while (used > 0 && bytes[used - 1] == 0)
            --used;
        std::string text;
        for (std::size_t i = 0; i < used; ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
            text += pair;
        }
        return text;
    };
    const std::string settingHex = hex(setting);
    const std::string padHex = hex(first.Firmware(Product::Pad).ReadArea(Area::Setting));
    auto conn = OpenPath(first, first.CommandPath(Link::Mouse));
    ASSERT_TRUE(conn);
    ASSERT_TRUE(Exchange(*conn, Request(cmd::kBegin)));
    ASSERT_TRUE(Exchange(*conn, Request(cmd::kWriteSetting, 1, 0, std::vector<std::uint8_t>{2})));
    ASSERT_TRUE(
        Exchange(*conn, Request(cmd::kWriteKeyTable, 3, 0, std::vector<std::uint8_t>{1, 2, 3})));
    ASSERT_TRUE(
        Exchange(*conn, Request(cmd::kWriteLightFrame, 3, 0, std::vector<std::uint8_t>{9, 9, 9})));
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(Exchange(*conn, Request(cmd::kEnd)));

    // Saved at the end command, with trailing zeros left out; frames are not kept.
    const Json::Value saved = ReadJsonFile(file);
    EXPECT_EQ(saved["mouse"]["setting"].asString(), settingHex);
    EXPECT_EQ(settingHex.substr(0, 2), "02");
    // A product nobody talked to keeps its factory records.
    EXPECT_EQ(saved["pad"]["setting"].asString(), padHex);
    EXPECT_FALSE(padHex.empty());
    EXPECT_FALSE(saved["mouse"].isMember("lightframe"));
    {
        SimBus second(options);
        VirtualFirmware& fw = second.Firmware(Product::Mouse);
        EXPECT_EQ(fw.ReadArea(Area::Setting), setting);
        EXPECT_EQ(fw.ReadArea(Area::KeyTable, 0, 4),
                  (std::vector<std::uint8_t>{1, 2, 3, factoryKeys[3]}));
        EXPECT_EQ(fw.ReadArea(Area::DefaultKeyTable),
                  first.Firmware(Product::Mouse).ReadArea(Area::DefaultKeyTable));
        EXPECT_EQ(fw.ReadArea(Area::LightFrame, 0, 1)[0], 0);
        // Changes without an end command are kept when the bus goes away.
        fw.WriteArea(Area::Macro, 100, std::vector<std::uint8_t>{0x55});
    }
    {
        SimBus third(options);
        EXPECT_EQ(third.Firmware(Product::Mouse).ReadArea(Area::Macro, 100, 1)[0], 0x55);
    }

    for (const std::string& corrupt :
         {std::string("{ \"mouse\": "), std::string("[1, 2]"),
          std::string(R"({"keyboard": {"setting": "05"}, "mouse": {"setting": "0g"}})"),
          std::string(R"({"mouse": {"status": "00112233445566"}})")}) {
        SCOPED_TRACE(corrupt);
        dir.Write("sim-state.json", corrupt);
        SimBus fresh(Options({}, {}, file));
        EXPECT_EQ(fresh.Firmware(Product::Mouse).ReadArea(Area::Setting, 0, 1)[0], 0);
        EXPECT_EQ(fresh.Firmware(Product::Keyboard).ReadArea(Area::Setting, 0, 1)[0], 0);
        EXPECT_EQ(fresh.Firmware(Product::Mouse).ReadArea(Area::KeyTable), factoryKeys);
        EXPECT_FALSE(fresh.LoadState());
    }
}

// Both links of the keyboard drive its one firmware at once while a third thread inspects it.
TEST(SimBusThreads, LightingStreamAndConfigurationRunSideBySide) {
    SimBus bus(Options({Link::Keyboard, Link::KeyboardReceiver}));
    auto streamConn = OpenPath(bus, bus.CommandPath(Link::Keyboard));
    auto configConn = OpenPath(bus, bus.CommandPath(Link::KeyboardReceiver));
    ASSERT_TRUE(streamConn && configConn);
    constexpr int kRounds = 150;

    const auto exchange = [](hid::IHidConnection& c, const Report& request) {
        std::optional<Report> answer = Exchange(c, request);
        if (answer && ((*answer)[3] != request[3] || (*answer)[7] != kStatusOk))
            answer.reset();
        return answer;
    };
    std::atomic<int> streamFailures{0}, configFailures{0};
    std::atomic<bool> done{false};
    {
        std::jthread stream([&] {
            for (int i = 0; i < kRounds; ++i) {
                const std::vector<std::uint8_t> frame(24, static_cast<std::uint8_t>(i));
                if (!exchange(*streamConn, Request(cmd::kWriteLightFrame, 24, 0, frame)))
                    ++streamFailures;
            }
        });
        std::jthread config([&] {
            for (int i = 0; i < kRounds; ++i) {
                const auto address = static_cast<std::uint16_t>(8 * (i % 100));
                const std::vector<std::uint8_t> bytes = Pattern(8, static_cast<std::uint8_t>(i));
                std::optional<Report> read;
                if (exchange(*configConn, Request(cmd::kWriteSetting, 8, address, bytes)))
                    read = exchange(*configConn, Request(cmd::kReadSetting, 8, address));
                if (!read || !std::equal(bytes.begin(), bytes.end(), read->begin() + 8))
                    ++configFailures;
            }
        });
        std::jthread inspector([&] {
            while (!done) {
                bus.Firmware(Product::Keyboard).ReadArea(Area::LightFrame, 0, 24);
                bus.ReceivedReports(Product::Keyboard);
                std::this_thread::sleep_for(1ms);
            }
        });
        stream.join();
        config.join();
        done = true;
    }
    EXPECT_EQ(streamFailures, 0);
    EXPECT_EQ(configFailures, 0);
    EXPECT_EQ(bus.Firmware(Product::Keyboard).ReadArea(Area::LightFrame, 0, 24),
              std::vector<std::uint8_t>(24, kRounds - 1));
    EXPECT_EQ(bus.ReceivedReports(Link::Keyboard).size(), 1u * kRounds);
    EXPECT_EQ(bus.ReceivedReports(Product::Keyboard).size(), 3u * kRounds);
}

// The generic core lets a product add its own reactions.
class ProfileSwitchFirmware : public VirtualFirmware {
public:
    ProfileSwitchFirmware() : VirtualFirmware(Product::Mouse) {}

protected:
    void AfterWrite(Area area, std::size_t offset, std::size_t length) override {
        if (area == Area::Setting && offset == 0 && length > 0)
            EmitEvent(static_cast<std::uint16_t>(0x1100 | Memory(Area::Setting)[0]));
    }
    bool HandleOther(const Report& request, Report& answer) override {
        if (request[3] != 0x40)
            return false;
        answer[8] = 0x5A;
        return true;
    }
};

TEST(SimFirmware, HooksSeeWritesAndUnknownCommands) {
    ProfileSwitchFirmware fw;
    EXPECT_EQ(
        fw.HandleCommand(Request(cmd::kWriteSetting, 2, 0, std::vector<std::uint8_t>{3, 1}))[7],
        kStatusOk);
    EXPECT_EQ(fw.HandleCommand(Request(cmd::kWriteSetting, 1, 5, std::vector<std::uint8_t>{1}))[7],
              kStatusOk);
    EXPECT_EQ(fw.TakeEvents(), std::vector<std::uint16_t>{0x1103});
    EXPECT_TRUE(fw.TakeEvents().empty());

    const Report custom = fw.HandleCommand(Request(0x40));
    EXPECT_EQ(custom[7], kStatusOk);
    EXPECT_EQ(custom[8], 0x5A);
    EXPECT_TRUE(ChecksumOk(custom));
    EXPECT_EQ(fw.HandleCommand(Request(0x41))[7], kStatusFailed);
}

}  // namespace
}  // namespace morva::sim
