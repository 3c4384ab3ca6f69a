// The pad page in the main window on the simulated pad: the drawn pad binds its 15 LED cells,
// which glow in the preview's colours, and the lighting panel's choice ends in the pad's
// record and the profile.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/sim_window.h"
#include "device/models/mousepad_device.h"
#include "sim/sim_bus.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/mousepad_page.h"
#include "ui/panels/light_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;

TEST(MousePadPageTest, LedCellsGlowInThePreviewAndTheLightingPanelReachesThePad) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({Link::Pad}));
    sim.devices->PollDevicesOnce();
    QCoreApplication::processEvents();
    auto* page = dynamic_cast<ui::CMousePadPageUI*>(sim.devices->PageOfKind(kKindMousePad));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(sim.FireEntryTimer(page->TabEntry(), kEntryTimerStartup));
    QCoreApplication::processEvents();
    CTessaronMousePadDevice& pad = page->Pad();
    pad.StopLightThread();  // the test steps the preview itself

    EXPECT_EQ(page->GetClass(), "TessaronMousePadDevice");
    ASSERT_NE(page->SelectPanel(), nullptr);
    EXPECT_EQ(page->SelectPanel()->GetName(), "mousepad_device_key_light");
    ASSERT_EQ(page->LedControls().size(), static_cast<std::size_t>(kPadLeds));
    for (ui::CDeviceKeyButtonUI* cell : page->LedControls())
        ASSERT_NE(cell, nullptr);
    ASSERT_NE(page->LightPanel(), nullptr);
    ASSERT_NE(page->ProfilePanel(), nullptr);

    // Mode 3 (static) chosen in the panel's list.
    auto* modes = dynamic_cast<ui::CComboUI*>(
        ui::CPaintManagerUI::FindSubControlByName(page, QStringLiteral("light_combo_modeSelect")));
    ASSERT_NE(modes, nullptr);
    modes->SelectItem(3, false, false);
    sim.Route("itemselect", modes);
    EXPECT_EQ(pad.LightState().selectItem, 3);
    const auto record = sim.bus->Firmware(Product::Pad).ReadArea(sim::Area::Setting, 0, 2);
    EXPECT_EQ(record[1], pad.LightModeCode(3));
    EXPECT_EQ(pad.Profile().ReadLightInfo().selectItem, 3);

    pad.EffectStatic();
    page->PresentLightFrame();
    const std::vector<LedColour> frame = pad.Engine().Frame();
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(kPadLeds));
    for (int i = 0; i < kPadLeds; ++i) {
        const ui::CDeviceKeyButtonUI* cell = page->LedControls()[static_cast<std::size_t>(i)];
        EXPECT_EQ(cell->GetKeyLightColour(), frame[static_cast<std::size_t>(i)].ButtonColour());
        EXPECT_EQ(cell->GetKeyLightAlpha(), frame[static_cast<std::size_t>(i)].alpha);
    }
    EXPECT_NE(frame[0].alpha, 0) << "static lights the pad";
}

}  // namespace
}  // namespace morva::app
