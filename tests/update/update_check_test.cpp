#include "update/update_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "device/device_tables.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva::update {
namespace {

ModelEntry Row(std::size_t row, std::uint32_t version) {
    ModelEntry entry = ModelEntries().at(row);
    entry.version = version;
    return entry;
}

constexpr std::size_t kMouseRow = 0;
constexpr std::size_t kHeadsetRow = 2;
constexpr std::size_t kProgramRow = 3;

TEST(UpdateRequest, KeysBodiesNamesAndVersionTexts) {
    const std::vector<ModelEntry> table = ModelEntries();
    ASSERT_EQ(table.size(), Models().size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].version, 0u);
        EXPECT_EQ(table[i].modelCode, Models()[i].modelCode);
    }
    ASSERT_EQ(table[kProgramRow].kind, 0);

    ModelEntry odd;
    odd.kind = 1;
    odd.version = 0x10;
    odd.brand = "A B&C";
    odd.modelCode = "X=Y";
    odd.class1 = "\xC3\xA9";
    odd.class2 = "Odd";
    ModelEntry allDevice = Row(kMouseRow, 0xFFFF);
    allDevice.modelCode = "ALL";
    ModelEntry bareProgram = Row(kProgramRow, 1005);
    bareProgram.versionText.clear();

    struct Case {
        ModelEntry entry;
        std::string key, body, name, local;
    };
    const Case cases[] = {
        {Row(kMouseRow, 0x0102), "KALDO_1_RB42M03X_MS_1",
         "app_key=KALDO_1_RB42M03X_MS_1&version=102", "MS", "V0102"},
        {Row(kHeadsetRow, 0xABC), "KALDO_2_RB42K01X_1_T33_1",
         "app_key=KALDO_2_RB42K01X_1_T33_1&version=abc", "T33", "V0abc"},
        {Row(1, 0), "NULL", "app_key=NULL&version=0", "KB", "V0000"},
        {Row(kProgramRow, 1005), "KALDO_0_ALL_T33_Q71_Q72_1",
         "app_key=KALDO_0_ALL_T33_Q71_Q72_1&version=1005", "AP", "V1.0.0.0"},
        {bareProgram, "KALDO_0_ALL_T33_Q71_Q72_1", "app_key=KALDO_0_ALL_T33_Q71_Q72_1&version=1005",
         "AP", "V1005"},
        {odd, "A B&C_1_X=Y_\xC3\xA9_0", "app_key=A%20B%26C_1_X%3DY_%C3%A9_0&version=10", "Odd",
         "V0010"},
        {allDevice, "KALDO_1_ALL_MS_1", "app_key=KALDO_1_ALL_MS_1&version=ffff", "AP", "Vffff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(BuildAppKey(c.entry), c.key);
        EXPECT_EQ(RequestBody(c.entry), c.body);
        EXPECT_EQ(DisplayName(c.entry), c.name);
        EXPECT_EQ(LocalVersionText(c.entry), c.local);
    }
}

TEST(UpdateRequest, InstalledVersionFromTheDisplayText) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"1.0.3.2", 1032}, {"1..2", 12}, {"4294967295", ~0u}, {"4294967296", 0},
        {"", 0},           {"...", 0},   {"V1.0", 0},         {"-1", 0},
    };
    for (const auto& [text, version] : cases)
        EXPECT_EQ(InstalledVersionFrom(text), version) << text;
}

