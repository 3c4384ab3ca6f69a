// Integers from text, the one way every layer reads them (control names, edits, command
// words, file fields, device paths).
#pragma once

#include <limits>
#include <optional>
#include <string_view>

namespace morva {

// The number the whole text spells in `base`: nothing for an empty text, blanks, a '+',
// a '-' where `min` is not negative, any other character or a value outside [min, max].
std::optional<long long> ParseInt(std::string_view text,
                                  long long min = std::numeric_limits<int>::min(),
                                  long long max = std::numeric_limits<int>::max(), int base = 10);

// As atoi reads: leading blanks, a sign, then the digits that follow; 0 without digits. A
// value outside [min, max], however many digits it has, is held at the nearer end
// (min <= max).
long long ParseLeadingInt(std::string_view text, long long min = std::numeric_limits<int>::min(),
                          long long max = std::numeric_limits<int>::max(), int base = 10);

}  // namespace morva
