// `morvactl profile`: the list it prints, the files each subcommand leaves, and what reaches
// the simulated mouse.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/device_folders.h"
#include "device/models/mouse_device.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

struct Line {
    std::string index, name, id;
    bool selected = false;
};

// INDEX \t NAME \t ID [\t *]
std::vector<Line> Lines(const std::string& out) {
    std::vector<Line> lines;
    std::istringstream in(out);
    for (std::string text; std::getline(in, text);) {
        std::vector<std::string> fields;
        std::istringstream row(text);
        for (std::string f; std::getline(row, f, '\t');)
            fields.push_back(f);
        EXPECT_TRUE(fields.size() == 3 || (fields.size() == 4 && fields[3] == "*")) << text;
        if (fields.size() >= 3)
            lines.push_back({fields[0], fields[1], fields[2], fields.size() == 4});
    }
    return lines;
}

std::vector<std::string> Names(const std::vector<Line>& lines) {
    std::vector<std::string> names;
    for (const Line& l : lines)
        names.push_back(l.name);
    return names;
}

int Selected(const std::vector<Line>& lines) {
    int found = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].index, std::to_string(i));
        if (lines[i].selected) {
            EXPECT_EQ(found, -1) << "one mark";
            found = static_cast<int>(i);
        }
    }
    return found;
}

class ProfileCli : public ::testing::Test {
protected:
    CliRun Profile(const std::vector<std::string>& words, const std::string& links = "mouse") {
        std::vector<std::string> args{"--simulate", links,        "--sim-state",
                                      state_,       "--data-dir", data_};
        if (links.empty())
            args = {"--simulate", "keyboard", "--data-dir", data_};
        args.emplace_back("profile");
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }
    std::string Folder(const std::string& model) const { return GetUserDataFolder(data_, model); }
    Json::Value ListFile(const std::string& model) const {
        return ReadJsonFile(Folder(model) + "ProfileList.ini");
    }
    std::vector<std::uint8_t> Area(sim::Area area) const {
        sim::SimBus bus({{}, {}, state_});
        return bus.Firmware(sim::Product::Mouse).ReadArea(area);
    }

    test::TempDir dir_;
    std::string data_ = dir_.File("data");
    std::string state_ = dir_.File("sim.state");
};

