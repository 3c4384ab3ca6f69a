// Messages the program's windows send each other (HandleCustomMessage), within the program.
#pragma once

namespace morva::app {

inline constexpr int kMsgHookEnable = 0x041E;           // wParam 1: key capture on, 0: off
inline constexpr int kMsgSettingProgress = 0x0C00;      // shows "setting_progress"
inline constexpr int kMsgLanguageChanged = 0x0C11;      // wParam: language list position
inline constexpr int kMsgOpenSettingsCentred = 0x0C15;  // the settings window, centred
inline constexpr int kMsgClearUpdateBadge = 0x0C16;     // "setbtn" without its badge
// An outside updater's relay reaching the settings window: wParam code, lParam value.
inline constexpr int kMsgSettingsRelayed = 0x0C20;

}  // namespace morva::app