TEST(UpdateAnswer, VersionsAreReadInTheEntrysBase) {
    const ModelEntry device = Row(kMouseRow, 0x0102);
    const ModelEntry program = Row(kProgramRow, 1000);
    struct Case {
        const ModelEntry& entry;
        std::string body;
        int status;
        std::string serverVersion, localVersion;
    };
    const Case cases[] = {
        {device, "", kItemUpToDate, "", "V0102"},
        {device, R"({"version": "0200"})", kItemNeedUpdate, "V0200", "V0102"},
        {device, R"({"version": "0110"})", kItemNeedUpdate, "V0110", "V0102"},  // hex, not 110
        {device, R"({"version": "0102"})", kItemUpToDate, "V0102", "V0102"},
        {device, R"({"version": "00ff"})", kItemUpToDate, "V00ff", "V0102"},
        {device, R"({"version": "0A00"})", kItemNeedUpdate, "V0A00", "V0102"},
        {device, R"({"version": 102})", kItemUpToDate, "V102", "V0102"},
        {program, R"({"version": "1001"})", kItemNeedUpdate, "V1001", "V1.0.0.0"},
        {program, R"({"version": "999"})", kItemUpToDate, "V999", "V1.0.0.0"},  // decimal
        {program, R"({"version": 1000, "version_name": ""})", kItemUpToDate, "V1000", "V1.0.0.0"},
        {program, R"({"version": 1001, "version_name": "1.0.0.1"})", kItemNeedUpdate, "V1.0.0.1",
         "V1.0.0.0"},
        {program, "", kItemUpToDate, "", "V1.0.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const UpdateInfo info = ReadAnswer(c.entry, c.body);
        EXPECT_EQ(info.failure, CheckFailure::None);
        EXPECT_EQ(info.status, c.status);
        EXPECT_EQ(info.serverVersion, c.serverVersion);
        EXPECT_EQ(info.localVersion, c.localVersion);
        EXPECT_EQ(info.name, DisplayName(c.entry));
    }

    const UpdateInfo full = ReadAnswer(
        device,
        R"({"version": "0200", "version_name": "2.0", "path": "a/b", "device_id": 7, "name": "X"})");
    EXPECT_EQ(full.name, "MS") << "the service never names the entry";
    EXPECT_EQ(full.versionName, "2.0");
    EXPECT_EQ(full.localVersion, "V0102") << "a device keeps its own version text";
    EXPECT_EQ(full.path, "a/b");
    EXPECT_EQ(full.deviceId, 7);
    EXPECT_EQ(ReadAnswer(device, R"({"version": "0200", "device_id": "7", "path": 5})").deviceId,
              0);
}

TEST(UpdateAnswer, AnythingElseIsGarbageNeverCurrent) {
    const ModelEntry device = Row(kMouseRow, 0x0102);
    const ModelEntry program = Row(kProgramRow, 1000);
    std::vector<std::pair<const ModelEntry*, std::string>> cases = {
        {&device, "[]"},
        {&device, "{"},
        {&device, R"({"version": "0200"} trailing)"},
        {&device, R"({"version": ""})"},
        {&device, R"({"version": "V0200"})"},
        {&device, R"({"version": " 200"})"},
        {&device, R"({"version": -1})"},
        {&device, R"({"version": 1.5})"},
        {&device, R"({"version": "100000000"})"},  // past 32 bits
        {&device, R"({"version": "0200", "version": "0300"})"},
        {&device, R"({"name": "MS"})"},
        {&device, "// note\n{\"version\": \"0200\"}"},
        {&device, std::string(100000, '[') + std::string(100000, ']')},
        {&program, R"({"version": "03e8"})"},
    };
    // Every cut of a good answer, and bytes of no shape at all.
    const std::string good = R"({"version": "0200", "path": "x"})";
    for (std::size_t n = 1; n < good.size(); ++n)
        cases.emplace_back(&device, good.substr(0, n));
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        std::string bytes(random() % 64 + 1, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        cases.emplace_back(&device, bytes);
    }
    for (const auto& [entry, body] : cases) {
        const UpdateInfo info = ReadAnswer(*entry, body);
        EXPECT_EQ(info.status, kItemCheckFailed) << body.substr(0, 40);
        EXPECT_EQ(info.failure, CheckFailure::Garbage) << body.substr(0, 40);
        EXPECT_EQ(info.name, DisplayName(*entry));
        EXPECT_EQ(info.localVersion, LocalVersionText(*entry));
        EXPECT_EQ(info.serverVersion, "");
    }
}

TEST(UpdatePage, StatusOfARunAndItsWords) {
    const ModelEntry device = Row(kMouseRow, 0x0102);
    const UpdateInfo current = ReadAnswer(device, "");
    const UpdateInfo newer = ReadAnswer(device, R"({"version": "0200"})");
    const UpdateInfo failed = FailedCheck(device, CheckFailure::Tls);
    UpdateInfo alsoNewer = current;
    alsoNewer.status = kItemNeedUpdateToo;
    struct Case {
        std::vector<UpdateInfo> results;
        int page;
    };
    const Case cases[] = {
        {{}, 4},          {{current, current}, 4}, {{current, newer}, 1}, {{failed, newer}, 1},
        {{alsoNewer}, 1}, {{current, failed}, 2},  {{failed, failed}, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageStatus(c.results), c.page) << c.results.size();

    EXPECT_EQ(failed.status, kItemCheckFailed);
    EXPECT_EQ(failed.name, "MS");
    EXPECT_EQ(failed.localVersion, "V0102");
    EXPECT_EQ(FailureText(CheckFailure::None), "");
    std::set<std::string_view> words;
    for (CheckFailure f : {CheckFailure::NoAnswer, CheckFailure::Tls, CheckFailure::TimedOut,
                           CheckFailure::TooLarge, CheckFailure::Garbage, CheckFailure::HttpError})
        EXPECT_TRUE(words.insert(FailureText(f)).second && !FailureText(f).empty());
    EXPECT_EQ(DateText(2026, 3, 7), "2026-3-7");
    EXPECT_EQ(DateText(1999, 12, 31), "1999-12-31");
}

TEST(UpdateTimeStore, KeepsTheFirstDateAndTheFilesOtherMembers) {
    const test::TempDir dir;
    CUpdateTimeStore store(dir.path() / "not" / "yet");
    EXPECT_EQ(store.File(), dir.path() / "not" / "yet" / "updatetime.config");
    EXPECT_EQ(store.ReadLastDate("2026-3-7"), "2026-3-7");
    EXPECT_EQ(
        ParseJsonText(test::TempDir::Read(store.File()))["updatelasttime"]["value"].asString(),
        "2026-3-7");
    EXPECT_EQ(store.ReadLastDate("2026-3-8"), "2026-3-7") << "a stored date stays";

    WriteFileText(store.File(), R"({"other": 1, "updatelasttime": {"value": "x", "keep": true}})");
    EXPECT_TRUE(store.WriteDate("2026-3-9"));
    const Json::Value written = ParseJsonText(test::TempDir::Read(store.File()));
    EXPECT_EQ(written["other"].asInt(), 1);
    EXPECT_TRUE(written["updatelasttime"]["keep"].asBool());
    EXPECT_EQ(store.ReadLastDate("2026-3-10"), "2026-3-9");

    for (const char* unusable : {R"({"updatelasttime": {"value": 5}})", "[1]", "garbage"}) {
        WriteFileText(store.File(), unusable);
        EXPECT_EQ(store.ReadLastDate("2026-4-1"), "2026-4-1") << unusable;
        EXPECT_EQ(store.ReadLastDate("2026-4-2"), "2026-4-1") << unusable;
    }

    const std::string file = dir.Write("plain", "a file, not a folder");
    EXPECT_FALSE(CUpdateTimeStore(file).WriteDate("2026-3-7"));
}

}  // namespace
}  // namespace morva::update
