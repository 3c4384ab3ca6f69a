#include "macro/macro_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

std::size_t FileCount(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        n += item.is_regular_file();
    return n;
}

class MacroStoreTest : public ::testing::Test {
protected:
    MacroStoreTest() : folder_(dir_.File("user") + "/"), store_(folder_) {
        fs::create_directories(folder_);
    }

    // List entries named `names` with Guids "g_<name>".
    void Seed(const std::vector<std::string>& names) {
        Json::Value list;
        list["MacroInfo"] = Json::Value(Json::arrayValue);
        for (const std::string& name : names) {
            Json::Value& entry = list["MacroInfo"].append(Json::Value());
            entry["MacroName"] = name;
            entry["Guid"] = "g_" + name;
        }
        ASSERT_EQ(WriteJsonFile(folder_ + "macro.config", list), 0);
    }
    Json::Value List() const { return ReadJsonFile(folder_ + "macro.config"); }

    TempDir dir_;
    std::string folder_;
    CMacroStore store_;
};

TEST_F(MacroStoreTest, AddRenameDeleteKeepTheListFileExact) {
    Seed({"macro_1", "MACRO_2"});
    std::string name;
    ASSERT_EQ(store_.AddMacro(&name), MacroResult::kOk);
    EXPECT_EQ(name, "macro_3") << "default names compare ignoring case";
    const Json::Value added = List()["MacroInfo"][2];
    EXPECT_EQ(added["MacroName"].asString(), "macro_3");
    EXPECT_TRUE(IsPlainName(added["Guid"].asString()));
    EXPECT_EQ(added.getMemberNames().size(), 2u);
    EXPECT_EQ(FileCount(folder_), 1u) << "no macro file before the first save";

    EXPECT_EQ(store_.RenameMacro(0, "Fire"), MacroResult::kOk);
    EXPECT_EQ(List()["MacroInfo"][0]["MacroName"].asString(), "Fire");
    EXPECT_EQ(store_.RenameMacro(0, "FIRE"), MacroResult::kNameTaken) << "own name counts";
    EXPECT_EQ(store_.RenameMacro(1, " \t"), MacroResult::kEmptyName);
    EXPECT_EQ(store_.RenameMacro(3, "x"), MacroResult::kNoSuchMacro);

    Seed({"a", "b", "c", "d", "e"});
    for (const char* n : {"a", "b", "c", "d", "e"})
        WriteJsonFile(folder_ + "g_" + n + ".mac", Json::Value(Json::objectValue));
    ASSERT_EQ(store_.DeleteMacro(1), MacroResult::kOk);
    EXPECT_EQ(List()["MacroInfo"].size(), 4u);
    EXPECT_EQ(List()["MacroInfo"][1]["Guid"].asString(), "g_c") << "later macros move down";
    EXPECT_FALSE(fs::exists(folder_ + "g_b.mac"));
    EXPECT_TRUE(fs::exists(folder_ + "g_c.mac"));
    while (store_.LoadMacroList() > 0)
        ASSERT_EQ(store_.DeleteMacro(0), MacroResult::kOk);
    EXPECT_TRUE(List()["MacroInfo"].isArray());
    EXPECT_TRUE(ReadMacroNames(folder_).empty());
    EXPECT_EQ(store_.DeleteMacro(0), MacroResult::kNoSuchMacro);
}

TEST_F(MacroStoreTest, FiftyMacrosAtMostAndImportAtTheLimitWritesNothing) {
    for (int i = 0; i < CMacroStore::kMaxMacros; ++i)
        ASSERT_EQ(store_.AddMacro(), MacroResult::kOk) << i;
    ASSERT_EQ(store_.SaveMacroEvents(0, {{true, 4, macro_type::kKey, 10}}), MacroResult::kOk);
    const std::string exported = dir_.File("out.mac");
    ASSERT_EQ(store_.ExportMacro(0, exported), MacroResult::kOk);
    const std::string listBefore = TempDir::Read(store_.ListFilePath());
    const std::size_t filesBefore = FileCount(dir_.path());

    EXPECT_EQ(store_.AddMacro(), MacroResult::kLimitReached);
    EXPECT_EQ(store_.ImportMacro(exported), MacroResult::kLimitReached);
    EXPECT_EQ(TempDir::Read(store_.ListFilePath()), listBefore);
    EXPECT_EQ(FileCount(dir_.path()), filesBefore);
}