TEST_F(ProfileCli, ListCreatesTheFirstProfileOnceAndMarksTheSelection) {
    CliRun run = Profile({"mouse", "list"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Line> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, "profile1");
    EXPECT_EQ(Selected(lines), 0);
    EXPECT_TRUE(std::filesystem::exists(Folder("mouse") + lines[0].id + ".Json"));
    run = Profile({"mouse", "list"});
    EXPECT_EQ(Lines(run.out)[0].id, lines[0].id) << "not made again";
}

TEST_F(ProfileCli, EachSubcommandPrintsTheListItLeavesInTheFiles) {
    ASSERT_EQ(Profile({"pad", "list"}, "").status, 0);
    CliRun run = Profile({"pad", "add"}, "");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("not built"), std::string::npos) << run.err;
    run = Profile({"pad", "copy"}, "");
    std::vector<Line> lines = Lines(run.out);
    EXPECT_EQ(Names(lines), (std::vector<std::string>{"profile1", "profile2", "profile2 copy"}));
    EXPECT_EQ(Selected(lines), 1);
    EXPECT_EQ(json::ToInt(json::Get(ListFile("MousePad"), "profileselect")), 1);

    run = Profile({"pad", "rename", "PROFILE1"}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    run = Profile({"pad", "rename", "Race"}, "");
    ASSERT_EQ(run.status, 0) << run.err;
    lines = Lines(run.out);
    EXPECT_EQ(lines[1].name, "Race");
    const Json::Value renamed = ReadJsonFile(Folder("MousePad") + lines[1].id + ".Json");
    EXPECT_EQ(json::ToString(json::Get(renamed, "profilename")), "Race");

    const std::string file = dir_.File("Saved.json");
    ASSERT_EQ(Profile({"pad", "export", file}, "").status, 0);
    EXPECT_EQ(json::ToString(json::Get(ReadJsonFile(file), "profileUUID")), lines[1].id);
    run = Profile({"pad", "import", file}, "");
    ASSERT_EQ(run.status, 0) << run.err;
    lines = Lines(run.out);
    EXPECT_EQ(lines.back().name, "Saved");
    EXPECT_NE(lines.back().id, lines[1].id);
    EXPECT_EQ(Selected(lines), 1);
    EXPECT_EQ(Profile({"pad", "import", dir_.Write("x.json", "{}")}, "").status, 1);

    run = Profile({"pad", "select", "3"}, "");
    EXPECT_EQ(Selected(Lines(run.out)), 3);
    EXPECT_EQ(Profile({"pad", "select", "4"}, "").status, 1);
    const std::string removed = Folder("MousePad") + Lines(run.out)[3].id + ".Json";
    run = Profile({"pad", "delete"}, "");
    lines = Lines(run.out);
    EXPECT_EQ(Names(lines), (std::vector<std::string>{"profile1", "Race", "profile2 copy"}));
    EXPECT_EQ(Selected(lines), 2);
    EXPECT_FALSE(std::filesystem::exists(removed));
}

TEST_F(ProfileCli, CommandsRunAtOnceTakeTurnsAndLoseNothing) {
    ASSERT_EQ(Profile({"mouse", "list"}).status, 0);
    constexpr int kWriters = 2, kAdds = 6;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            int failed = 0;
            for (int n = 0; n < kAdds; ++n)
                failed += Profile({"mouse", "add"}).status != 0;
            _exit(failed);
        }
        ASSERT_GT(pid, 0);
        writers.push_back(pid);
    }
    for (const pid_t pid : writers) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::vector<Line> lines = Lines(Profile({"mouse", "list"}).out);
    EXPECT_EQ(lines.size(), 1u + kWriters * kAdds);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder("mouse")))
        files += entry.path().extension() == ".Json";
    EXPECT_EQ(files, lines.size());
    for (const Line& line : lines)
        EXPECT_TRUE(std::filesystem::exists(Folder("mouse") + line.id + ".Json")) << line.name;
}

TEST_F(ProfileCli, AWriteThatFailsIsReportedWithItsReason) {
    ASSERT_EQ(Profile({"mouse", "list"}).status, 0);
    // Files may not grow past a few bytes (root passes permission checks, not this limit).
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const CliRun run = Profile({"mouse", "add"});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("adding the profile failed ("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::strerror(EFBIG)), std::string::npos) << run.err;
    EXPECT_EQ(Lines(Profile({"mouse", "list"}).out).size(), 1u);
}

TEST_F(ProfileCli, ImportSaysWhyAFileCannotBeTaken) {
    ASSERT_EQ(Profile({"pad", "list"}, "").status, 0);
    const std::string unreadable = dir_.Write("locked.json", R"({"profilename": "a"})");
    std::filesystem::permissions(unreadable, std::filesystem::perms::none);
    const bool root = static_cast<bool>(std::ifstream(unreadable));  // root reads it anyway
    const struct {
        std::string path, says;
    } cases[] = {
        {dir_.File("missing.json"), "does not exist"},
        {dir_.path().string(), "is not a file"},
        {dir_.Write("x.json", "{}"), "is not a profile"},
        {unreadable, root ? "is not a profile" : "cannot read"},
    };
    for (const auto& c : cases) {
        const CliRun run = Profile({"pad", "import", c.path}, "");
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.path;
    }
    EXPECT_EQ(Lines(Profile({"pad", "list"}, "").out).size(), 1u) << "nothing imported";
}

TEST_F(ProfileCli, TheLastProfileStaysAndBadWordsAreUsageErrors) {
    ASSERT_EQ(Profile({"headset", "list"}, "").status, 0);
    const CliRun run = Profile({"headset", "delete"}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(Profile({"headset", "list"}, "").out).size(), 1u);
    EXPECT_EQ(Profile({"tablet", "list"}, "").status, 2);
    EXPECT_EQ(Profile({"mouse", "select", "-1"}, "").status, 2);
    EXPECT_EQ(Profile({"mouse", "rename"}, "").status, 2);
    EXPECT_TRUE(std::filesystem::exists(Folder("HD") + "ProfileList.ini"));
}

