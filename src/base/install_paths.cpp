#include "base/install_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace morva {

namespace fs = std::filesystem;

namespace {

// The landmark of a complete data folder; the program cannot start without it.
constexpr char kResourceLandmark[] = "skin/res.xml";
constexpr char kHelperName[] = "morva-audio-capture";

std::string FromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

fs::path ExecutablePath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

// True when `path` lies in `folder` (both made absolute without needing to exist).
bool Inside(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(path, ec);
    if (ec)
        return false;
    const fs::path f = fs::weakly_canonical(folder, ec);
    if (ec || f.empty())
        return false;
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty())  // a trailing separator
            continue;
        if (pi == p.end() || *pi != *fi)
            return false;
    }
    return true;
}

bool InBuildTree() {
    const fs::path self = ExecutablePath();
    return !self.empty() && Inside(self, MORVA_BUILD_DIR);
}

bool IsExecutable(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string ExecutableFolder() {
    return ExecutablePath().parent_path().string();
}

std::string ResourceFolder() {
    if (std::string env = FromEnv("MORVA_RES_DIR"); !env.empty())
        return env;
    const std::string self = ExecutableFolder();
    const fs::path installed = self.empty()
                                   ? fs::path(MORVA_INSTALLED_RES_DIR)
                                   : (fs::path(self) / MORVA_RES_DIR_FROM_BIN).lexically_normal();
    std::error_code ec;
    if (fs::exists(installed / kResourceLandmark, ec))
        return installed.string();
    if (InBuildTree())
        return MORVA_SOURCE_RES_DIR;
    return installed.string();
}

std::string CaptureHelperPath() {
    if (std::string env = FromEnv("MORVA_CAPTURE_HELPER"); !env.empty())
        return env;
    const std::string self = ExecutableFolder();
    if (!self.empty()) {
        for (const fs::path& candidate : {fs::path(self) / MORVA_HELPER_DIR_FROM_BIN / kHelperName,
                                          fs::path(self) / kHelperName}) {
            if (IsExecutable(candidate))
                return candidate.lexically_normal().string();
        }
    }
    if (InBuildTree())
        return MORVA_BUILD_HELPER;
    return (fs::path(MORVA_INSTALLED_HELPER_DIR) / kHelperName).string();
}

}  // namespace morva
