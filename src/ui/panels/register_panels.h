// Makes the panels buildable from layouts.
#pragma once

namespace morva::ui {

// The profile, lighting and key assignment panels and the colour palette, by class name
// ("DeviceProfileUI", "LightControlUI", "KeySetControlUI", "ColorPaletteUI", each also with a
// leading "C"; "ColorPalette"), and the tags "DeviceProfile", "LightControl" and
// "KeySetControl", which stand for the panels' layout files. Safe to call again.
void RegisterPanelControls();

}  // namespace morva::ui
