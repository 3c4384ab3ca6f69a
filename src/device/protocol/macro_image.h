// The device memory form of macros and shoot patterns: a header, an offset table and one
// block of 4-byte events per entry, all little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace morva {

// Delay low, delay high, type (bit 7 set for a press), button or key code.
using ImageEvent = std::array<std::uint8_t, 4>;

inline constexpr std::size_t kImageHeaderSize = 16;

// Total length of the image for these entries: 16 + 6 per entry + 4 per event.
std::size_t MacroImageLength(const std::vector<std::vector<ImageEvent>>& entries);

// The image, or nothing when its length or an entry's event count does not fit 16 bits
// (lengths and offsets would wrap).
std::optional<std::vector<std::uint8_t>> BuildMacroImage(
    const std::vector<std::vector<ImageEvent>>& entries);

}  // namespace morva
