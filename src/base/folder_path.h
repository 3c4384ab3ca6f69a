// Folder names as the data files are addressed: always ending in '/' so a file name can be
// appended directly (an empty folder stays empty).
#pragma once

#include <string>

namespace morva {

inline std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace morva
