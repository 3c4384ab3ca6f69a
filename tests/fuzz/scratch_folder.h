// A folder of the fuzzer's own under /tmp, made at the first call, for the files an input
// is written to.
#pragma once

#include <unistd.h>

#include <string>

namespace morva::fuzz {

inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/morva-fuzz-XXXXXX";
        return std::string(mkdtemp(name)) + "/";
    }();
    return folder;
}

}  // namespace morva::fuzz
