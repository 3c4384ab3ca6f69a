#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "device/device_folders.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "profile/mouse_profiledata.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class MacroCli : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& words) {
        std::vector<std::string> args{"--simulate", "mouse",      "--sim-state",
                                      state_,       "--data-dir", data_};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }
    std::string Folder() const { return GetUserDataFolder(data_, "mouse"); }
    // The profile file of list row `row`, from `profile mouse list` ("N\tNAME\tID...").
    std::string ProfileFile(int row) {
        std::istringstream lines(Run({"profile", "mouse", "list"}).out);
        std::string line;
        for (int i = 0; std::getline(lines, line); ++i) {
            if (i == row) {
                std::istringstream fields(line);
                std::string index, name, id;
                fields >> index >> name >> id;
                return Folder() + id + ".Json";
            }
        }
        ADD_FAILURE() << "no profile " << row;
        return {};
    }
    // The macro (list index) button 3 of a profile file is bound to, or -1.
    int BoundMacro(const std::string& path, int button) {
        CMouseProfiledata profile;
        profile.SetDocumentPath(path);
        profile.LoadDocument(path);
        const std::vector<KeyListEntry> keys = profile.ReadKeyList();
        if (static_cast<std::size_t>(button) >= keys.size()) {
            ADD_FAILURE() << "no button " << button << " in " << path;
            return -2;
        }
        const KeyCode code = keys[static_cast<std::size_t>(button)].assignment.code;
        return code.type == 0x70 ? code.value1 : -1;
    }

    test::TempDir dir_;
    const std::string state_ = dir_.File("sim.json");
    const std::string data_ = dir_.File("data");
};

TEST_F(MacroCli, ImportListShowAndExportKeepTheFile) {
    const std::string file = dir_.File("in.mac");
    std::ofstream(file) << R"({"MacroName":"x","Guid":"g","Version":64,"Events":[
        {"Action":"down","Button":4,"Type":10,"Delay":"30"},
        {"Action":"up","Button":16,"Type":1,"Delay":"0"}]})";
    CliRun run = Run({"macro", "import", file});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "imported macro_1\n");
    EXPECT_EQ(Run({"macro", "list"}).out, "0 macro_1\n");
    EXPECT_EQ(Run({"macro", "show", "macro_1"}).out,
              "down type 10 button 4 delay 30 keyboard_key_A\n"
              "up type 1 button 16 delay 0 mouse_key_forward\n");
    const std::string back = dir_.File("out.mac");
    ASSERT_EQ(Run({"macro", "export", "macro_1", back}).status, 0);
    EXPECT_EQ(ReadAll(back), ReadAll(file));

    std::ofstream(dir_.File("bad.mac")) << "not json";
    run = Run({"macro", "import", dir_.File("bad.mac")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a macro file"), std::string::npos) << run.err;
    EXPECT_EQ(Run({"macro", "show", "nope"}).status, 1);
    EXPECT_EQ(Run({"macro", "rename"}).status, 2);
}

TEST_F(MacroCli, DeleteRenumbersTheKeysOfEveryProfileAndRewritesTheDevice) {
    ASSERT_EQ(Run({"profile", "mouse", "list"}).status, 0);
    CMacroStore store(Folder());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(store.AddMacro(), MacroResult::kOk);
        ASSERT_EQ(store.SaveMacroEvents(i, {{true, 4 + i, macro_type::kKey, 10}}),
                  MacroResult::kOk);
    }
    // Macros by list index. Profile 2 binds button 3 to macro 2 and button 4 to macro 1;
    // profile 1, the current one afterwards, binds button 3 to macro 1 and 4 to macro 2.
    ASSERT_EQ(Run({"profile", "mouse", "add"}).status, 0);
    ASSERT_EQ(Run({"mouse", "button", "3", "700200"}).status, 0);
    ASSERT_EQ(Run({"mouse", "button", "4", "700100"}).status, 0);
    ASSERT_EQ(Run({"profile", "mouse", "select", "0"}).status, 0);
    ASSERT_EQ(Run({"mouse", "button", "3", "700100"}).status, 0);
    ASSERT_EQ(Run({"mouse", "button", "4", "700200"}).status, 0);

    CliRun run = Run({"macro", "delete", "macro_2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Run({"macro", "list"}).out, "0 macro_1\n1 macro_3\n");
    EXPECT_EQ(BoundMacro(ProfileFile(1), 3), 1) << "macro 2 is now number 1";
    EXPECT_EQ(BoundMacro(ProfileFile(1), 4), -1) << "the deleted macro's key";
    EXPECT_EQ(BoundMacro(ProfileFile(0), 3), -1);
    EXPECT_EQ(BoundMacro(ProfileFile(0), 4), 1);

    // The mouse's macro memory holds the one macro the current keys still use, the former
    // macro 2, in its first slot.
    sim::SimBus bus({{}, {}, state_});
    const auto memory = bus.Firmware(sim::Product::Mouse).ReadArea(sim::Area::Macro);
    const auto image = BuildMacroImage({{ToDeviceMacroEvent({true, 6, macro_type::kKey, 10})}});
    ASSERT_TRUE(image.has_value());
    ASSERT_GE(memory.size(), image->size());
    EXPECT_TRUE(std::equal(image->begin(), image->end(), memory.begin()));
}

}  // namespace
}  // namespace morva::cli
