#include "profile/profile_bindings.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;
using Programs = std::vector<std::string>;
constexpr int kMouse = 2;
constexpr int kChanged = CProfileBindings::kChanged;
constexpr int kUnchanged = CProfileBindings::kUnchanged;
constexpr int kRefused = CProfileBindings::kRefused;

class ProfileBindingsTest : public ::testing::Test {
protected:
    ProfileBindingsTest() : folder_(dir_.File("user") + "/") {
        std::filesystem::create_directories(folder_);
        // The device's list, ids "id_<name>"; a hand-edited one can hold an id like "../evil".
        Json::Value list;
        for (const char* id : {"id_A", "id_B", "id_C", "../evil"}) {
            Json::Value& entry = list["profilelist"].append(Json::Value());
            entry["profilename"] = id;
            entry["profileUUID"] = id;
        }
        list["profileselect"] = 0;
        WriteJsonFile(folder_ + "ProfileList.ini", list);
    }
    std::string File() const { return TempDir::Read(folder_ + CProfileBindings::kFileName); }

    TempDir dir_;
    std::string folder_;
};

TEST_F(ProfileBindingsTest, BindMovesAProgramUnbindTakesItAndRefusalsLeaveTheFile) {
    CProfileBindings bindings(folder_);
    enum class Op { Bind, Unbind };
    const std::string longest(kMaxProgramNameLength, 'x');
    std::string wide;  // two bytes a character: the limit counts characters
    for (std::size_t i = 0; i < kMaxProgramNameLength; ++i)
        wide += "\xc3\xa9";
    const struct {
        Op op;
        std::string id, program;
        int result;
        Programs a, b;  // ProgramsOf id_A and id_B afterwards
    } steps[] = {
        {Op::Bind, "id_A", " steam\t", kChanged, {"steam"}, {}},
        {Op::Bind, "id_A", "Firefox", kChanged, {"steam", "Firefox"}, {}},
        {Op::Bind, "id_A", "STEAM", kUnchanged, {"steam", "Firefox"}, {}},
        {Op::Bind, "id_B", "Steam", kChanged, {"Firefox"}, {"Steam"}},
        {Op::Unbind, "", "firefox", kChanged, {}, {"Steam"}},
        {Op::Unbind, "", "firefox", kUnchanged, {}, {"Steam"}},
        {Op::Bind, "id_B", longest, kChanged, {}, {"Steam", longest}},
        {Op::Bind, "id_B", wide, kChanged, {}, {"Steam", longest, wide}},
        {Op::Unbind, "", longest, kChanged, {}, {"Steam", wide}},
        // Refused: nothing is written.
        {Op::Bind, "../id_A", "doom", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "", "doom", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", " \t ", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", "bin/doom", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", "do\nom", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", std::string("do\0om", 5), kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", "do\x7fom", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", "do\xc2\x85om", kRefused, {}, {"Steam", wide}},  // C1 control
        {Op::Bind, "id_A", "do\xffom", kRefused, {}, {"Steam", wide}},      // not UTF-8
        {Op::Bind, "id_A", longest + "x", kRefused, {}, {"Steam", wide}},
        {Op::Bind, "id_A", wide + "x", kRefused, {}, {"Steam", wide}},
        {Op::Unbind, "", "a/Steam", kRefused, {}, {"Steam", wide}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.id + " " + s.program);
        const std::string before = File();
        const int result =
            s.op == Op::Bind ? bindings.Bind(s.id, s.program) : bindings.Unbind(s.program);
        EXPECT_EQ(result, s.result);
        EXPECT_EQ(bindings.ProgramsOf("id_A"), s.a);
        EXPECT_EQ(bindings.ProgramsOf("id_B"), s.b);
        if (s.result != kChanged) {
            EXPECT_EQ(File(), before);
        }
    }
    // The file as other tools read it: id_A's emptied entry is gone.
    const Json::Value file = ReadJsonFile(folder_ + "ProfileBindings.json");
    ASSERT_EQ(file["bindings"].size(), 1u);
    EXPECT_EQ(file["bindings"][0]["profileUUID"], "id_B");
    EXPECT_EQ(file["bindings"][0]["programs"][0], "Steam");

    // A write that fails changes nothing, on disk or as read.
    CProfileBindings failing(folder_, [](const std::string&, const Json::Value&) { return -1; });
    const std::string before = File();
    EXPECT_EQ(failing.Bind("id_A", "Steam"), CProfileBindings::kWriteFailed);
    EXPECT_EQ(failing.Unbind("steam"), CProfileBindings::kWriteFailed);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(bindings.ProgramsOf("id_B"), (Programs{"Steam", wide}));
}

TEST_F(ProfileBindingsTest, AWindowFindsItsProfileByAnyOfItsNamesOfProfilesStillListed) {
    // Written by hand: members and elements the store does not know, an unsafe id.
    dir_.Write("user/ProfileBindings.json", R"({
        "version": 3,
        "bindings": [
            {"profileUUID": "id_A", "programs": ["steam", "Navigator"], "note": "kept"},
            {"profileUUID": "id_B", "programs": ["firefox", 7, "  spaced  "]},
            {"profileUUID": "../evil", "programs": ["evil"]},
            "not a binding"
        ]})");
    CProfileBindings bindings(folder_);
    CProfileListStore list(kMouse, folder_, "");
    using Names = ActiveProgramNames;
    const struct {
        Names names;
        std::optional<std::string> profile;
    } cases[] = {
        {{"", "STEAM", ""}, "id_A"},
        {{"steam", "", ""}, "id_A"},
        {{"", "", "Steam"}, "id_A"},
        {{"navigator", "Firefox", "firefox-esr"}, "id_B"},  // the class before the instance
        {{"navigator", "Nightly", "firefox"}, "id_A"},      // the instance before the executable
        {{"", "", "spaced"}, "id_B"},
        {{"evil", "Evil", "evil"}, std::nullopt},  // its id names no profile file
        {{"stea", "steamx", "team"}, std::nullopt},
        {{"", "", ""}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names.instance + "/" + c.names.windowClass + "/" + c.names.executable);
        EXPECT_EQ(bindings.ProfileFor(c.names, list), c.profile);
    }

    EXPECT_EQ(bindings.Bind("id_C", "navigator"), kChanged);
    EXPECT_EQ(bindings.Unbind("STEAM"), kChanged);
    const Json::Value file = ReadJsonFile(folder_ + CProfileBindings::kFileName);
    EXPECT_EQ(file["version"], 3);
    EXPECT_EQ(file["bindings"][0]["note"], "kept");
    EXPECT_TRUE(file["bindings"][0]["programs"].empty());  // kept for its note
    EXPECT_EQ(file["bindings"][1]["programs"][1], 7);
    EXPECT_EQ(file["bindings"][3], "not a binding");
    EXPECT_EQ(bindings.ProfileFor({"navigator", "", ""}, list), "id_C");

    // A bound profile deleted from the list switches nothing, though its binding stays.
    ASSERT_EQ(bindings.ProfileFor({"", "firefox", ""}, list), "id_B");
    ASSERT_EQ(list.SelectProfile(1), 1);
    ASSERT_EQ(list.DeleteProfile(), 0);
    EXPECT_EQ(bindings.ProfileFor({"", "firefox", ""}, list), std::nullopt);
    EXPECT_EQ(bindings.ProgramsOf("id_B"), (Programs{"firefox", "spaced"}));
}

}  // namespace
}  // namespace morva
