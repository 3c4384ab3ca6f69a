#include "device/device_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace morva {
namespace {

TEST(DeviceFolders, UserDataFolderIsCreatedPerModel) {
    test::TempDir dir;
    const std::string local = LocalAppDataFolder(dir.path().string());
    const std::string folder = GetUserDataFolder(local, "mouse");
    EXPECT_EQ(folder, dir.path().string() + "/MORVA TR510 Device/mouse/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    dir.Write("file", "x");  // a file where a folder should be
    EXPECT_EQ(GetUserDataFolder(dir.File("file"), "HD"), "");
    EXPECT_EQ(GetDefaultProfilePath("/opt/res", "MousePad"), "/opt/res/DefaultData/MousePad.Json");
}

TEST(DeviceFolders, FunctionTypesSelectSwitchPages) {
    EXPECT_EQ(FunctionPagesFor(2, 2), (FunctionPages{0, 1}));
    EXPECT_EQ(FunctionPagesFor(8, 1), (FunctionPages{1, -1}));
    EXPECT_EQ(FunctionPagesFor(4, 1), (FunctionPages{3, -1}));
    EXPECT_EQ(FunctionPagesFor(4, 7), (FunctionPages{0, 2}));
    EXPECT_EQ(FunctionPagesFor(5, 3), (FunctionPages{2, -1}));
    EXPECT_EQ(FunctionPagesFor(1, 2), (FunctionPages{0, 0}));
}

}  // namespace
}  // namespace morva
