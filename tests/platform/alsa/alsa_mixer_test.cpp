// Against real ALSA devices: a user-space control device (test_ctl_plugin.cpp) loaded by
// alsa-lib from a private configuration, and the snd-dummy kernel card where it is loaded.
#include "platform/alsa/alsa_mixer_backend.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>

#include "support/temp_dir.h"

namespace morva::alsa {
namespace {

using audio::DataFlow;
using audio::PropertyWord;
using audio::Result;

constexpr const char* kHeadset = "morva_headset";      // mic 0..31, monitor 0..127
constexpr const char* kNoMonitor = "morva_nomonitor";  // mic 0..200, no monitor

// Reads the card through its own mixer handle, apart from the back end under test.
struct RawMic {
    std::array<long, 2> capture{-1, -1};
    int captureOn = -1;
    long monitor = -1;
    int monitorOn = -1;
};

std::optional<RawMic> ReadRaw(const char* ctl) {
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0)
        return std::nullopt;
    std::unique_ptr<snd_mixer_t, int (*)(snd_mixer_t*)> mixer(raw, snd_mixer_close);
    if (snd_mixer_attach(raw, ctl) < 0 || snd_mixer_selem_register(raw, nullptr, nullptr) < 0 ||
        snd_mixer_load(raw) < 0)
        return std::nullopt;
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, "Mic");
    snd_mixer_elem_t* mic = snd_mixer_find_selem(raw, id);
    if (!mic)
        return std::nullopt;
    RawMic m;
    snd_mixer_selem_get_capture_volume(mic, SND_MIXER_SCHN_FRONT_LEFT, &m.capture[0]);
    snd_mixer_selem_get_capture_volume(mic, SND_MIXER_SCHN_FRONT_RIGHT, &m.capture[1]);
    snd_mixer_selem_get_capture_switch(mic, SND_MIXER_SCHN_MONO, &m.captureOn);
    if (snd_mixer_selem_has_playback_volume(mic)) {
        snd_mixer_selem_get_playback_volume(mic, SND_MIXER_SCHN_MONO, &m.monitor);
        snd_mixer_selem_get_playback_switch(mic, SND_MIXER_SCHN_MONO, &m.monitorOn);
    }
    return m;
}

class AlsaMixer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        const std::string conf = dir_->Write(
            "asound.conf", "ctl_type.morvatest { lib \"" MORVA_ALSA_TEST_PLUGIN
                           "\" }\n"
                           "ctl.morva_headset { type morvatest state \"" +
                               dir_->File("headset.state") +
                               "\" }\n"
                               "ctl.morva_nomonitor { type morvatest monitor false steps 200 "
                               "state \"" +
                               dir_->File("nomonitor.state") + "\" }\n");
        // Only this configuration: no system card can be reached by mistake.
        ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    }
    static void TearDownTestSuite() {
        ::unsetenv("ALSA_CONFIG_PATH");
        dir_.reset();
    }

    void SetUp() override {
        std::filesystem::remove(dir_->File("headset.state"));
        std::filesystem::remove(dir_->File("nomonitor.state"));
        if (!ReadRaw(kHeadset))
            GTEST_SKIP() << "the ALSA control plugin " MORVA_ALSA_TEST_PLUGIN " does not open";
    }

    struct Opened {
        std::unique_ptr<audio::IAudioBridge> bridge;
        audio::DeviceRecord recording, playback;
        Result SetLevel(const char* name, int selector, int level) {
            return audio::WriteWord(*bridge, recording, name, selector,
                                    PropertyWord::Float(audio::LevelToScalar(level)));
        }
        std::optional<double> Number(const char* name, std::optional<int> selector = {}) {
            double v = -1;
            if (audio::ReadNumber(*bridge, recording, name, selector, v) != Result::Ok)
                return std::nullopt;
            return v;
        }
        std::optional<int> Level(const char* name, int selector) {
            auto v = Number(name, selector);
            return v ? std::optional(audio::ScalarToLevel(*v)) : std::nullopt;
        }
    };

    static Opened Open(const char* ctl) {
        Opened o{audio::MakeAudioBridge(std::make_unique<AlsaMixerBackend>(ctl)), {}, {}};
        EXPECT_EQ(o.bridge->Init(), Result::Ok) << o.bridge->UnavailableReason();
        EXPECT_EQ(o.bridge->CreateDeviceList(), Result::Ok);
        EXPECT_EQ(o.bridge->GetDeviceById(DataFlow::Recording, 0, o.recording), Result::Ok);
        EXPECT_EQ(o.bridge->GetDeviceById(DataFlow::Playback, 0, o.playback), Result::Ok);
        return o;
    }

    static inline std::unique_ptr<test::TempDir> dir_;
};

