// Makes the page controls buildable from layouts.
#pragma once

namespace morva::ui {

// Registers "DeviceOption" / "CDeviceOptionUI" and "MpDevicePower" / "CMpDevicePowerUI" with
// the control factory, so their layout files may use them as root tags. Safe to call again.
void RegisterPageControls();

}  // namespace morva::ui
