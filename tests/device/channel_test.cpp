// The command protocol against the simulated firmware.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "device/links/product_links.h"
#include "device/protocol/commands.h"
#include "sim/sim_bus.h"

namespace morva {
namespace {

using sim::Fault;
using sim::Link;
using sim::Product;

class ChannelTest : public ::testing::Test {
protected:
    void Start(Link link, std::chrono::microseconds latency = {}) {
        sim::SimBusOptions options;
        options.plugged = {Link::Mouse, Link::MouseReceiver, Link::Headset};
        options.latency = latency;
        bus_ = std::make_unique<sim::SimBus>(options);
        channel_ = std::make_unique<CDeviceChannel>(*bus_);
        channel_->cableTimeoutMs = 200;
        channel_->receiverTimeoutMs = 200;
        const bool viaReceiver = link == Link::MouseReceiver;
        links_ = std::make_unique<CProductLinks>(*channel_);
        std::string error;
        ASSERT_TRUE(links_->Open(viaReceiver ? ProductLink::Receiver : ProductLink::Cable,
                                 bus_->CommandPath(link), &error))
            << error;
        link_ = link;
    }

    // (command, length, address) of every report the firmware received.
    struct Sent {
        int command, length, address;
        friend bool operator==(const Sent&, const Sent&) = default;
    };
    std::vector<Sent> Received(int command) const {
        std::vector<Sent> out;
        for (const sim::Report& r : bus_->ReceivedReports(link_)) {
            if (r[3] == command)
                out.push_back({r[3], r[4], r[5] | r[6] << 8});
        }
        return out;
    }

    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CDeviceChannel> channel_;
    std::unique_ptr<CProductLinks> links_;
    Link link_ = Link::Mouse;
};

TEST_F(ChannelTest, InfoIsReadInChunksOfTheLink) {
    Start(Link::MouseReceiver);
    std::array<std::uint8_t, kInfoBlockSize> viaReceiver{};
    ASSERT_EQ(CmdReadInfo(*channel_, viaReceiver), kResultOk);
    EXPECT_EQ(Received(cmd::kReadInfo), (std::vector<Sent>{{3, 24, 0}, {3, 10, 24}}));

    Start(Link::Mouse);
    std::array<std::uint8_t, kInfoBlockSize> viaCable{};
    ASSERT_EQ(CmdReadInfo(*channel_, viaCable), kResultOk);
    EXPECT_EQ(Received(cmd::kReadInfo), (std::vector<Sent>{{3, 34, 0}}));
    EXPECT_EQ(viaCable, viaReceiver);
    const auto info = bus_->Firmware(Product::Mouse).ReadArea(sim::Area::Info);
    EXPECT_TRUE(std::equal(viaCable.begin(), viaCable.end(), info.begin()));
}

TEST_F(ChannelTest, KeyTableGoesOutInChunksOf56) {
    Start(Link::Mouse);
    ASSERT_EQ(channel_->SetTransferSize(351), 1);
    EXPECT_EQ(channel_->SetTransferSize(513), 0);
    EXPECT_EQ(channel_->TransferSize(), 351);
    std::vector<std::uint8_t> table(351);
    std::iota(table.begin(), table.end(), 1);
    ASSERT_EQ(CmdWriteKeyTable(*channel_, table.data(), 0), kResultOk);

    std::vector<Sent> expected;
    for (int a = 0; a < 351; a += 56)
        expected.push_back({0x09, std::min(56, 351 - a), a});
    EXPECT_EQ(Received(cmd::kWriteKeyTable), expected);
    EXPECT_EQ(expected.back(), (Sent{0x09, 15, 336}));
    const auto active = bus_->Firmware(Product::Mouse).ReadArea(sim::Area::KeyTable);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), active.begin()));
}

TEST_F(ChannelTest, KeyTablePageOtherThanZeroSendsNothing) {
    Start(Link::Mouse);
    std::vector<std::uint8_t> table(512);
    EXPECT_EQ(CmdWriteKeyTable(*channel_, table.data(), 1), kResultBadPage);
    EXPECT_EQ(CmdWriteFnKeyTable(*channel_, table.data(), 1), kResultBadPage);
    EXPECT_TRUE(bus_->ReceivedReports(Link::Mouse).empty());
}

