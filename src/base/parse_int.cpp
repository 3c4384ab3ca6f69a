#include "base/parse_int.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>

namespace morva {

std::optional<long long> ParseInt(std::string_view text, long long min, long long max, int base) {
    if (text.empty() || (min >= 0 && text.front() == '-'))
        return std::nullopt;
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || at != end || value < min || value > max)
        return std::nullopt;
    return value;
}

long long ParseLeadingInt(std::string_view text, long long min, long long max, int base) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    unsigned long long magnitude = 0;
    const char* from = text.data() + i;
    const auto [at, ec] = std::from_chars(from, text.data() + text.size(), magnitude, base);
    if (at == from)
        return std::clamp(0LL, min, max);
    constexpr auto kLargest =
        static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    // Too many digits even for the widest type: as far out as a value can be.
    if (ec == std::errc::result_out_of_range || magnitude > kLargest + (negative ? 1 : 0))
        return negative ? min : max;
    const long long value = negative
                                ? (magnitude == 0 ? 0 : -static_cast<long long>(magnitude - 1) - 1)
                                : static_cast<long long>(magnitude);
    return std::clamp(value, min, max);
}

}  // namespace morva