TEST_F(AlsaMixer, MicLevelIsRoundedOntoTheCardsStepsAndStableOnEveryChannel) {
    struct Case {
        const char* ctl;
        long steps;
    };
    for (const Case& c : {Case{kHeadset, 31}, Case{kNoMonitor, 200}}) {
        SCOPED_TRACE(c.ctl);
        Opened o = Open(c.ctl);
        for (int level = 0; level <= 100; ++level) {
            ASSERT_EQ(o.SetLevel("VolumeScalarControl", -1, level), Result::Ok);
            const long raw = std::lround(level * c.steps / 100.0);
            auto card = ReadRaw(c.ctl);
            ASSERT_TRUE(card);
            EXPECT_EQ(card->capture, (std::array<long, 2>{raw, raw})) << "level " << level;
            // Coarse steps move a level once; after that it stays put.
            std::optional<int> back = o.Level("VolumeScalarControl", -1);
            ASSERT_TRUE(back);
            EXPECT_LE(std::abs(*back - level), (100 / c.steps + 1) / 2 + 1) << "level " << level;
            if (c.steps >= 100) {
                EXPECT_EQ(*back, level);
            }
            ASSERT_EQ(o.SetLevel("VolumeScalarControl", -1, *back), Result::Ok);
            EXPECT_EQ(o.Level("VolumeScalarControl", -1), back) << "level " << level;
        }
    }
}

TEST_F(AlsaMixer, MuteAndMonitorDriveTheCardsSwitchesAndBadValuesChangeNothing) {
    Opened o = Open(kHeadset);
    ASSERT_EQ(audio::WriteWord(*o.bridge, o.recording, "MuteControl", {}, PropertyWord::Int(1)),
              Result::Ok);
    EXPECT_EQ(ReadRaw(kHeadset)->captureOn, 0);
    EXPECT_EQ(o.Number("MuteControl"), 1);
    ASSERT_EQ(audio::WriteWord(*o.bridge, o.recording, "MuteControl", {}, PropertyWord::Int(0)),
              Result::Ok);
    EXPECT_EQ(ReadRaw(kHeadset)->captureOn, 1);
    EXPECT_EQ(o.Number("MuteControl"), 0);

    EXPECT_EQ(o.Number("GetAAMaxVol"), 100);
    for (int level : {0, 1, 37, 99, 100}) {
        ASSERT_EQ(o.SetLevel("AAVolumeScalarControl", 0, level), Result::Ok);
        EXPECT_EQ(ReadRaw(kHeadset)->monitor, std::lround(level * 1.27));
        EXPECT_EQ(o.Level("AAVolumeScalarControl", 0), level);
    }
    ASSERT_EQ(audio::WriteWord(*o.bridge, o.recording, "AAMuteControl", {}, PropertyWord::Int(0)),
              Result::Ok);
    EXPECT_EQ(ReadRaw(kHeadset)->monitorOn, 1);

    // The card's playback volume, seen by a second bridge on the same card.
    ASSERT_EQ(audio::WriteWord(*o.bridge, o.playback, "VolumeScalarControl", -1,
                               PropertyWord::Float(audio::LevelToScalar(60))),
              Result::Ok);
    Opened other = Open(kHeadset);
    double playback = -1;
    ASSERT_EQ(audio::ReadNumber(*other.bridge, other.playback, "VolumeScalarControl", -1, playback),
              Result::Ok);
    EXPECT_EQ(audio::ScalarToLevel(playback), 60);
    EXPECT_EQ(other.Level("AAVolumeScalarControl", 0), 100);

    const RawMic before = *ReadRaw(kHeadset);
    EXPECT_EQ(audio::WriteWord(*o.bridge, o.recording, "VolumeScalarControl", -1,
                               PropertyWord::Float(1.5f)),
              Result::BadValue);
    EXPECT_EQ(audio::WriteWord(*o.bridge, o.recording, "AAVolumeScalarControl", 0,
                               PropertyWord::Float(std::nanf(""))),
              Result::BadValue);
    EXPECT_EQ(audio::WriteWord(*o.bridge, o.recording, "MuteControl", {}, PropertyWord::Int(2)),
              Result::BadValue);
    const RawMic after = *ReadRaw(kHeadset);
    EXPECT_EQ(after.capture, before.capture);
    EXPECT_EQ(after.monitor, before.monitor);
    EXPECT_EQ(after.captureOn, before.captureOn);
}

