#include "profile/profile_list_store.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "profile/json_access.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

constexpr int kMouse = 2;
constexpr int kHeadset = CProfileListStore::kHeadsetType;

Json::Value Parse(const std::string& text) {
    Json::Value v;
    Json::Reader().parse(text, v);
    return v;
}

class ProfileListStoreTest : public ::testing::Test {
protected:
    ProfileListStoreTest()
        : folder_(dir_.File("user") + "/"),
          defaultPath_(dir_.File("mouse.Json")),
          default_(Parse(R"({"Device":[{"LightInfo":{"Light":3},
                            "CustomEQNameInfo":["flat"],"CustomEQHzValueInfo":[0]}]})")) {
        fs::create_directories(folder_);
        WriteJsonFile(defaultPath_, default_);
    }

    CProfileListStore Open(int type = kMouse, CProfileListStore::JsonWriter writer = {}) {
        CProfileListStore store(type, folder_, defaultPath_, std::move(writer));
        EXPECT_EQ(store.InitProfileList(), 0);
        return store;
    }

    // Entries named `names` with ids "id_<name>", each with a profile file tagged with its name.
    void Seed(std::initializer_list<std::string> names, int select) {
        Json::Value list;
        for (const std::string& name : names) {
            Json::Value& entry = list["profilelist"].append(Json::Value());
            entry["profilename"] = name;
            entry["profileUUID"] = "id_" + name;
            Json::Value profile;
            profile["Device"][0]["Tag"] = name;
            profile["profilename"] = name;
            profile["profileUUID"] = "id_" + name;
            WriteJsonFile(folder_ + "id_" + name + ".Json", profile);
        }
        list["profileselect"] = select;
        WriteJsonFile(ListPath(), list);
    }

    std::string ListPath() const { return folder_ + "ProfileList.ini"; }
    Json::Value List() const { return ReadJsonFile(ListPath()); }
    std::vector<std::string> ListNames() const {
        const Json::Value list = List();
        std::vector<std::string> names;
        for (const Json::Value& e : list["profilelist"])
            names.push_back(json::ToString(json::Get(e, "profilename")));
        return names;
    }
    static std::vector<std::string> Names(const CProfileListStore& store) {
        std::vector<std::string> names;
        for (const ProfileEntry& e : store.Entries())
            names.push_back(e.name);
        return names;
    }
    std::set<std::string> ProfileFiles() const {
        std::set<std::string> files;
        for (const auto& f : fs::directory_iterator(folder_)) {
            if (f.path().extension() == ".Json")
                files.insert(f.path().filename().string());
        }
        return files;
    }
    static Json::Value WithNames(Json::Value profile, const std::string& name,
                                 const std::string& id) {
        profile["profilename"] = name;
        profile["profileUUID"] = id;
        return profile;
    }
    Json::Value ProfileAt(const CProfileListStore& store, int index) const {
        return ReadJsonFile(store.GetProfilePathAt(index));
    }

    TempDir dir_;
    std::string folder_;
    std::string defaultPath_;
    Json::Value default_;
};

TEST_F(ProfileListStoreTest, FirstStartCreatesProfile1FromTheDefault) {
    std::string folder = folder_;
    folder.pop_back();  // callers may pass the folder without its trailing slash
    CProfileListStore store(kMouse, folder, defaultPath_);
    ASSERT_EQ(store.InitProfileList(), 0);

    const Json::Value list = List();
    ASSERT_EQ(list["profilelist"].size(), 1u);
    const Json::Value& entry = list["profilelist"][0];
    const std::string id = entry["profileUUID"].asString();
    EXPECT_EQ(entry["profilename"], "profile1");
    EXPECT_EQ(entry["profileislink"], 0);
    EXPECT_EQ(entry["profilelinkmame"], "");
    EXPECT_EQ(list["profileselect"], 0);

    EXPECT_EQ(store.GetSelectedIndex(), 0);
    EXPECT_EQ(store.GetCurrentProfileId(), id);
    EXPECT_EQ(store.GetCurrentProfilePath(), folder_ + id + ".Json");
    EXPECT_EQ(ReadJsonFile(folder_ + id + ".Json"), WithNames(default_, "profile1", id));

    // The next start keeps it.
    CProfileListStore again = Open();
    EXPECT_EQ(again.GetCurrentProfileId(), id);
    EXPECT_EQ(again.GetProfileCount(), 1);
}

