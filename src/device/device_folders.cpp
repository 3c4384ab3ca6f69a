#include "device/device_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/folder_path.h"

namespace morva {

namespace fs = std::filesystem;

std::string LocalAppDataFolder(const std::string& overrideFolder) {
    if (!overrideFolder.empty())
        return WithSlash(overrideFolder);
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return WithSlash(data);
    const char* home = std::getenv("HOME");
    return WithSlash(std::string(home != nullptr ? home : ".") + "/.local/share");
}

namespace {

std::string CreatedFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec) ? folder : std::string();
}

}  // namespace

std::string GetProgramDataFolder(const std::string& localAppData) {
    return CreatedFolder(WithSlash(localAppData) + "MORVA TR510 Device/");
}

std::string GetUserDataFolder(const std::string& localAppData, const std::string& modelName) {
    return CreatedFolder(WithSlash(localAppData) + "MORVA TR510 Device/" + modelName + "/");
}

std::string GetDefaultDataFolder(const std::string& resourceFolder) {
    return WithSlash(resourceFolder) + "DefaultData/";
}

std::string GetDefaultProfilePath(const std::string& resourceFolder, const std::string& modelName) {
    return GetDefaultDataFolder(resourceFolder) + modelName + ".Json";
}

FunctionPages FunctionPagesFor(int functionType, int deviceType) {
    switch (functionType) {
        case 2:
        case 6:
            return {0, 1};
        case 3:
        case 8:
            return {1, -1};
        case 4:
            if (deviceType == 1 || deviceType == 2)
                return {3, -1};
            return {0, 2};
        case 7:
            return {0, 2};
        case 5:
            return {2, -1};
        default:
            return {0, 0};
    }
}

}  // namespace morva