TEST_F(ChannelTest, ShootImageUses56ByteChunksOnEveryLinkWithoutCommandLock) {
    Start(Link::MouseReceiver);
    std::vector<std::uint8_t> image(130, 7);
    // The command lock held elsewhere does not hold the shoot download up.
    std::lock_guard busyElsewhere(channel_->commandLock);
    ASSERT_EQ(CmdWriteShoot(*channel_, image.data(), image.size()), kResultOk);
    EXPECT_EQ(Received(cmd::kWriteShoot),
              (std::vector<Sent>{{0x17, 56, 0}, {0x17, 56, 56}, {0x17, 18, 112}}));
}

TEST_F(ChannelTest, StrayAnswerIsSkippedOnceButNeverTakenAsTheAnswer) {
    Start(Link::Mouse);
    bus_->Firmware(Product::Mouse).WriteArea(sim::Area::Setting, 0, std::vector<std::uint8_t>{3});
    bus_->InjectFault(Link::Mouse, Fault::StrayAnswerFirst);
    std::uint8_t active = 0;
    ASSERT_EQ(CmdReadSetting(*channel_, &active, 1, 0), kResultOk);
    EXPECT_EQ(active, 3);

    // An answer that never echoes belongs to someone else: a failed exchange, nothing copied.
    bus_->InjectFault(Link::Mouse, Fault::WrongEcho);
    active = 0x55;
    EXPECT_EQ(CmdReadSetting(*channel_, &active, 1, 0), kResultNoAnswer);
    EXPECT_EQ(active, 0x55);
}

TEST_F(ChannelTest, ReceiverReportsAnUnreachableDevice) {
    Start(Link::MouseReceiver);
    EXPECT_TRUE(CmdQueryWireless(*channel_));
    bus_->SetReachable(Product::Mouse, false);
    EXPECT_FALSE(CmdQueryWireless(*channel_));
    EXPECT_EQ(CmdBegin(*channel_), kResultUnreachable);
    std::array<std::uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(CmdReadInfo(*channel_, info), kResultUnreachable);
    EXPECT_EQ(Received(cmd::kReadInfo).size(), 1u) << "stops at the first chunk";

    std::array<std::uint8_t, kReportSize> raw{kCommandReportId};
    EXPECT_EQ(channel_->WriteOutputReport(raw), kResultNoAnswer) << "raw reports go by cable only";
}