TEST_F(ProfileListStoreTest, UnusableListFileStartsOver) {
    for (const char* text :
         {"[1,2]", R"({"profilelist":"x"})", R"({"profilelist":[]})", "{bad", ""}) {
        SCOPED_TRACE(text);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        dir_.Write("user/ProfileList.ini", text);
        CProfileListStore store = Open();
        EXPECT_EQ(ListNames(), std::vector<std::string>{"profile1"});
        EXPECT_EQ(ProfileFiles().size(), 1u);
        EXPECT_EQ(store.GetSelectedIndex(), 0);
    }
}

// What killed operations leave: a profile file the list does not name, or no list at all.
TEST_F(ProfileListStoreTest, UnlistedProfileFilesGoAndALostListIsMadeFromTheFilesLeft) {
    Seed({"A", "B"}, 1);
    Json::Value unlisted = WithNames(default_, "C", "id_C");
    ASSERT_EQ(WriteJsonFile(folder_ + "id_C.Json", unlisted), 0);
    // Not profile files of this folder: no id, or another file's id.
    ASSERT_EQ(WriteJsonFile(folder_ + "light.Json", default_), 0);
    ASSERT_EQ(WriteJsonFile(folder_ + "id_D.Json", WithNames(default_, "D", "id_A")), 0);
    const std::set<std::string> kept{"id_A.Json", "id_B.Json", "light.Json", "id_D.Json"};

    EXPECT_EQ(RemoveUnlistedProfiles(folder_), 1);
    EXPECT_EQ(ProfileFiles(), kept);

    fs::remove(ListPath());
    EXPECT_EQ(RemoveUnlistedProfiles(folder_), 0) << "without a list nothing is unlisted";
    ASSERT_EQ(WriteJsonFile(folder_ + "id_C.Json", unlisted), 0);
    CProfileListStore store = Open();
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(store.GetCurrentProfileId(), "id_A");
    EXPECT_EQ(ProfileFiles().size(), kept.size() + 1) << "nothing new was made";
}

TEST_F(ProfileListStoreTest, InitAndSelectKeepTheSelectionInRange) {
    Seed({"A", "B", "C"}, 2);
    EXPECT_EQ(Open().GetCurrentProfileId(), "id_C");

    for (const char* stored : {"7", "-1", "\"2\""}) {
        SCOPED_TRACE(stored);
        Json::Value list = List();
        list["profileselect"] = Parse(std::string("[") + stored + "]")[0];
        WriteJsonFile(ListPath(), list);
        CProfileListStore store = Open();
        EXPECT_EQ(store.GetSelectedIndex(), 0);
        EXPECT_EQ(List()["profileselect"], 0);
    }

    CProfileListStore store = Open();
    EXPECT_EQ(store.SelectProfile(1), 1);
    EXPECT_EQ(store.GetCurrentProfileId(), "id_B");
    EXPECT_EQ(List()["profileselect"], 1);
    EXPECT_EQ(store.SelectProfile(3), -1);
    EXPECT_EQ(store.SelectProfile(-1), -1);
    EXPECT_EQ(store.GetSelectedIndex(), 1);
    EXPECT_EQ(List()["profileselect"], 1);
}

TEST_F(ProfileListStoreTest, AddTakesTheSmallestFreeNameAndSelectsIt) {
    Seed({"profile1", "Profile2", "PROFILE4"}, 0);
    CProfileListStore store = Open();

    EXPECT_EQ(store.AddProfile(), 3);
    EXPECT_EQ(store.AddProfile(), 4);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"profile1", "Profile2", "PROFILE4", "profile3",
                                                     "profile5"}));
    EXPECT_EQ(Names(store), ListNames());

    const std::string id = List()["profilelist"][4]["profileUUID"].asString();
    EXPECT_EQ(store.GetSelectedIndex(), 4);
    EXPECT_EQ(store.GetCurrentProfileId(), id);
    EXPECT_EQ(List()["profileselect"], 4);
    EXPECT_EQ(List()["profilelist"][4]["profileislink"], 0);
    EXPECT_EQ(List()["profilelist"][4]["profilelinkmame"], "");
    EXPECT_EQ(ProfileAt(store, 4), WithNames(default_, "profile5", id));
}

TEST_F(ProfileListStoreTest, FiftyProfilesStopAddButNotCopyOrImport) {
    Json::Value list;
    for (int i = 0; i < CProfileListStore::kMaxAddedProfiles; ++i) {
        list["profilelist"][i]["profilename"] = "p" + std::to_string(i);
        list["profilelist"][i]["profileUUID"] = "id" + std::to_string(i);
    }
    list["profileselect"] = 0;
    WriteJsonFile(ListPath(), list);
    const std::string gaming =
        dir_.Write("Gaming.json", R"({"profilename":"g","profileUUID":"u"})");
    CProfileListStore store = Open();

    EXPECT_EQ(store.AddProfile(), -1);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(store.CopyProfile(), 50);
    EXPECT_EQ(store.ImportProfile(gaming), 51);
    EXPECT_EQ(store.AddProfile(), -1);
    EXPECT_EQ(store.GetProfileCount(), 52);
}

