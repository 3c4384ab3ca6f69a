// Numbered control names ("key_12", "light_3"): the part up to the last '_' and the number
// after it, the rule every page and the notification router share.
#pragma once

#include <string>
#include <string_view>

namespace morva {

struct SplitName {
    std::string prefix;     // up to and including the last '_'
    int index = 0;          // decimal value after it (as atoi reads it); 0 when none
    bool hasIndex = false;  // false for a name without '_'
};

SplitName SplitNameIndex(std::string_view name);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace morva
