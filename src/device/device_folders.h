// Where a device keeps its files: the user data folder (profiles, macros, settings) under
// the local application data folder, and the factory data shipped with the program.
#pragma once

#include <string>

namespace morva {

// $XDG_DATA_HOME, else ~/.local/share; `overrideFolder` (the --data-dir option) wins.
std::string LocalAppDataFolder(const std::string& overrideFolder = {});

// local app data + "MORVA TR510 Device/": the program's own files, beside the devices'
// folders. Created when missing; empty when it cannot be.
std::string GetProgramDataFolder(const std::string& localAppData);
// In the program data folder: writers from other processes (morvactl's commands, the
// program's clean-up at start) hold it with CFileLock while they change the data.
inline constexpr char kDataLockFileName[] = "data.lock";
// The program data folder + model + "/", both levels created when missing.
// Empty when the folder cannot be created.
std::string GetUserDataFolder(const std::string& localAppData, const std::string& modelName);
// resources + "DefaultData/".
std::string GetDefaultDataFolder(const std::string& resourceFolder);
// The model's factory profile: default data folder + model + ".Json".
std::string GetDefaultProfilePath(const std::string& resourceFolder, const std::string& modelName);

// Pages of the two function switches for a function type: -1 leaves a switch unchanged.
struct FunctionPages {
    int functionSwitch;
    int keyFunctionSwitch;
    friend bool operator==(const FunctionPages&, const FunctionPages&) = default;
};
FunctionPages FunctionPagesFor(int functionType, int deviceType);

}  // namespace morva