TEST_F(ProfileListStoreTest, DeleteSelectsTheEntryBeforeTheRemovedOne) {
    Seed({"A", "B", "C", "D"}, 0);
    CProfileListStore store = Open();

    EXPECT_EQ(store.DeleteProfile(), 0);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(store.GetCurrentProfileId(), "id_B");
    EXPECT_EQ(List()["profileselect"], 0);
    EXPECT_FALSE(fs::exists(folder_ + "id_A.Json"));

    store.SelectProfile(2);
    EXPECT_EQ(store.DeleteProfile(), 1);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(store.GetSelectedIndex(), 1);
    EXPECT_EQ(store.GetCurrentProfileId(), "id_C");
    EXPECT_EQ(List()["profileselect"], 1);

    fs::remove(folder_ + "id_C.Json");  // a file already gone still lets the entry go
    EXPECT_EQ(store.DeleteProfile(), 0);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"B"});

    EXPECT_EQ(store.DeleteProfile(), -1);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"B"});
    EXPECT_TRUE(fs::exists(folder_ + "id_B.Json"));
}

TEST_F(ProfileListStoreTest, TwoEntriesNamingOneFileGetAFileEachAndDeleteKeepsTheOther) {
    Seed({"a", "b"}, 0);
    Json::Value list = ReadJsonFile(folder_ + "ProfileList.ini");
    list["profilelist"][1]["profileUUID"] = "id_a";
    WriteJsonFile(folder_ + "ProfileList.ini", list);

    // The copy cannot be written: both keep the one file, and deleting one keeps it too.
    {
        int writes = 0;
        CProfileListStore failing(kMouse, folder_, defaultPath_,
                                  [&](const std::string& path, const Json::Value& value) {
                                      return ++writes == 1 ? -1 : WriteJsonFile(path, value);
                                  });
        EXPECT_EQ(failing.InitProfileList(), -1);
        EXPECT_EQ(failing.GetSelectedIndex(), 0);
        ASSERT_EQ(failing.DeleteProfile(), 0);
        EXPECT_TRUE(fs::exists(folder_ + "id_a.Json"));
        WriteJsonFile(folder_ + "ProfileList.ini", list);
    }

    CProfileListStore store = Open();
    const std::vector<ProfileEntry>& entries = store.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].id, "id_a");
    EXPECT_NE(entries[1].id, "id_a");
    const Json::Value copy = ReadJsonFile(store.GetProfilePathAt(1));
    EXPECT_EQ(copy["Device"][0]["Tag"], "a");
    EXPECT_EQ(copy["profilename"], "b");
    EXPECT_EQ(copy["profileUUID"], entries[1].id);
    ASSERT_EQ(store.SelectProfile(1), 1);
    ASSERT_EQ(store.DeleteProfile(), 0);
    EXPECT_TRUE(fs::exists(folder_ + "id_a.Json"));
    EXPECT_EQ(ReadJsonFile(folder_ + "id_a.Json")["Device"][0]["Tag"], "a");
}

TEST_F(ProfileListStoreTest, RenameRefusesBlankAndTakenNames) {
    Seed({"A", "B"}, 0);
    CProfileListStore store = Open();

    EXPECT_EQ(store.RenameProfile("  "), 2);
    EXPECT_EQ(store.RenameProfile("b"), 0);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"A", "B"}));

    EXPECT_EQ(store.RenameProfile("a"), 1);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"a", "B"}));
    EXPECT_EQ(Names(store), ListNames());
    const Json::Value profile = ProfileAt(store, 0);
    EXPECT_EQ(profile["profilename"], "a");
    EXPECT_EQ(profile["Device"][0]["Tag"], "A");
}

