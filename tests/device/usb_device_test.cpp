// The device model base against the simulated bus: event readers, the frame stream, the
// light thread and the model's tables.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "base/clock.h"
#include "device/models/usb_device.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using namespace std::chrono_literals;
using sim::Link;

// Records what the model asks of the program, from whichever thread.
class RecordingHost : public IDeviceHost {
public:
    void StartEntryTimer(int id, int ms) override {
        std::lock_guard lock(mutex_);
        timers_.emplace_back(id, ms);
        changed_.notify_all();
    }
    void SendOwnerMessage(int, std::intptr_t, std::intptr_t) override {}
    void ShowPowerStatus(std::span<const std::uint8_t>) override {}
    void RefreshPage() override {}

    bool WaitForTimers(std::size_t count, std::chrono::milliseconds limit = 2s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return timers_.size() >= count; });
    }
    std::vector<std::pair<int, int>> Timers() {
        std::lock_guard lock(mutex_);
        return timers_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<int, int>> timers_;
};

class UsbDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimBusOptions options;
        options.plugged = {Link::Mouse, Link::MouseReceiver, Link::Pad};
        bus_ = std::make_unique<sim::SimBus>(options);
        device_ = std::make_unique<CTessaronUSBDevice>(*bus_, clock_);
        device_->SetHost(&host_);
        device_->SetDeviceKind(kKindMouse);
    }
    void TearDown() override { device_.reset(); }

    void OpenCommand(Link link) {
        CDeviceChannel& channel = device_->CommandChannel();
        channel.cableTimeoutMs = 200;
        channel.receiverTimeoutMs = 200;
        const bool receiver = sim::IsReceiver(link);
        ASSERT_TRUE(device_->Links().Open(receiver ? ProductLink::Receiver : ProductLink::Cable,
                                          bus_->CommandPath(link)));
    }

    std::size_t FramesSent(Link link) const {
        std::size_t n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(link))
            n += r[3] == cmd::kWriteLightFrame;
        return n;
    }

    RecordingHost host_;
    CManualClock clock_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronUSBDevice> device_;
};

TEST_F(UsbDeviceTest, SyncRequestOnEitherEventLinkStartsTheActiveProfileTimer) {
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Mouse)));
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Receiver, bus_->EventPath(Link::MouseReceiver)));
    EXPECT_TRUE(device_->IsEventLinkOpen(EventLink::Cable));

    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    ASSERT_TRUE(host_.WaitForTimers(1));
    ASSERT_TRUE(bus_->SendEvent(Link::MouseReceiver, 0x0401));
    ASSERT_TRUE(host_.WaitForTimers(2));
    // Other words are the product classes' business: the reader takes its words in order, so
    // the request after the other word comes third.
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0403));
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    ASSERT_TRUE(host_.WaitForTimers(3));
    EXPECT_EQ(host_.Timers(),
              (std::vector<std::pair<int, int>>(3, {kEntryTimerActiveProfile, 50})));
}

TEST_F(UsbDeviceTest, PadAndHeadsetWaitLongerBeforeReadingTheProfile) {
    device_->SetDeviceKind(kKindMousePad);
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Pad)));
    ASSERT_TRUE(bus_->SendEvent(Link::Pad, 0x0401));
    ASSERT_TRUE(host_.WaitForTimers(1));
    EXPECT_EQ(host_.Timers().front(), std::make_pair(kEntryTimerActiveProfile, 500));
}

TEST_F(UsbDeviceTest, ClosingAnEventLinkEndsItsBlockedReaderAtOnce) {
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Mouse)));
    const auto start = std::chrono::steady_clock::now();
    device_->CloseEventLink(EventLink::Cable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(device_->IsEventLinkOpen(EventLink::Cable));
    // Closed links hear nothing.
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    EXPECT_FALSE(host_.WaitForTimers(1, 100ms));
}

