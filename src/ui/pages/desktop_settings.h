// The desktop's own mouse and keyboard settings, started from a device page.
#pragma once

namespace morva::ui {

// Opens the desktop's own mouse (which 1) or keyboard (which 0) settings with the first known
// settings program that is installed, preferring those of the running desktop; false when
// none is.
bool OpenDesktopSettings(int which);

}  // namespace morva::ui