// A lighting frame is 12 register writes: red, green, blue, each to group 0x22 then 0x44,
// LEDs 0..6 then 7..12.
TEST_F(ChannelTest, HeadsetLedFrameSetsBothGroupsThroughOutputReports) {
    Start(Link::Headset);
    const sim::LedColour palette[] = {{0xF0, 0x01, 0x02}, {0x03, 0xE0, 0x04}, {0x05, 0x06, 0xD0}};
    const std::uint8_t groups[] = {0x22, 0x44};
    std::array<sim::LedRow, 2> want{};
    for (std::size_t g = 0; g < 2; ++g) {
        for (std::size_t i = 0; i < sim::kHeadsetLedCount; ++i)
            want[g][i] = palette[(i + g) % 3];
    }
    struct Channel {
        std::uint8_t low, high;  // registers of LEDs 0..6 and 7..12
        std::uint8_t sim::LedColour::*value;
    };
    const Channel channels[] = {{0xAA, 0xAD, &sim::LedColour::red},
                                {0xAB, 0xAE, &sim::LedColour::green},
                                {0xAC, 0xAF, &sim::LedColour::blue}};
    for (const Channel& c : channels) {
        for (std::size_t g = 0; g < 2; ++g) {
            struct Half {
                std::uint8_t reg;
                std::size_t first, count;
            };
            for (const Half& h : {Half{c.low, 0, 7}, Half{c.high, 7, 6}}) {
                std::array<std::uint8_t, 17> report{0xFF, groups[g], h.reg, 0};
                for (std::size_t i = 0; i < h.count; ++i)
                    report[4 + i] = want[g][h.first + i].*c.value;
                if (h.count == 6)
                    report[4 + h.count] = 0xEE;  // where a 14th LED would be: padding
                ASSERT_EQ(channel_->WriteOutputReport(report), kResultOk);
            }
        }
    }
    const sim::VirtualFirmware& fw = bus_->Firmware(Product::Headset);
    EXPECT_EQ(fw.Leds(0x22), want[0]);
    EXPECT_EQ(fw.Leds(0x44), want[1]);
    EXPECT_EQ(fw.LedReportCount(), 12u);
    EXPECT_EQ(fw.IgnoredLedReportCount(), 0u);
    EXPECT_TRUE(bus_->ReceivedReports(Link::Headset).empty()) << "no command report went out";

    // Another group or register changes nothing; a closed channel writes nothing.
    const std::array<std::uint8_t, 17> otherGroup{0xFF, 0x33, 0xAA, 0, 1, 2, 3, 4, 5, 6, 7};
    const std::array<std::uint8_t, 17> otherRegister{0xFF, 0x22, 0xB0, 0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(channel_->WriteOutputReport(otherGroup), kResultOk);
    EXPECT_EQ(channel_->WriteOutputReport(otherRegister), kResultOk);
    EXPECT_EQ(fw.Leds(0x22), want[0]);
    EXPECT_EQ(fw.Leds(0x44), want[1]);
    EXPECT_EQ(fw.LedReportCount(), 14u);
    EXPECT_EQ(fw.IgnoredLedReportCount(), 2u);
    EXPECT_EQ(channel_->WriteOutputReport(std::array<std::uint8_t, 16>{0xFF}), kResultWriteFailed);
    channel_->SetOpen(false);
    EXPECT_EQ(channel_->WriteOutputReport(otherGroup), kResultNoAnswer);
    EXPECT_EQ(fw.LedReportCount(), 14u);
}

TEST_F(ChannelTest, HeadsetFactoryRecordsSitAtProfileTimes29) {
    Start(Link::Headset);
    for (std::uint8_t profile = 0; profile < 3; ++profile) {
        SCOPED_TRACE(profile);
        std::array<std::uint8_t, 29> record{};
        ASSERT_EQ(CmdReadSetting(*channel_, record.data(), record.size(), profile * 29), kResultOk);
        EXPECT_EQ(record[0], profile);
        EXPECT_EQ(record[2], 4) << "full brightness";
        EXPECT_EQ(record[3], 2) << "middle speed";
        EXPECT_EQ(record[5], 1) << "multicolour";
        EXPECT_EQ((std::array{record[6], record[7], record[8]}),
                  (std::array<std::uint8_t, 3>{0, 153, 255}));
    }
}

TEST_F(ChannelTest, QueryWirelessOverCableSendsNothing) {
    Start(Link::Mouse);
    EXPECT_TRUE(CmdQueryWireless(*channel_));
    EXPECT_TRUE(bus_->ReceivedReports(Link::Mouse).empty());
}

TEST_F(ChannelTest, StatusBytesAndFailuresBecomeResultCodes) {
    Start(Link::Mouse);
    bus_->InjectFault(Link::Mouse, Fault::StatusFF);
    EXPECT_EQ(CmdBegin(*channel_), kResultStatusFF);
    bus_->InjectFault(Link::Mouse, Fault::StatusFE);
    EXPECT_EQ(CmdLightControl(*channel_), kResultStatusFE);

    // A chunked write stops at the first failing chunk, earlier chunks stay written.
    std::vector<std::uint8_t> block(120, 9);
    bus_->ClearLog();
    bus_->InjectFault(Link::Mouse, Fault::NoAnswer);  // the first chunk is stored, unanswered
    EXPECT_EQ(CmdWriteSetting(*channel_, block.data(), block.size(), 128), kResultNoAnswer);
    EXPECT_EQ(Received(cmd::kWriteSetting).size(), 1u);

    bus_->InjectFault(Link::Mouse, Fault::WriteFailure);
    EXPECT_EQ(CmdBegin(*channel_), kResultWriteFailed);

    channel_->SetOpen(false);
    bus_->ClearLog();
    EXPECT_EQ(CmdBegin(*channel_), kResultNoAnswer);
    EXPECT_TRUE(bus_->ReceivedReports(Link::Mouse).empty()) << "a closed channel sends nothing";
}

TEST_F(ChannelTest, SlowLinkTimesOutOnWrite) {
    Start(Link::Mouse, std::chrono::milliseconds(50));
    channel_->cableTimeoutMs = 10;
    EXPECT_EQ(CmdBegin(*channel_), kResultWriteFailed);
    EXPECT_FALSE(channel_->Busy()) << "the busy count is released on every way out";
}

TEST_F(ChannelTest, StatusReadCopiesTheBlock) {
    Start(Link::MouseReceiver);
    const std::array<std::uint8_t, 6> status = {80, 2, 0, 0, 0, 3};
    bus_->SetStatusBlock(Product::Mouse, status);
    std::array<std::uint8_t, 6> read{};
    ASSERT_EQ(CmdReadStatus(*channel_, read.data(), 6, 0), kResultOk);
    EXPECT_EQ(read, status);
}

TEST_F(ChannelTest, LightFrameChunkIsDroppedWhileAnExchangeIsInProgress) {
    Start(Link::Mouse, std::chrono::milliseconds(40));
    std::thread slow([&] { CmdBegin(*channel_); });
    while (!channel_->Busy())
        std::this_thread::yield();
    std::vector<std::uint8_t> frame(45, 0xFF);
    EXPECT_EQ(CmdWriteLightFrame(*channel_, frame.data(), frame.size()), kResultOk);
    slow.join();
    EXPECT_TRUE(Received(cmd::kWriteLightFrame).empty());

    EXPECT_EQ(CmdWriteLightFrame(*channel_, frame.data(), frame.size()), kResultOk);
    EXPECT_EQ(Received(cmd::kWriteLightFrame).size(), 1u) << "sent when the channel is idle";
}

TEST_F(ChannelTest, StreamAndConfigurationThreadsEachGetTheirOwnAnswers) {
    Start(Link::Mouse, std::chrono::microseconds(300));
    channel_->cableTimeoutMs = 1000;
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::atomic<int> failedFrames{0};
    std::thread stream([&] {
        std::vector<std::uint8_t> frame(90, 0x11);
        while (!stop) {
            if (CmdWriteLightFrame(*channel_, frame.data(), frame.size()) != kResultOk) {
                ++failedFrames;
            }
            ++frames;
        }
    });
    for (int i = 0; i < 150; ++i) {
        std::vector<std::uint8_t> block(30, static_cast<std::uint8_t>(i));
        const auto base = static_cast<std::uint16_t>(64 * (i % 8));
        ASSERT_EQ(CmdWriteSetting(*channel_, block.data(), block.size(), base), kResultOk) << i;
        std::vector<std::uint8_t> back(30, 0xEE);
        ASSERT_EQ(CmdReadSetting(*channel_, back.data(), back.size(), base), kResultOk) << i;
        ASSERT_EQ(back, block) << "round " << i;
    }
    stop = true;
    stream.join();
    EXPECT_GT(frames.load(), 0);
    EXPECT_EQ(failedFrames.load(), 0) << "a frame lost its answer to the other thread";
}

TEST_F(ChannelTest, UnplugMidSequenceFailsCleanly) {
    Start(Link::Mouse);
    bus_->UnplugAfterReports(Link::Mouse, 2);
    EXPECT_EQ(CmdBegin(*channel_), kResultOk);
    std::array<std::uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(CmdReadInfo(*channel_, info), kResultOk);
    EXPECT_NE(CmdEnd(*channel_), kResultOk);
}

}  // namespace
}  // namespace morva