TEST_F(MacroStoreTest, SavedEventsReadBackAndReachTheDeviceInListOrder) {
    Seed({"one", "two"});
    const std::vector<MacroEvent> events = {{true, 4, macro_type::kKey, 300},
                                            {false, 20, macro_type::kMoveHorizontal, 70000}};
    ASSERT_EQ(store_.SaveMacroEvents(1, events), MacroResult::kOk);
    const Json::Value file = ReadJsonFile(folder_ + "g_two.mac");
    EXPECT_EQ(file["MacroName"].asString(), "two");
    EXPECT_EQ(file["Guid"].asString(), "g_two");
    EXPECT_EQ(file["Version"].asInt(), 64);
    EXPECT_EQ(file["Events"][0]["Delay"].asString(), "300") << "delays are decimal text";
    EXPECT_EQ(file["Events"][1]["Delay"].asString(), "65535") << "held, not wrapped";
    EXPECT_EQ(store_.GetMacroEvents(1)[0], events[0]);
    EXPECT_TRUE(store_.GetMacroEvents(0).empty()) << "never saved";

    const auto blocks = LoadMacroEvents(folder_, {1, 7, 0, -1});
    ASSERT_EQ(blocks.size(), 4u) << "one block per requested slot";
    ASSERT_EQ(blocks[0].size(), 2u);
    EXPECT_EQ(blocks[0][0], (DeviceMacroEvent{0x2C, 0x01, 0x8A, 0x04}));
    EXPECT_EQ(blocks[0][1], (DeviceMacroEvent{0xFF, 0xFF, 0x04, 20}));
    EXPECT_TRUE(blocks[1].empty() && blocks[2].empty() && blocks[3].empty());

    // A type with bit 7 set must not turn a release into a press.
    EXPECT_EQ(ToDeviceMacroEvent({false, 1, 0x81, 0})[2], 0x01);
}

TEST_F(MacroStoreTest, ExportThenImportGivesANewMacroWithTheSameFile) {
    Seed({"macro_1"});
    ASSERT_EQ(store_.SaveMacroEvents(0, {{true, 1, macro_type::kMouseButton, 5}}),
              MacroResult::kOk);
    const std::string exported = dir_.File("x.mac");
    ASSERT_EQ(store_.ExportMacro(0, exported), MacroResult::kOk);
    EXPECT_EQ(TempDir::Read(exported), TempDir::Read(folder_ + "g_macro_1.mac"));

    std::string name;
    ASSERT_EQ(store_.ImportMacro(exported, &name), MacroResult::kOk);
    EXPECT_EQ(name, "macro_2");
    const std::string guid = store_.GetMacroGuid(1);
    EXPECT_NE(guid, "g_macro_1");
    EXPECT_EQ(TempDir::Read(folder_ + guid + ".mac"), TempDir::Read(exported));

    ASSERT_EQ(store_.AddMacro(), MacroResult::kOk);
    ASSERT_EQ(store_.ExportMacro(2, exported), MacroResult::kOk) << "a never-saved macro";
    EXPECT_TRUE(ReadJsonFile(exported)["Events"].isArray());
    EXPECT_EQ(store_.ImportMacro(exported), MacroResult::kOk);

    dir_.Write("user/" + guid + ".mac", "{ broken");
    EXPECT_EQ(store_.ExportMacro(1, exported), MacroResult::kUnreadableFile);
}

TEST_F(MacroStoreTest, ImportAndExportCopyTheFileByteForByte) {
    // Written by hand: LF line ends, a comment, keys out of order, an unknown key, no newline
    // at the end; a rewrite would change every one of them.
    const std::string text =
        "// recoil\n{\"Version\":64, \"Events\": [{\"Type\":10,\"Button\":4,"
        "\"Action\":\"down\",\"Delay\":\"007\"}],\n  \"Extra\": 1.50, "
        "\"MacroName\": \"Stra\u00dfe\"}";
    Seed({"macro_1"});
    const std::string in = dir_.Write("in.mac", text);
    ASSERT_EQ(store_.ImportMacro(in), MacroResult::kOk);
    EXPECT_EQ(TempDir::Read(folder_ + store_.GetMacroGuid(1) + ".mac"), text);
    EXPECT_EQ(store_.GetMacroEvents(1).size(), 1u);

    dir_.Write("user/g_macro_1.mac", text);
    const std::string out = dir_.File("out.mac");
    ASSERT_EQ(store_.ExportMacro(0, out), MacroResult::kOk);
    EXPECT_EQ(TempDir::Read(out), text);
}

