// A key or button assignment: type byte and two value bytes. In JSON it is one integer,
// type * 65536 + value1 * 256 + value2.
#pragma once

#include <cstdint>

namespace morva {

struct KeyCode {
    std::uint8_t type = 0;
    std::uint8_t value1 = 0;
    std::uint8_t value2 = 0;

    constexpr std::int32_t Pack() const { return type << 16 | value1 << 8 | value2; }
    static constexpr KeyCode Unpack(std::int64_t packed) {
        return KeyCode{static_cast<std::uint8_t>(packed >> 16 & 0xFF),
                       static_cast<std::uint8_t>(packed >> 8 & 0xFF),
                       static_cast<std::uint8_t>(packed & 0xFF)};
    }
    friend constexpr bool operator==(const KeyCode&, const KeyCode&) = default;
};

}  // namespace morva
