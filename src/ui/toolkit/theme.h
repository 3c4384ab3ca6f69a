// The program's one look: palette, metrics and the application style sheet. Layout colour
// attributes override it per control.
#pragma once

#include <QColor>
#include <QString>

namespace morva::ui::theme {

inline constexpr QRgb kWindow = 0xff15171c;
inline constexpr QRgb kPanel = 0xff1e2128;
inline constexpr QRgb kRaised = 0xff2a2e37;
inline constexpr QRgb kBorder = 0xff343944;
inline constexpr QRgb kText = 0xffe6e8ee;
inline constexpr QRgb kTextSecondary = 0xff8b93a3;
inline constexpr QRgb kAccent = 0xff00a2ff;
inline constexpr QRgb kAccentHover = 0xff33b5ff;
inline constexpr QRgb kAccentPressed = 0xff0082cc;
inline constexpr QRgb kDanger = 0xffff4d5e;
inline constexpr QRgb kSuccess = 0xff2ecc71;

// Layout units.
inline constexpr int kRadius = 6;
inline constexpr int kGrid = 8;
inline constexpr int kBodyFontSize = 14;
inline constexpr int kHeadingFontSize = 20;

// The application style sheet with metrics multiplied by `scale`.
QString StyleSheet(double scale);
// Fusion style, palette, style sheet and default font on the running QApplication.
void Apply();
// Apply() unless it ran already.
void EnsureApplied();
// After a DPI change: the style sheet and default font again, if the theme is applied.
void Reapply();

}  // namespace morva::ui::theme
