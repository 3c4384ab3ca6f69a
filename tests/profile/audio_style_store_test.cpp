#include "profile/audio_style_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "profile/json_file.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using test::TempDir;

constexpr char kFactory[] = R"({"Device": {"AudioLightInfo": {
    "nAudioStyle": 2,
    "nStyleName1": "Warm", "nStyleName2": "Cold", "nStyleName3": "暖色", "nStyleName4": "",
    "nStyleR0": 9, "nStyleG0": 2, "nStyleB0": 0,
    "nStyleR1": 0, "nStyleG1": 6, "nStyleB1": 9,
    "nStyleR2": 2, "nStyleG2": 9, "nStyleB2": 3,
    "nStyleR3": 8, "nStyleG3": 0, "nStyleB3": 9}}})";

AudioStyle FactoryStyle() {
    AudioStyle s;
    s.style = 2;
    s.names = {"Warm", "Cold", "暖色", ""};
    s.colour = {{{9, 2, 0}, {0, 6, 9}, {2, 9, 3}, {8, 0, 9}}};
    return s;
}

struct Files {
    TempDir dir;
    std::string user = dir.File("AudioFile.json");
    std::string factory = dir.Write("factory.json", kFactory);
};

TEST(AudioStyleStore, LoadTakesTheUserFileOrFallsBackToTheFactoryOne) {
    AudioStyle clamped;
    clamped.style = 3;
    clamped.names = {"", "mine", "", ""};
    clamped.colour[0] = {9, 0, 3};
    clamped.colour[3] = {0, 0, 9};
    struct Case {
        const char* what;
        std::optional<std::string> user;  // nothing: no user file
        bool factoryCopied;
        AudioStyle expected;
    } cases[] = {
        {"no user file", std::nullopt, true, FactoryStyle()},
        {"unreadable", "{\"Device\": {", true, FactoryStyle()},
        {"no \"Device\"", R"({"Other": {"nAudioStyle": 1}})", true, FactoryStyle()},
        {"out-of-range and wrong-typed fields are held or absent",
         R"({"Device": {"AudioLightInfo": {"nAudioStyle": 7, "nStyleName1": 5,
             "nStyleName2": "mine", "nStyleR0": 12, "nStyleG0": -5, "nStyleB0": 3.7,
             "nStyleR1": "9", "nStyleB3": 4000000000}}})",
         false, clamped},
        {"negative style", R"({"Device": {"AudioLightInfo": {"nAudioStyle": -2}}})", false,
         AudioStyle{}},
        {"a document without styles", R"({"Device": {}})", false, AudioStyle{}},
    };
    for (const Case& c : cases) {
        Files f;
        if (c.user)
            f.dir.Write("AudioFile.json", *c.user);
        CAudioStyleStore store(f.user, f.factory);
        store.Load();
        EXPECT_EQ(store.Current(), c.expected) << c.what;
        EXPECT_EQ(store.LoadAudioStyle(), c.expected) << c.what;
        EXPECT_EQ(TempDir::Read(f.user), c.factoryCopied ? std::string(kFactory) : *c.user)
            << c.what;
    }
}

TEST(AudioStyleStore, WithoutAFactoryFileNothingIsWrittenAndTheStyleIsEmpty) {
    TempDir dir;
    CAudioStyleStore store(dir.File("AudioFile.json"), dir.File("missing.json"));
    store.Load();
    EXPECT_EQ(store.Current(), AudioStyle{});
    EXPECT_FALSE(std::filesystem::exists(dir.File("AudioFile.json")));
    EXPECT_EQ(store.ResetAudioStyles(), -1);
}

TEST(AudioStyleStore, SaveReplacesOnlyTheDocumentsStylesAndReadsBackTheSame) {
    Files f;
    f.dir.Write("AudioFile.json", R"({"Other": [1, 2],
        "Device": {"Kept": true, "AudioLightInfo": {"nAudioStyle": 1, "Gone": 1}}})");
    CAudioStyleStore store(f.user, f.factory);
    store.Load();
    AudioStyle chosen = FactoryStyle();
    chosen.style = 1;
    chosen.names[3] = "Четвёртый";
    chosen.colour[1] = {9, 9, 9};
    store.StoreAudioStyle(chosen);
    EXPECT_EQ(store.Current(), chosen);
    ASSERT_EQ(store.SaveAudioFile(), 0);

    const Json::Value file = ReadJsonFile(f.user);
    EXPECT_EQ(file["Other"].size(), 2u);
    EXPECT_TRUE(file["Device"]["Kept"].asBool());
    EXPECT_FALSE(file["Device"]["AudioLightInfo"].isMember("Gone"));
    EXPECT_EQ(file["Device"]["AudioLightInfo"]["nStyleG1"].asInt(), 9);
    EXPECT_EQ(file["Device"]["AudioLightInfo"].size(), 17u);

    CAudioStyleStore again(f.user, f.factory);
    again.Load();
    EXPECT_EQ(again.Current(), chosen);
}

TEST(AudioStyleStore, ResetPutsTheFactoryFileBackAndAFailedOneChangesNothing) {
    Files f;
    f.dir.Write("AudioFile.json", R"({"Device": {"AudioLightInfo": {"nAudioStyle": 3}}})");
    CAudioStyleStore store(f.user, f.factory);
    store.Load();
    ASSERT_EQ(store.Current().style, 3);
    ASSERT_EQ(store.ResetAudioStyles(), 0);
    EXPECT_EQ(store.Current(), FactoryStyle());
    EXPECT_EQ(TempDir::Read(f.user), kFactory);

    // A user file that cannot be written: the styles in use stay.
    CAudioStyleStore blocked(f.dir.File("no-such-folder/AudioFile.json"), f.factory);
    blocked.Load();
    EXPECT_EQ(blocked.Current(), FactoryStyle());
    AudioStyle mine;
    mine.names[0] = "mine";
    blocked.StoreAudioStyle(mine);
    EXPECT_EQ(blocked.SaveAudioFile(), -1);
    EXPECT_EQ(blocked.ResetAudioStyles(), -1);
    EXPECT_EQ(blocked.Current(), mine);
}

}  // namespace
}  // namespace morva