TEST_F(ProfileCli, ProgramsBindToTheSelectedProfileAndMoveBetweenProfiles) {
    ASSERT_EQ(Profile({"pad", "add"}, "").status, 0);  // profile2, selected
    CliRun run = Profile({"pad", "bind", "steam"}, "");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "profile2: steam\n");
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(Profile({"pad", "select", "0"}, "").status, 0);
    EXPECT_EQ(Profile({"pad", "bind", " Firefox "}, "").out,
              "profile1: Firefox\nprofile2: steam\n");
    EXPECT_EQ(Profile({"pad", "bind", "STEAM"}, "").out, "profile1: Firefox, STEAM\n");

    const std::string file = Folder("MousePad") + "ProfileBindings.json";
    const std::string kept = test::TempDir::Read(file);
    for (const char* hostile : {"../steam", "a\nb", " "}) {
        run = Profile({"pad", "bind", hostile}, "");
        EXPECT_EQ(run.status, 1) << hostile;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(test::TempDir::Read(file), kept);
    const Json::Value bindings = ReadJsonFile(file)["bindings"];
    ASSERT_EQ(bindings.size(), 1u);
    EXPECT_EQ(json::ToString(bindings[0]["profileUUID"]),
              json::ToString(ListFile("MousePad")["profilelist"][0]["profileUUID"]));

    EXPECT_EQ(Profile({"pad", "bindings"}, "").out, "profile1: Firefox, STEAM\n");
    EXPECT_EQ(Profile({"pad", "unbind", "steam"}, "").out, "profile1: Firefox\n");
    run = Profile({"pad", "unbind", "steam"}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("steam is not bound"), std::string::npos) << run.err;
    EXPECT_EQ(Profile({"pad", "bind"}, "").status, 2);
}

TEST_F(ProfileCli, SelectAndResetSendTheProfileToTheSimulatedMouse) {
    ASSERT_EQ(Profile({"mouse", "add"}).status, 0);
    CliRun run = Profile({"mouse", "list"});
    std::vector<Line> lines = Lines(run.out);
    ASSERT_EQ(Selected(lines), 1);

    // Profile 0 gets its own stage 0 value and button 3.
    const std::string path = Folder("mouse") + lines[0].id + ".Json";
    CMouseProfiledata profile;
    profile.SetDocumentPath(path);
    profile.LoadDocument(path);
    std::vector<DpiStage> stages = profile.ReadDpiStages();
    const int value = stages[0].DpiX() + 3;
    stages[0].SetDpiX(value);
    stages[0].SetDpiY(value);
    profile.WriteDpiStages(stages);
    std::vector<KeyListEntry> keys = CompleteKeyList(profile.ReadKeyList());
    const KeyCode factoryButton = keys[3].assignment.code;
    const KeyCode code{0x30, 0xCD, 0x00};
    ASSERT_NE(code, factoryButton);
    keys[3].assignment.code = code;
    profile.WriteKeyList(keys);
    profile.Save();

    run = Profile({"mouse", "select", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Selected(Lines(run.out)), 0);
    const auto stage0 = [&] {
        const auto setting = Area(sim::Area::Setting);
        return setting[16] | setting[17] << 8;
    };
    EXPECT_EQ(stage0(), value);
    const auto table = Area(sim::Area::KeyTable);
    const auto defaults = Area(sim::Area::DefaultKeyTable);
    // Button 3's position: where the factory table holds its reference code.
    const KeyCode ref = MouseButtonReferences()[3];
    std::size_t at = 0;
    while (3 * at + 2 < defaults.size() &&
           KeyCode{defaults[3 * at], defaults[3 * at + 1], defaults[3 * at + 2]} != ref)
        ++at;
    ASSERT_LT(3 * at + 2, defaults.size());
    EXPECT_EQ((KeyCode{table[3 * at], table[3 * at + 1], table[3 * at + 2]}), code);

    run = Profile({"mouse", "reset"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(stage0(), value - 3);
    const auto after = Area(sim::Area::KeyTable);
    EXPECT_EQ((KeyCode{after[3 * at], after[3 * at + 1], after[3 * at + 2]}), factoryButton);
    EXPECT_EQ(json::ToString(json::Get(ReadJsonFile(path), "profilename")), "profile1");
}

}  // namespace
}  // namespace morva::cli