TEST_F(AlsaMixer, WhatTheCardLacksIsUnknownNotFaked) {
    Opened o = Open(kNoMonitor);
    for (const char* name : {"GetAAMaxVol", "AAMuteControl", "Enable_MAGICVOICE", "VolumeControl"})
        EXPECT_EQ(o.Number(name), std::nullopt) << name;
    EXPECT_EQ(o.Number("AAVolumeScalarControl", 0), std::nullopt);
    EXPECT_EQ(audio::WriteWord(*o.bridge, o.recording, "AAMuteControl", {}, PropertyWord::Int(0)),
              Result::UnknownProperty);
    EXPECT_EQ(audio::WriteWord(*o.bridge, o.playback, "EQ_Slider1", {}, PropertyWord::Int(0)),
              Result::UnknownProperty);

    auto bridge = audio::MakeAudioBridge(std::make_unique<AlsaMixerBackend>("morva_absent"));
    EXPECT_EQ(bridge->Init(), Result::Unavailable);
    EXPECT_NE(bridge->UnavailableReason().find("morva_absent"), std::string::npos);
    EXPECT_EQ(bridge->CreateDeviceList(), Result::Unavailable);
}

TEST(AlsaDummyCard, MicLevelAndMuteRoundTrip) {
    std::optional<std::string> card = FindCardByName("Dummy");
    if (!card)
        GTEST_SKIP() << "snd-dummy is not loaded (no Dummy card in /proc/asound/cards)";
    auto owned = std::make_unique<AlsaMixerBackend>(*card);
    AlsaMixerBackend* backend = owned.get();
    auto bridge = audio::MakeAudioBridge(std::move(owned));
    ASSERT_EQ(bridge->Init(), Result::Ok) << bridge->UnavailableReason();
    ASSERT_EQ(bridge->CreateDeviceList(), Result::Ok);
    audio::DeviceRecord rec;
    ASSERT_EQ(bridge->GetDeviceById(DataFlow::Recording, 0, rec), Result::Ok);
    ASSERT_TRUE(backend->Capabilities().micVolume);
    for (int level : {0, 50, 100}) {
        ASSERT_EQ(audio::WriteWord(*bridge, rec, "VolumeScalarControl", -1,
                                   PropertyWord::Float(audio::LevelToScalar(level))),
                  Result::Ok);
        double v = -1;
        ASSERT_EQ(audio::ReadNumber(*bridge, rec, "VolumeScalarControl", -1, v), Result::Ok);
        EXPECT_NEAR(audio::ScalarToLevel(v), level, 1);
    }
    if (backend->Capabilities().micSwitch) {
        for (int muted : {1, 0}) {
            ASSERT_EQ(audio::WriteWord(*bridge, rec, "MuteControl", {}, PropertyWord::Int(muted)),
                      Result::Ok);
            double v = -1;
            ASSERT_EQ(audio::ReadNumber(*bridge, rec, "MuteControl", {}, v), Result::Ok);
            EXPECT_EQ(v, muted);
        }
    }
}

TEST(AlsaCardLookup, UsbDeviceFolderLeadsToItsCard) {
    struct Case {
        std::vector<std::string> dirs;
        std::optional<std::string> card;
    };
    const Case cases[] = {
        {{"1-2/1-2:1.0/sound/card3/controlC3"}, "hw:3"},
        {{"1-2/1-2:1.0", "1-2/1-2:1.3/sound/card12"}, "hw:12"},
        {{"1-2/1-2:1.0/sound/cardX", "1-2/1-2:1.0/input/card4"}, std::nullopt},
        {{"1-2/1-2:1.0/sound"}, std::nullopt},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        for (const std::string& d : c.dirs)
            std::filesystem::create_directories(dir.path() / d);
        EXPECT_EQ(CardForUsbDevice(dir.path() / "1-2"), c.card) << c.dirs.front();
    }
    EXPECT_EQ(CardForUsbDevice("/nonexistent/usb/1-9"), std::nullopt);
}

TEST(AlsaCardLookup, HidrawNodeLeadsThroughItsUsbDeviceToTheSiblingCard) {
    test::TempDir dir;
    const auto usb = dir.path() / "devices/usb1/1-2";
    std::filesystem::create_directories(usb / "1-2:1.3/0003:1234:5678.0001/hidraw/hidraw4");
    std::filesystem::create_directories(usb / "1-2:1.0/sound/card2");
    dir.Write("devices/usb1/1-2/idVendor", "1234\n");
    dir.Write("devices/usb1/idVendor", "1d6b\n");  // the root hub above: not the answer
    std::filesystem::create_directories(dir.path() / "class/hidraw");
    std::filesystem::create_directory_symlink(usb / "1-2:1.3/0003:1234:5678.0001/hidraw/hidraw4",
                                              dir.path() / "class/hidraw/hidraw4");

    const auto device = UsbDeviceFolder(dir.path() / "class/hidraw/hidraw4");
    ASSERT_TRUE(device);
    EXPECT_EQ(*device, std::filesystem::canonical(usb));
    EXPECT_EQ(CardForUsbDevice(*device), "hw:2");
    EXPECT_EQ(UsbDeviceFolder(dir.path() / "class"), std::nullopt);
    EXPECT_EQ(UsbDeviceFolder(dir.path() / "missing"), std::nullopt);
}

}  // namespace
}  // namespace morva::alsa