TEST_F(ProfileListStoreTest, ImportNamesTheProfileAfterItsFile) {
    Seed({"A"}, 0);
    CProfileListStore store = Open();
    const std::string gaming = dir_.Write(
        "Gaming.json", R"({"Device":[{"Tag":"g"}],"profilename":"x","profileUUID":"y"})");

    EXPECT_EQ(store.ImportProfile(gaming), 1);
    EXPECT_EQ(store.ImportProfile(gaming), 2);
    EXPECT_EQ(store.ImportProfile(gaming), 3);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"A", "Gaming", "Gaming(1)", "Gaming(1)(2)"}));
    EXPECT_EQ(store.GetSelectedIndex(), 0);
    EXPECT_EQ(List()["profileselect"], 0);
    const std::string id = List()["profilelist"][3]["profileUUID"].asString();
    EXPECT_EQ(ProfileAt(store, 3), WithNames(ReadJsonFile(gaming), "Gaming(1)(2)", id));

    const Json::Value before = List();
    const auto files = ProfileFiles();
    for (const std::string& bad :
         {dir_.Write("NoId.json", R"({"profilename":"x"})"),
          dir_.Write("Array.json", R"([{"profilename":"x","profileUUID":"y"}])"),
          dir_.File("Missing.json")}) {
        EXPECT_EQ(store.ImportProfile(bad), -1) << bad;
    }
    EXPECT_EQ(List(), before);
    EXPECT_EQ(ProfileFiles(), files);
}

TEST_F(ProfileListStoreTest, CopyAddsCopyUntilTheNameIsFree) {
    Seed({"A", "a copy"}, 0);
    CProfileListStore store = Open();

    EXPECT_EQ(store.CopyProfile(), 2);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"A", "a copy", "A copy copy"}));
    EXPECT_EQ(store.GetCurrentProfileId(), "id_A");
    EXPECT_EQ(List()["profileselect"], 0);
    const std::string id = List()["profilelist"][2]["profileUUID"].asString();
    EXPECT_EQ(ProfileAt(store, 2),
              WithNames(ReadJsonFile(folder_ + "id_A.Json"), "A copy copy", id));
}

TEST_F(ProfileListStoreTest, ResetKeepsCustomEqualisersOnlyOnAHeadset) {
    Seed({"A"}, 0);
    const Json::Value old = Parse(R"({"Device":[{"LightInfo":{"Light":9},
        "CustomEQNameInfo":["mine"],"CustomEQHzValueInfo":[5]}],"Stale":1})");
    const std::string path = folder_ + "id_A.Json";

    for (int type : {kHeadset, kMouse}) {
        SCOPED_TRACE(type);
        WriteJsonFile(path, old);
        CProfileListStore store = Open(type);
        EXPECT_EQ(store.ResetProfile(), 0);
        Json::Value expected = WithNames(default_, "A", "id_A");
        if (type == kHeadset) {
            expected["Device"][0]["CustomEQNameInfo"] = old["Device"][0]["CustomEQNameInfo"];
            expected["Device"][0]["CustomEQHzValueInfo"] = old["Device"][0]["CustomEQHzValueInfo"];
        }
        EXPECT_EQ(ReadJsonFile(path), expected);
    }

    // Nothing to keep: the headset gets the factory equalisers.
    fs::remove(path);
    EXPECT_EQ(Open(kHeadset).ResetProfile(), 0);
    EXPECT_EQ(ReadJsonFile(path), WithNames(default_, "A", "id_A"));
}

TEST_F(ProfileListStoreTest, ExportWritesTheSelectedProfile) {
    Seed({"A", "B"}, 1);
    CProfileListStore store = Open();
    const std::string out = dir_.File("out.json");

    EXPECT_EQ(store.ExportProfile(out), 0);
    EXPECT_EQ(ReadJsonFile(out), ReadJsonFile(folder_ + "id_B.Json"));
    EXPECT_EQ(ReadJsonFile(out)["profilename"], "B");

    fs::remove(folder_ + "id_B.Json");
    EXPECT_EQ(store.ExportProfile(dir_.File("out2.json")), -1);
    EXPECT_FALSE(fs::exists(dir_.File("out2.json")));
}

TEST_F(ProfileListStoreTest, UnsafeIdsNeverReachFilesOutsideTheFolder) {
    Seed({"ok"}, 0);
    Json::Value list = List();
    list["profilelist"].insert(0, Parse(R"({"profilename":"evil","profileUUID":"../evil"})"));
    WriteJsonFile(ListPath(), list);
    const std::string outside = dir_.Write("evil.Json", R"({"keep":1})");
    CProfileListStore store = Open();

    EXPECT_EQ(store.GetSelectedIndex(), 0);
    EXPECT_EQ(store.GetCurrentProfilePath(), "");
    EXPECT_EQ(store.GetProfilePathAt(0), "");
    EXPECT_EQ(store.GetProfilePathAt(1), folder_ + "id_ok.Json");
    EXPECT_EQ(store.GetProfilePathAt(2), "");
    EXPECT_EQ(store.ExportProfile(dir_.File("out.json")), -1);
    EXPECT_EQ(store.ResetProfile(), -1);
    EXPECT_EQ(store.RenameProfile("renamed"), 1);
    EXPECT_EQ(store.CopyProfile(), 2);
    EXPECT_EQ(ProfileAt(store, 2).getMemberNames().size(), 2u) << "nothing read from outside";
    EXPECT_EQ(store.DeleteProfile(), 0);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"ok", "renamed copy"}));
    EXPECT_EQ(TempDir::Read(outside), R"({"keep":1})");
}

