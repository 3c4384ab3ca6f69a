// Names that data files carry (profile ids, macro and light effect Guids) never lead outside
// the data folder, whatever morvactl, the model loading as at start-up and the stores do.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "device/device_folders.h"
#include "device/key_codes.h"
#include "macro/macro_store.h"
#include "profile/basic_profiledata.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string out, err;
};

class HostileNames : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> words) {
        std::vector<std::string> args{"--simulate", "mouse",      "--sim-state",
                                      state_,       "--data-dir", data_};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }

    // Everything under the test folder but the data folder and the simulator's state: path
    // and bytes of files, and the targets of links.
    std::map<std::string, std::string> Outside() const {
        std::map<std::string, std::string> seen;
        for (auto it = fs::recursive_directory_iterator(dir_.path());
             it != fs::recursive_directory_iterator(); ++it) {
            const std::string path = it->path().string();
            if (path == data_ || path == fs::path(state_).parent_path().string()) {
                it.disable_recursion_pending();
                continue;
            }
            seen[path] = it->is_symlink()        ? "-> " + fs::read_symlink(it->path()).string()
                         : it->is_regular_file() ? test::TempDir::Read(path)
                                                 : "<dir>";
        }
        return seen;
    }

    static std::set<std::string> Names(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    test::TempDir dir_;
    const std::string data_ = dir_.File("data");
    const std::string state_ = dir_.File("state/sim.json");
};

TEST_F(HostileNames, NothingOutsideTheDataFolderIsReadRenamedOrWritten) {
    const std::string user = GetUserDataFolder(data_, "mouse");
    const std::string victim = dir_.File("victim");
    fs::create_directories(victim);
    fs::create_directories(fs::path(state_).parent_path());
    // "a/b" reaches outside only through a link inside the folder.
    fs::create_directory_symlink(victim, user + "a");
    // Unreadable content: a load that took it would keep it as ".bad" and write a new file.
    for (const char* stem : {"victim", "victim/abs", "victim/b"}) {
        for (const char* ext : {".Json", ".mac", ".light"})
            dir_.Write(std::string(stem) + ext, "{ kept");
    }
    const std::string factory = GetDefaultProfilePath(MORVA_SOURCE_RES_DIR, "mouse");

    const std::regex freshProfile(R"(\d{4}(_\d\d){5}_\d{3}\.Json)");
    const std::string hostile[] = {
        "../../../victim", victim + "/abs",          "a/b", "..", ".", "", "x\\y", "ctl\x01id",
        "del\x7fid",       std::string("nul\0id", 6)};
    for (const std::string& id : hostile) {
        SCOPED_TRACE(::testing::PrintToString(id));
        // Profile 0 carries the hostile id and is selected; profile 1 is plain and plays the
        // custom effect named by the light configuration and binds button 0 to macro 0.
        Json::Value list;
        list["profilelist"][0]["profilename"] = "hostile";
        list["profilelist"][0]["profileUUID"] = id;
        list["profilelist"][1]["profilename"] = "plain";
        list["profilelist"][1]["profileUUID"] = "plain";
        list["profileselect"] = 0;
        ASSERT_EQ(WriteJsonFile(user + "ProfileList.ini", list), 0);
        Json::Value plain = ReadJsonFile(factory);
        plain["Device"][0]["LightInfo"]["SelectItem"] = kFirstCustomEffectMode;
        plain["Device"][0]["KeyList"][0]["Assignment"] = kKeyTypeMacro << 16;
        ASSERT_EQ(WriteJsonFile(user + "plain.Json", plain), 0);
        Json::Value macros;
        macros["MacroInfo"][0]["MacroName"] = "m";
        macros["MacroInfo"][0]["Guid"] = id;
        ASSERT_EQ(WriteJsonFile(user + "macro.config", macros), 0);
        Json::Value light;
        for (Json::ArrayIndex kind = 0; kind < 4; ++kind)
            light["LightInfo"][kind][0]["Guid"] = id;
        ASSERT_EQ(WriteJsonFile(user + "kaldo_light.config", light), 0);

        const auto outside = Outside();
        const auto names = Names(user);

        // The model as the program loads it at start-up, a change it saves, and the profile
        // operations a user can ask for.
        EXPECT_EQ(Run({"mouse", "show"}).status, 0);
        CliRun run = Run({"mouse", "dpi", "1", "1600"});
        EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
        for (const std::vector<std::string>& words :
             {std::vector<std::string>{"profile", "mouse", "export", dir_.File("state/out.json")},
              std::vector<std::string>{"profile", "mouse", "reset"}}) {
            run = Run(words);
            EXPECT_EQ(run.status, 1) << words[2];
            EXPECT_NE(run.err.find("cannot name a file"), std::string::npos) << run.err;
        }
        EXPECT_EQ(Run({"profile", "mouse", "copy"}).status, 0);
        EXPECT_EQ(Run({"profile", "mouse", "rename", "renamed"}).status, 0);
        // The plain profile reads the effect and the macro that the hostile Guids name.
        run = Run({"profile", "mouse", "select", "1"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Run({"mouse", "macros"}).status, 0);
        // The macro store's own operations on the hostile Guid.
        CMacroStore store(user);
        store.LoadMacroList();
        EXPECT_TRUE(store.GetMacroEvents(0).empty());
        EXPECT_EQ(store.SaveMacroEvents(0, {MacroEvent{true, 4, 10, 5}}), MacroResult::kUnsafeGuid);
        EXPECT_EQ(store.ExportMacro(0, dir_.File("state/out.mac")), MacroResult::kUnsafeGuid);
        EXPECT_EQ(store.DeleteMacro(0), MacroResult::kOk);
        // Deleting the hostile profile drops its entry only.
        ASSERT_EQ(Run({"profile", "mouse", "select", "0"}).status, 0);
        EXPECT_EQ(Run({"profile", "mouse", "delete"}).status, 0);

        EXPECT_EQ(Outside(), outside);
        for (const std::string& name : Names(user)) {
            EXPECT_TRUE(names.count(name) != 0 || std::regex_match(name, freshProfile))
                << "new in the data folder: " << ::testing::PrintToString(name);
        }
        for (const std::string& name : Names(user)) {
            if (names.count(name) == 0)
                fs::remove(user + name);
        }
    }
}

}  // namespace
}  // namespace morva::cli
