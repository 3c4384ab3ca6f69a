#include "base/name_index.h"

#include <cctype>

#include "base/parse_int.h"

namespace morva {

SplitName SplitNameIndex(std::string_view name) {
    SplitName split;
    const std::size_t at = name.rfind('_');
    if (at == std::string_view::npos) {
        split.prefix = std::string(name);
        return split;
    }
    split.hasIndex = true;
    split.prefix = std::string(name.substr(0, at + 1));
    split.index = static_cast<int>(ParseLeadingInt(name.substr(at + 1)));
    return split;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace morva