TEST_F(MacroStoreTest, MalformedImportsLeaveTheListAsItWas) {
    Seed({"keep"});
    const std::string before = TempDir::Read(store_.ListFilePath());
    for (const char* text : {"", "{ nope", "[1, 2]", R"({"Events": 5})", R"({"Device": []})"}) {
        EXPECT_EQ(store_.ImportMacro(dir_.Write("bad.mac", text)), MacroResult::kUnreadableFile)
            << text;
    }
    EXPECT_EQ(store_.ImportMacro(dir_.File("missing.mac")), MacroResult::kUnreadableFile);
    EXPECT_EQ(TempDir::Read(store_.ListFilePath()), before);
    EXPECT_EQ(FileCount(folder_), 1u);
}

TEST_F(MacroStoreTest, UnreadableFilesReadAsEmpty) {
    dir_.Write("user/macro.config", "{\"MacroInfo\": [");
    EXPECT_EQ(store_.LoadMacroList(), 0);
    EXPECT_TRUE(ReadMacroNames(folder_).empty());
    ASSERT_EQ(store_.AddMacro(), MacroResult::kOk);
    EXPECT_EQ(List()["MacroInfo"].size(), 1u);

    Seed({"a"});
    ASSERT_EQ(store_.LoadMacroList(), 1);
    dir_.Write("user/g_a.mac", R"({"Events": [{"Action":"down","Type":10,"Button":4}, 7, null]})");
    EXPECT_EQ(store_.GetMacroEvents(0).size(), 1u) << "non-object events are left out";
    dir_.Write("user/g_a.mac", "not json");
    EXPECT_TRUE(store_.GetMacroEvents(0).empty());
    EXPECT_TRUE(LoadMacroEvents(folder_, {0})[0].empty());
}

TEST_F(MacroStoreTest, HostileGuidsNeverNameAFileOutsideTheFolder) {
    const std::string outside = dir_.Write("victim.mac", R"({"Events": []})");
    dir_.Write("user/macro.config",
               R"({"MacroInfo": [{"MacroName": "evil", "Guid": "../victim"},
                                 {"MacroName": "none"}]})");
    ASSERT_EQ(store_.LoadMacroList(), 2);
    EXPECT_EQ(store_.GetMacroFilePath(0), "");
    EXPECT_EQ(store_.SaveMacroEvents(0, {{true, 4, 10, 0}}), MacroResult::kUnsafeGuid);
    EXPECT_EQ(store_.SaveMacroEvents(1, {}), MacroResult::kUnsafeGuid);
    EXPECT_EQ(store_.ExportMacro(0, dir_.File("out.mac")), MacroResult::kUnsafeGuid);
    EXPECT_TRUE(LoadMacroEvents(folder_, {0})[0].empty());
    EXPECT_EQ(TempDir::Read(outside), R"({"Events": []})");
    ASSERT_EQ(store_.DeleteMacro(0), MacroResult::kOk);
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_EQ(store_.GetMacroName(0), "none");
}

TEST_F(MacroStoreTest, FailedWritesChangeNothing) {
    Seed({"a", "b"});
    WriteJsonFile(folder_ + "g_a.mac", Json::Value(Json::objectValue));
    const std::string exported = dir_.Write("in.mac", R"({"Events": []})");
    const std::string listFile = folder_ + "macro.config";
    CMacroStore store(folder_, [&](const std::string& path, const Json::Value& value) {
        return path == listFile ? -1 : WriteJsonFile(path, value);
    });
    const std::string before = TempDir::Read(listFile);
    EXPECT_EQ(store.AddMacro(), MacroResult::kWriteFailed);
    EXPECT_EQ(store.RenameMacro(0, "z"), MacroResult::kWriteFailed);
    EXPECT_EQ(store.DeleteMacro(0), MacroResult::kWriteFailed);
    EXPECT_TRUE(fs::exists(folder_ + "g_a.mac")) << "the file stays while its entry does";
    EXPECT_EQ(store.ImportMacro(exported), MacroResult::kWriteFailed);
    EXPECT_EQ(FileCount(folder_), 2u) << "the imported file is taken back";
    EXPECT_EQ(TempDir::Read(listFile), before);
    EXPECT_EQ(store.Entries().size(), 2u);
}

TEST_F(MacroStoreTest, AFileNamedTwiceOutlivesOneOfItsEntries) {
    dir_.Write("user/macro.config", R"({"MacroInfo": [{"MacroName": "a", "Guid": "same"},
                                                      {"MacroName": "b", "Guid": "same"}]})");
    dir_.Write("user/same.mac", R"({"Events": []})");
    ASSERT_EQ(store_.DeleteMacro(0), MacroResult::kOk);
    EXPECT_TRUE(fs::exists(folder_ + "same.mac"));
    ASSERT_EQ(store_.DeleteMacro(0), MacroResult::kOk);
    EXPECT_FALSE(fs::exists(folder_ + "same.mac"));
}

}  // namespace
}  // namespace morva