TEST_F(UsbDeviceTest, UnplugWhileReadingThenReopenOnTheNewLink) {
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Mouse)));
    bus_->Unplug(Link::Mouse);
    ASSERT_TRUE(clock_.AwaitWaiters(1)) << "the reader saw its interface die and waits to retry";
    bus_->Plug(Link::Mouse);
    // Reopening replaces the dead reader.
    ASSERT_TRUE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Mouse)));
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    EXPECT_TRUE(host_.WaitForTimers(1));
}

TEST_F(UsbDeviceTest, OpeningAnAbsentLinkFailsWithoutAReader) {
    bus_->Unplug(Link::Mouse);
    EXPECT_FALSE(device_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Mouse)));
    EXPECT_FALSE(device_->IsEventLinkOpen(EventLink::Cable));
}

TEST_F(UsbDeviceTest, FrameStreamSendsChangesAndSkipsRepeats) {
    device_->SetLedCount(15);
    OpenCommand(Link::Mouse);
    device_->SetLightInfo(LightInfo{0, 4, 0, 0, 0, 255, 0, 0});
    device_->EffectStatic();
    ASSERT_TRUE(device_->PresentLightFrame());
    EXPECT_EQ(FramesSent(Link::Mouse), 1u);

    // The same colours again: nothing new goes out.
    ASSERT_TRUE(device_->PresentLightFrame());
    EXPECT_EQ(FramesSent(Link::Mouse), 1u);

    device_->SetLightInfo(LightInfo{0, 4, 0, 0, 0, 0, 0, 255});
    device_->EffectStatic();
    ASSERT_TRUE(device_->PresentLightFrame());
    ASSERT_EQ(FramesSent(Link::Mouse), 2u);
    const std::vector<std::uint8_t> frame =
        bus_->Firmware(sim::Product::Mouse).ReadArea(sim::Area::LightFrame);
    ASSERT_GE(frame.size(), 3u);
    EXPECT_EQ(frame[0], 0);
    EXPECT_EQ(frame[2], 255 * 255 / 256);
}

TEST_F(UsbDeviceTest, FramesStayHomeWithoutHostLightingOrOverTheReceiver) {
    device_->SetLedCount(15);
    OpenCommand(Link::MouseReceiver);
    device_->EffectStatic();
    EXPECT_TRUE(device_->PresentLightFrame());
    EXPECT_EQ(FramesSent(Link::MouseReceiver), 0u);

    device_->SetExternalLightControl(false);
    EXPECT_FALSE(device_->PresentLightFrame());
}

TEST_F(UsbDeviceTest, AFailedFrameLeavesTheDeviceAloneForAWhile) {
    device_->SetLedCount(15);
    OpenCommand(Link::Mouse);
    device_->EffectStatic();
    bus_->InjectFault(Link::Mouse, sim::Fault::WriteFailure);
    device_->PresentLightFrame();
    const auto start = std::chrono::steady_clock::now();
    device_->PresentLightFrame();  // still quiet
    EXPECT_EQ(FramesSent(Link::Mouse), 0u);
    // Without blocking the caller.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    ASSERT_TRUE(clock_.Advance(CTessaronUSBDevice::kFrameBackoff - 1ms));
    device_->PresentLightFrame();
    EXPECT_EQ(FramesSent(Link::Mouse), 0u);
    ASSERT_TRUE(clock_.Advance(1ms));
    device_->PresentLightFrame();
    EXPECT_EQ(FramesSent(Link::Mouse), 1u);
}

// A product whose mode 1 is the static effect, counting its steps.
class CountingDevice : public CTessaronUSBDevice {
public:
    using CTessaronUSBDevice::CTessaronUSBDevice;
    ~CountingDevice() override { StopThreads(); }
    std::atomic<int> steps{0};
    std::atomic<int> customPasses{0};

protected:
    EffectStep LightModeStep(int mode) const override {
        return mode == 1 ? static_cast<EffectStep>(&CountingDevice::CountedStatic) : nullptr;
    }
    std::chrono::milliseconds PlayCustomEffects() override {
        ++customPasses;
        return 20ms;
    }

private:
    void CountedStatic() {
        EffectStatic();
        ++steps;
    }
};

