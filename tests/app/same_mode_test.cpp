// The same-mode button in the main window on the four simulated products: every connected
// device takes the current device's effect under its own number, the synchronised lighting
// paints one colour on all their pages and devices, and the button goes when one is left.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <optional>

#include "app/sim_window.h"
#include "base/clock.h"
#include "device/models/mouse_device.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/device_page.h"
#include "ui/panels/light_control.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using namespace std::chrono_literals;
using sim::Link;

constexpr std::array<int, 4> kKinds = {kKindKeyboard, kKindMouse, kKindMousePad, kKindHeadset};

class SameModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim_.lightSyncClock = &clock_;
        ASSERT_TRUE(sim_.Start({Link::Mouse, Link::Keyboard, Link::Pad, Link::Headset}));
        sim_.devices->PollDevicesOnce();
        QCoreApplication::processEvents();
        int due = 0;
        for (int kind : kKinds) {
            ASSERT_NE(Page(kind), nullptr);
            due = std::max(due, sim_.timers.DueIn(Page(kind)->TabEntry(), kEntryTimerStartup));
        }
        sim_.timers.Advance(due);  // every page reads its device
        QCoreApplication::processEvents();
        ASSERT_EQ(sim_.devices->CountConnectedDevices(), 4);
        sim_.devices->LightSync().Start();
        ASSERT_TRUE(clock_.AwaitWaiters(1));
    }

    ui::CDevicePageUI* Page(int kind) const { return sim_.devices->PageOfKind(kind); }
    CTessaronUSBDevice& Model(int kind) const { return Page(kind)->Model(); }
    bool Flagged(int kind) const { return Model(kind).CommandChannel().externalColour; }
    int Stored(int kind) const {
        return ReadJsonFile(Model(kind).GetProfilePath())["Device"][0]["LightInfo"]["SelectItem"]
            .asInt();
    }
    void MakeCurrent(int kind) {
        sim_.devices->ShowDeviceTab(sim_.devices->EntryIndexOfRow(Model(kind).TypeRow()), true,
                                    true);
        ASSERT_EQ(sim_.devices->CurrentDevice(), Page(kind));
    }
    // The current device with its own light change.
    void Prepare(int kind, const LightInfo& light) {
        MakeCurrent(kind);
        ASSERT_TRUE(Model(kind).ChangeLight(light, true).Ok());
    }
    void ClickSameMode(int kind) {
        auto* button = ui::CPaintManagerUI::FindSubControlByName(Page(kind)->LightPanel(),
                                                                 QStringLiteral("deng_same_mode"));
        ASSERT_NE(button, nullptr);
        sim_.Route("click", button);
    }

    CManualClock clock_;
    test::SimWindow sim_;
};

TEST_F(SameModeTest, EveryConnectedDeviceTakesTheEffectUnderItsOwnNumber) {
    struct Case {
        int kind;
        int mode;
        // Keyboard, mouse, pad, headset; none: nothing changes anywhere.
        std::optional<std::array<int, 4>> expected;
    };
    const Case cases[] = {
        {kKindKeyboard, 5, std::array{5, 2, 2, 2}},  // breathing
        {kKindMouse, 6, std::nullopt},               // no synchronised counterpart
        {kKindMousePad, 3, std::array{6, 3, 3, 3}},  // static
        {kKindHeadset, 4, std::array{23, 4, 4, 4}},  // flashing
        {kKindMouse, 1, std::array{4, 1, 1, 1}},     // colour wheel
        {kKindMouse, 9, std::array{28, 9, 8, 8}},    // off
        {kKindKeyboard, 7, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " mode " << c.mode);
        LightInfo light = Model(c.kind).LightState();
        light.selectItem = static_cast<std::uint8_t>(c.mode);
        light.light = 4;
        light.speed = 0;
        light.fx = 1;
        light.red = 40, light.green = 80, light.blue = 120;
        Prepare(c.kind, light);
        std::array<LightInfo, 4> before{};
        std::array<bool, 4> flagsBefore{};
        for (std::size_t i = 0; i < kKinds.size(); ++i) {
            before[i] = Model(kKinds[i]).LightState();
            flagsBefore[i] = Flagged(kKinds[i]);
        }
        const auto mouseSetting =
            sim_.bus->Firmware(sim::Product::Mouse).ReadArea(sim::Area::Setting);

        ClickSameMode(c.kind);
        for (std::size_t i = 0; i < kKinds.size(); ++i) {
            const int kind = kKinds[i];
            SCOPED_TRACE(testing::Message() << "device kind " << kind);
            const LightInfo& now = Model(kind).LightState();
            if (!c.expected) {
                EXPECT_EQ(now, before[i]);
                EXPECT_EQ(Flagged(kind), flagsBefore[i]);
                continue;
            }
            const int mode = (*c.expected)[i];
            EXPECT_TRUE(Flagged(kind));
            EXPECT_EQ(now.selectItem, mode);
            using Values = std::array<std::uint8_t, 6>;
            EXPECT_EQ((Values{now.light, now.speed, now.fx, now.red, now.green, now.blue}),
                      (Values{4, 0, 1, 40, 80, 120}));
            EXPECT_EQ(Page(kind)->LightPanel()->GetMode(), mode);
            EXPECT_EQ(Stored(kind), mode);
        }
        if (!c.expected) {
            EXPECT_EQ(sim_.bus->Firmware(sim::Product::Mouse).ReadArea(sim::Area::Setting),
                      mouseSetting);
        } else {
            auto& mouse = dynamic_cast<CTessaronMouseDevice&>(Model(kKindMouse));
            EXPECT_EQ(sim_.bus->Firmware(sim::Product::Mouse).ReadArea(sim::Area::Setting)[1],
                      mouse.LightModeCode((*c.expected)[1]));
        }
    }
}

