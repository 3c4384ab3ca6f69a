// The keyboard's light tables: the key grid and curves the lighting modes share, and the
// tables drawn from the page's key cells (chases, snake, rain, columns, sparkle, script).
#pragma once

#include <array>
#include <cstdint>

namespace morva::kblight {

inline constexpr int kLeds = 170;
// An empty cell of the key tables (255 in the column table).
inline constexpr std::uint8_t kNoKey = 170;
inline constexpr std::uint8_t kNoColumnKey = 255;
inline constexpr int kGridColumns = 23;
inline constexpr int kGridRows = 6;

// Column by column, rows 0..5 (kNoKey where the keyboard has no key).
extern const std::array<std::array<std::uint8_t, kGridRows>, kGridColumns> kKeyGrid;
extern const std::array<std::uint8_t, 192> kPulseCurve;
// Light thread counts between two steps, by speed (modes without an exception).
inline constexpr std::array<int, 5> kStepThreshold = {5, 4, 3, 2, 1};

extern const std::array<std::array<std::uint8_t, 12>, 12> kDiagonalLayout;
extern const std::array<std::uint8_t, 170> kKeyOrder;
extern const std::array<std::uint8_t, 170> kSnakePath;
extern const std::array<std::array<std::uint8_t, 12>, 52> kRainSteps;
extern const std::array<std::array<std::uint8_t, 7>, kGridColumns> kColumnTable;
extern const std::array<std::array<std::uint8_t, kGridRows>, kGridColumns> kFadeStartLevels;
extern const std::array<std::uint8_t, 104> kSparklePicks;
extern const std::array<std::array<std::uint8_t, 6>, 20> kScriptSteps;
extern const std::array<std::array<std::uint8_t, 2>, 16> kScriptPairs;

}  // namespace morva::kblight