TEST_F(UsbDeviceTest, LightThreadStepsAtTheModeSpeedAndWaitsWhileClosed) {
    CountingDevice device(*bus_, clock_);
    device.SetLedCount(15);
    device.SetLightInfo(LightInfo{1, 4, 4, 0, 0, 10, 20, 30});
    device.StartLightThread();
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    ASSERT_TRUE(clock_.Advance(150ms));
    EXPECT_EQ(device.steps.load(), 0) << "no steps while the command channel is closed";

    // The closed channel is looked at again every 100 ms: at 200 ms the steps begin, one
    // every 7 ticks of 2 ms at speed 4.
    device.CommandChannel().SetOpen(true);
    ASSERT_TRUE(clock_.Advance(50ms + 13ms));
    EXPECT_EQ(device.steps.load(), 0);
    ASSERT_TRUE(clock_.Advance(1ms));
    EXPECT_EQ(device.steps.load(), 1);
    EXPECT_EQ(LedColour::Unpack(device.GetLedColour(3)), (LedColour{10, 20, 30, 255}));
    ASSERT_TRUE(clock_.Advance(10 * 14ms));
    EXPECT_EQ(device.steps.load(), 11);

    // Speed 0 takes 28 ticks, from the step after the change on.
    device.SetLightInfo(LightInfo{1, 4, 0, 0, 0, 10, 20, 30});
    ASSERT_TRUE(clock_.Advance(14ms + 56ms - 1ms));
    EXPECT_EQ(device.steps.load(), 12);
    ASSERT_TRUE(clock_.Advance(1ms));
    EXPECT_EQ(device.steps.load(), 13);
    device.StopLightThread();
    EXPECT_FALSE(device.LightThreadRunning());
}

TEST_F(UsbDeviceTest, ModesWithoutAStepPlayTheCustomListAtItsOwnPace) {
    CountingDevice device(*bus_, clock_);
    device.CommandChannel().SetOpen(true);
    device.SetLightInfo(LightInfo{7, 0, 0, 0, 0, 0, 0, 0});
    device.StartLightThread();
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    EXPECT_EQ(device.customPasses.load(), 1) << "the first pass does not wait";
    ASSERT_TRUE(clock_.Advance(200ms));
    device.StopLightThread();
    EXPECT_EQ(device.steps.load(), 0);
    EXPECT_EQ(device.customPasses.load(), 1 + 200 / 20);
}

TEST_F(UsbDeviceTest, CountsAndDataFolders) {
    device_->SetLedCount(15);
    device_->SetLedColour(2, 0xFF102030);
    device_->SetLedCount(15);  // unchanged: colours stay
    EXPECT_EQ(device_->GetLedColour(2), 0xFF102030u);
    device_->SetLedCount(13);
    EXPECT_EQ(device_->GetLedColour(2), 0u);
    EXPECT_EQ(device_->GetLedColour(13), 0u);

    test::TempDir dir;
    device_->SetModelName("mouse");
    device_->SetDataRoots(dir.path().string(), "/opt/res");
    EXPECT_EQ(device_->GetUserDataFolder(), dir.path().string() + "/MORVA TR510 Device/mouse/");
    EXPECT_TRUE(std::filesystem::is_directory(device_->GetUserDataFolder()));
    EXPECT_EQ(device_->GetDefaultProfilePath(), "/opt/res/DefaultData/mouse.Json");

    SupportedInterface record = SupportedInterfaces()[4];
    device_->SetSlotRecord(record);
    EXPECT_EQ(device_->DeviceType(), kDeviceTypeMouse);
    EXPECT_EQ(device_->Role(), kRoleCommand);
}

}  // namespace
}  // namespace morva