TEST_F(SameModeTest, PagesAndDevicesShowOneColourUntilOneDeviceIsLeft) {
    LightInfo light = Model(kKindKeyboard).LightState();
    light.selectItem = 6;  // static
    light.light = 3;
    light.red = 200, light.green = 100, light.blue = 20;
    Prepare(kKindKeyboard, light);
    ClickSameMode(kKindKeyboard);
    ASSERT_TRUE(clock_.Advance(CLightSync::kIdleCheck + 28ms));  // the worker's first step

    // The frame timers carry the colour to the cells and to the devices.
    for (int kind : kKinds)
        ASSERT_TRUE(sim_.FireEntryTimer(Page(kind)->TabEntry(), kEntryTimerFrame));
    const LedColour painted{200, 100, 20, preview::kBrightnessScale[3]};
    for (int kind : kKinds) {
        SCOPED_TRACE(testing::Message() << "device kind " << kind);
        const CTessaronUSBDevice& model = Model(kind);
        ASSERT_GT(model.LedCount(), 0);
        for (int i = 0; i < model.LedCount(); ++i)
            ASSERT_EQ(LedColour::Unpack(model.GetLedColour(i)), painted) << "LED " << i;
        int cells = 0;
        for (const ui::CDeviceKeyButtonUI* cell : Page(kind)->LedControls()) {
            if (cell == nullptr || !cell->IsVisible())
                continue;
            ++cells;
            EXPECT_EQ(cell->GetKeyLightColour(), painted.ButtonColour());
            EXPECT_EQ(cell->GetKeyLightAlpha(), painted.alpha);
        }
        EXPECT_GT(cells, 0);
    }
    const auto scale = [&](int c) { return static_cast<std::uint8_t>(c * painted.alpha / 256); };
    const std::array<std::uint8_t, 3> scaled = {scale(200), scale(100), scale(20)};
    for (sim::Product product : {sim::Product::Mouse, sim::Product::Keyboard, sim::Product::Pad}) {
        const auto frame = sim_.bus->Firmware(product).ReadArea(sim::Area::LightFrame);
        int lit = 0;
        for (std::size_t at = 0; at + 2 < frame.size(); at += 3) {
            const std::array<std::uint8_t, 3> led = {frame[at], frame[at + 1], frame[at + 2]};
            if (led == std::array<std::uint8_t, 3>{})
                continue;  // a position no LED uses
            ++lit;
            EXPECT_EQ(led, scaled) << "product " << static_cast<int>(product) << " at " << at;
        }
        EXPECT_GT(lit, 0) << "product " << static_cast<int>(product);
    }

    // Down to two devices the button stays; down to one it goes, and with it every device's
    // part in the synchronised lighting.
    sim_.bus->Unplug(Link::Pad);
    sim_.bus->Unplug(Link::Headset);
    sim_.devices->PollDevicesOnce();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Flagged(kKindMouse) && Flagged(kKindKeyboard));
    EXPECT_EQ(Page(kKindMouse)->LightPanel()->SameModeAllowed(), 1);
    sim_.bus->Unplug(Link::Keyboard);
    sim_.devices->PollDevicesOnce();
    QCoreApplication::processEvents();
    for (int kind : kKinds) {
        EXPECT_FALSE(Flagged(kind)) << kind;
        EXPECT_EQ(Page(kind)->LightPanel()->SameModeAllowed(), 0) << kind;
    }
}

}  // namespace
}  // namespace morva::app
