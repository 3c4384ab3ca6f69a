// The synchronised lighting's worker: one colour on every device taking part at every step,
// at the pace its speed gives, and devices coming and going while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "device/device_tables.h"
#include "device/models/light_sync.h"
#include "device/models/usb_device.h"
#include "sim/sim_bus.h"

namespace morva {
namespace {

using namespace std::chrono_literals;

int TypeRowOfKind(int kind) {
    for (std::size_t row = 0; row < DeviceTypes().size(); ++row) {
        if (DeviceTypes()[row].kind == kind)
            return static_cast<int>(row);
    }
    return -1;
}

// A device of `kind` with its product's LEDs, open and taking part.
std::unique_ptr<CTessaronUSBDevice> Participant(sim::SimBus& bus, IClock& clock, int kind) {
    auto device = std::make_unique<CTessaronUSBDevice>(bus, clock);
    device->ApplyTypeRow(TypeRowOfKind(kind));
    device->CommandChannel().SetOpen(true);
    device->CommandChannel().externalColour = true;
    return device;
}

// The colour every LED of every device shows; none when they differ.
std::optional<LedColour> OneColour(const std::vector<const CTessaronUSBDevice*>& devices) {
    std::optional<std::uint32_t> seen;
    for (const CTessaronUSBDevice* device : devices) {
        for (int i = 0; i < device->LedCount(); ++i) {
            const std::uint32_t c = device->GetLedColour(i);
            if (seen && *seen != c)
                return std::nullopt;
            seen = c;
        }
    }
    return seen ? std::optional(LedColour::Unpack(*seen)) : std::nullopt;
}

// Polls a condition another thread makes true; false after five seconds.
template <class F>
bool WaitUntil(F&& condition) {
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::yield();
    }
    return true;
}

struct Devices {
    CManualClock clock;
    sim::SimBus bus{sim::SimBusOptions{}};
    std::unique_ptr<CTessaronUSBDevice> mouse = Participant(bus, clock, kKindMouse);
    std::unique_ptr<CTessaronUSBDevice> keyboard = Participant(bus, clock, kKindKeyboard);
    std::vector<const CTessaronUSBDevice*> Both() const { return {mouse.get(), keyboard.get()}; }
};

TEST(LightSyncTest, BreathingIsTheDevicesOwnBreathingOnEveryDeviceAtOnce) {
    for (const std::uint8_t direction : {1, 0}) {
        SCOPED_TRACE(testing::Message() << "direction " << int{direction});
        Devices d;
        // Flagged but closed: not a participant.
        auto closed = Participant(d.bus, d.clock, kKindMousePad);
        closed->CommandChannel().SetOpen(false);
        CLightSync sync(d.clock);
        for (CTessaronUSBDevice* device : {d.mouse.get(), d.keyboard.get(), closed.get()}) {
            device->CommandChannel().externalColour = false;
            sync.AddDevice(*device);
        }
        const LightInfo light{5, 4, 0, direction, 0, 10, 200, 30};
        sync.SetLight(SyncLight::Of(SyncType::Breathing, light));
        sync.Start();
        ASSERT_TRUE(d.clock.AwaitWaiters(1));

        // Without participants the worker looks again once a second.
        d.mouse->CommandChannel().externalColour = true;
        d.keyboard->CommandChannel().externalColour = true;
        closed->CommandChannel().externalColour = true;
        ASSERT_TRUE(d.clock.Advance(CLightSync::kIdleCheck));

        // What a device breathing on its own preview shows, step for step.
        CPreviewEngine reference;
        reference.SetLedCount(1);
        reference.SetLight(PreviewLight{light.selectItem, light.light, light.speed, light.fx,
                                        light.multiColor, light.red, light.green, light.blue});
        LedColour last{};
        std::uint8_t peak = 0;
        for (int step = 0; step < 300; ++step) {
            ASSERT_TRUE(d.clock.Advance(27ms));
            ASSERT_EQ(OneColour(d.Both()), last) << "no step before 28 ms, step " << step;
            ASSERT_TRUE(d.clock.Advance(1ms));
            reference.EffectBreathCycle();
            last = LedColour::Unpack(reference.GetLedColour(0));
            ASSERT_EQ(OneColour(d.Both()), last) << "step " << step;
            peak = std::max(peak, last.alpha);
        }
        EXPECT_GE(peak, 254) << "full brightness at the top of the curve";
        EXPECT_EQ(OneColour({closed.get()}), LedColour{});
    }
}

TEST(LightSyncTest, FlashingTogglesEveryFourteenHundredMillisecondsAtTheFastestSpeed) {
    Devices d;
    CLightSync sync(d.clock);
    sync.AddDevice(*d.mouse);
    sync.AddDevice(*d.keyboard);
    sync.SetLight(SyncLight::Of(SyncType::Flashing, LightInfo{4, 2, 4, 0, 1, 10, 20, 30}));
    sync.Start();
    ASSERT_TRUE(d.clock.AwaitWaiters(1));

    std::vector<IClock::TimePoint> toggles;
    std::vector<LedColour> onColours;
    bool wasOn = false;
    for (int step = 0; step < 6 * 200 + 10; ++step) {
        ASSERT_TRUE(d.clock.Advance(7ms));  // one step every 7 ms at speed 4
        const std::optional<LedColour> c = OneColour(d.Both());
        ASSERT_TRUE(c) << "step " << step;
        const bool on = c->alpha != 0;
        if (on != wasOn || step == 0)
            toggles.push_back(d.clock.Now());
        if (on && !wasOn)
            onColours.push_back(*c);
        if (on) {
            EXPECT_EQ(c->alpha, preview::kBrightnessScale[2]);
        } else {
            EXPECT_EQ(*c, LedColour{});
        }
        wasOn = on;
    }
    ASSERT_EQ(toggles.size(), 7u);
    for (std::size_t i = 1; i < toggles.size(); ++i)
        EXPECT_EQ(toggles[i] - toggles[i - 1], 1400ms) << i;
    // Multicolour: each flash a colour of the wheel, another one each time.
    ASSERT_GE(onColours.size(), 3u);
    const auto& wheel = preview::ColourWheel();
    for (std::size_t i = 0; i < onColours.size(); ++i) {
        const LedColour& c = onColours[i];
        EXPECT_NE(std::find(wheel.begin(), wheel.end(), Rgb{c.c0, c.c1, c.c2}), wheel.end());
        if (i > 0) {
            EXPECT_NE(c, onColours[i - 1]);
        }
    }
}

TEST(LightSyncTest, ADeviceRemovedWhileTheWorkerRunsIsNeverTouchedAgain) {
    Devices d;
    CLightSync sync(d.clock);
    sync.AddDevice(*d.mouse);
    // The colour wheel gives a new colour at every step, one every 7 ms.
    sync.SetLight(SyncLight::Of(SyncType::Wheel, LightInfo{1, 4, 4, 0, 0, 0, 0, 0}));
    sync.Start();
    ASSERT_TRUE(d.clock.AwaitWaiters(1));
    std::jthread driver([&](std::stop_token stop) {
        while (!stop.stop_requested())
            d.clock.Advance(7ms);
    });
    // At least `count` steps seen on the device that stays.
    const auto steps = [&](int count) {
        std::uint32_t seen = d.mouse->GetLedColour(0);
        return WaitUntil([&] {
            const std::uint32_t now = d.mouse->GetLedColour(0);
            if (now != seen) {
                seen = now;
                --count;
            }
            return count <= 0;
        });
    };

    constexpr std::uint32_t kMark = 0x01020304;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        std::vector<std::unique_ptr<CTessaronUSBDevice>> guests;
        for (int kind : {kKindKeyboard, kKindMousePad, kKindHeadset, kKindMouse}) {
            guests.push_back(Participant(d.bus, d.clock, kind));
            sync.AddDevice(*guests.back());
        }
        for (const auto& guest : guests) {
            ASSERT_TRUE(WaitUntil([&] { return guest->GetLedColour(guest->LedCount() - 1) != 0; }))
                << "painted while it takes part";
        }
        for (const auto& guest : guests) {
            sync.RemoveDevice(*guest);
            for (int i = 0; i < guest->LedCount(); ++i)
                guest->SetLedColour(i, kMark);
        }
        ASSERT_TRUE(steps(3));
        for (const auto& guest : guests) {
            for (int i = 0; i < guest->LedCount(); ++i)
                ASSERT_EQ(guest->GetLedColour(i), kMark) << "LED " << i;
        }
        guests.clear();  // gone while the worker goes on
    }
    driver.request_stop();
    driver.join();
}

}  // namespace
}  // namespace morva
