// A folder of the fuzzer's own, made at the first call, for the files an input is written
// to: in memory (/dev/shm) where there is one, since the program syncs every file it writes.
#pragma once

#include <unistd.h>

#include <string>

namespace morva::fuzz {

inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        char shm[] = "/dev/shm/morva-fuzz-XXXXXX";
        if (const char* made = mkdtemp(shm))
            return std::string(made) + "/";
        char tmp[] = "/tmp/morva-fuzz-XXXXXX";
        return std::string(mkdtemp(tmp)) + "/";
    }();
    return folder;
}

}  // namespace morva::fuzz
