// Makes the device controls buildable from layouts.
#pragma once

namespace morva::ui {

// Registers "DeviceKeyButton" / "CDeviceKeyButtonUI" and "SelectPanel" / "CSelectPanelUI" with
// the control factory; the builder takes a registered class name as a tag. Safe to call again.
void RegisterDeviceControls();

}  // namespace morva::ui