TEST_F(ProfileListStoreTest, MissingDefaultProfileGivesNameOnlyProfiles) {
    CProfileListStore store(kMouse, folder_, dir_.File("none.Json"));
    ASSERT_EQ(store.InitProfileList(), 0);
    ASSERT_EQ(store.AddProfile(), 1);
    ASSERT_EQ(store.ResetProfile(), 0);
    for (int i = 0; i < 2; ++i) {
        const ProfileEntry& e = store.Entries()[i];
        EXPECT_EQ(ProfileAt(store, i), WithNames(Json::Value(Json::objectValue), e.name, e.id));
    }
}

TEST_F(ProfileListStoreTest, WrongTypedListContentNeverThrows) {
    dir_.Write("user/ProfileList.ini",
               R"({"profilelist":[5,"x",{"profilename":7},{"profilename":"A","profileUUID":"id_A"}],
                   "profileselect":"3"})");
    CProfileListStore store = Open();
    EXPECT_EQ(store.GetSelectedIndex(), 0);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"", "", "", "A"}));
    EXPECT_EQ(store.GetCurrentProfileId(), "");
    EXPECT_EQ(store.RenameProfile("named"), 1);
    EXPECT_EQ(store.CopyProfile(), 4);
    EXPECT_EQ(store.AddProfile(), 5);
    EXPECT_EQ(store.SelectProfile(3), 3);
    EXPECT_EQ(store.DeleteProfile(), 2);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"named", "", "", "named copy", "profile1"}));
}

TEST_F(ProfileListStoreTest, FailedWritesLeaveFilesAndSelectionAsTheyWere) {
    std::string failing;  // paths ending like this cannot be written
    auto writer = [&failing](const std::string& path, const Json::Value& value) {
        const bool fail = !failing.empty() && path.ends_with(failing);
        return fail ? -1 : WriteJsonFile(path, value);
    };
    Seed({"A", "B"}, 0);
    dir_.Write("Gaming.json", R"({"profilename":"g","profileUUID":"u"})");
    CProfileListStore store = Open(kMouse, writer);
    const Json::Value list = List();
    const auto files = ProfileFiles();

    for (const char* suffix : {"ProfileList.ini", ".Json"}) {
        SCOPED_TRACE(suffix);
        failing = suffix;
        EXPECT_EQ(store.AddProfile(), -1);
        EXPECT_EQ(store.CopyProfile(), -1);
        EXPECT_EQ(store.ImportProfile(dir_.File("Gaming.json")), -1);
        EXPECT_EQ(store.RenameProfile("Z"), -1);
        EXPECT_EQ(List(), list);
        EXPECT_EQ(ProfileFiles(), files);
        EXPECT_EQ(store.GetCurrentProfileId(), "id_A");
    }
    EXPECT_EQ(store.ResetProfile(), -1);
    EXPECT_EQ(store.ExportProfile(dir_.File("out.Json")), -1);

    failing = "ProfileList.ini";
    EXPECT_EQ(store.SelectProfile(1), -1);
    EXPECT_EQ(store.DeleteProfile(), -1);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(ProfileFiles(), files);
    EXPECT_EQ(store.GetSelectedIndex(), 0);

    // A first start that cannot write its list leaves no profile file behind.
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    CProfileListStore fresh(kMouse, folder_, defaultPath_, writer);
    EXPECT_EQ(fresh.InitProfileList(), -1);
    EXPECT_TRUE(ProfileFiles().empty());
    EXPECT_EQ(fresh.GetSelectedIndex(), -1);
}

TEST_F(ProfileListStoreTest, SelectionFollowsItsProfileWhenAnotherStoreChangesTheList) {
    Seed({"A", "B", "C"}, 0);
    CProfileListStore ours = Open();
    ours.SelectProfile(2);
    CProfileListStore other = Open();
    other.SelectProfile(0);
    ASSERT_EQ(other.DeleteProfile(), 0);

    // Index 2 no longer exists; the profile ours has loaded sits at 1 now.
    EXPECT_EQ(ours.DeleteProfile(), 0);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"B"});
    EXPECT_TRUE(fs::exists(folder_ + "id_B.Json"));
    EXPECT_FALSE(fs::exists(folder_ + "id_C.Json"));
}

}  // namespace
}  // namespace morva
