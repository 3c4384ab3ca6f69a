// Makes the custom controls buildable from layouts.
#pragma once

namespace morva::ui {

// Registers every custom control with the control factory under its tag (its class string,
// or "ChartView") and its C++ class name ("CDeviceKeyButtonUI", ...); the builder takes a
// registered name as a tag. Safe to call again.
void RegisterDeviceControls();

}  // namespace morva::ui
