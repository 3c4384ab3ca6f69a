// The headset model against the simulated headset and its audio property store: LED frames
// as output reports, the equaliser curves kept aligned, sound settings round trips, a back
// end that does not start, and the music bars within the headset's LEDs.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "device/models/headset_device.h"
#include "profile/profile_list_store.h"
#include "sim/audio_store.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using sim::Link;
using sim::Product;

constexpr int kHeadsetTypeRow = 3;

class NullHost : public IDeviceHost {
public:
    void StartEntryTimer(int, int) override {}
    void SendOwnerMessage(int, std::intptr_t, std::intptr_t) override {}
    void ShowPowerStatus(std::span<const std::uint8_t>) override {}
    void RefreshPage() override { ++refreshed; }
    int refreshed = 0;
};

const SupportedInterface& HeadsetCommandRecord() {
    for (const SupportedInterface& r : SupportedInterfaces()) {
        if (r.deviceType == kDeviceTypeHeadset && r.role == 0)
            return r;
    }
    return SupportedInterfaces()[0];
}

class HeadsetDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimBusOptions options;
        options.plugged = {Link::Headset};
        bus_ = std::make_unique<sim::SimBus>(options);
        headset_ = MakeHeadset();
    }

    std::unique_ptr<CTessaronVU6533Device> MakeHeadset(bool failAudio = false) {
        auto h = std::make_unique<CTessaronVU6533Device>(*bus_, clock_);
        h->SetHost(&host_);
        h->SetDataRoots(dir_.path().string(), MORVA_RES_DIR);
        h->ApplyTypeRow(kHeadsetTypeRow);
        h->SetSlotRecord(HeadsetCommandRecord());
        h->SetProfileName("p1");
        EXPECT_TRUE(h->Links().Open(ProductLink::Cable, bus_->CommandPath(Link::Headset)));
        sim::SimAudioOptions audio;
        audio.stateFile = AudioFile();
        audio.failInit = failAudio;
        h->SetAudioBridge(audio::MakeAudioBridge(std::make_unique<sim::SimAudioStore>(audio)));
        h->LoadProfile();
        h->StartAudio();
        return h;
    }
    std::string AudioFile() const { return (dir_.path() / "sim.audio.json").string(); }
    // The store as another program sees it: a second store on the same file.
    double Stored(audio::DataFlow flow, const char* name, std::optional<std::int32_t> selector) {
        auto bridge = audio::MakeAudioBridge(
            std::make_unique<sim::SimAudioStore>(sim::SimAudioOptions{AudioFile(), false}));
        EXPECT_EQ(bridge->Init(), audio::Result::Ok);
        EXPECT_EQ(bridge->CreateDeviceList(), audio::Result::Ok);
        audio::DeviceRecord device;
        EXPECT_EQ(bridge->GetDeviceById(flow, 0, device), audio::Result::Ok);
        double value = -1;
        EXPECT_EQ(audio::ReadNumber(*bridge, device, name, selector, value), audio::Result::Ok)
            << name;
        return value;
    }
    std::vector<int> StoredBands() {
        std::vector<int> bands;
        for (int b = 1; b <= kEqBandCount; ++b) {
            const std::string name = "EQ_Slider" + std::to_string(b);
            bands.push_back(static_cast<int>(Stored(audio::DataFlow::Playback, name.c_str(), {})));
        }
        return bands;
    }

    test::TempDir dir_;
    NullHost host_;
    CManualClock clock_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronVU6533Device> headset_;
};

TEST_F(HeadsetDeviceTest, LightChangesReachTheLedsAsOutputReportsCappedAt247) {
    sim::VirtualFirmware& firmware = bus_->Firmware(Product::Headset);
    struct Case {
        Rgb colour;
        sim::LedColour sent;
    };
    for (const Case& c :
         {Case{{255, 255, 255}, {247, 247, 247}}, Case{{128, 64, 0}, {127, 63, 0}}}) {
        LightInfo light = headset_->LightState();
        light.selectItem = 3;  // static
        light.light = 4;
        light.multiColor = 0;
        light.red = c.colour[0];
        light.green = c.colour[1];
        light.blue = c.colour[2];
        ASSERT_TRUE(headset_->ChangeLight(light, false).Ok());
        headset_->EffectStatic();
        ASSERT_TRUE(headset_->PresentLightFrame());
        ASSERT_TRUE(headset_->WaitLedFramesSent(std::chrono::seconds(2)));
        for (std::uint8_t group : {0x22, 0x44}) {
            const sim::LedRow leds = firmware.Leds(group);
            for (const sim::LedColour& led : leds)
                EXPECT_EQ(led, c.sent) << "group " << int(group);
        }
        EXPECT_EQ(firmware.IgnoredLedReportCount(), 0u);
    }
    EXPECT_EQ(firmware.LedReportCount(), 24u);
    // The mode change went to the record of the profile the headset is on.
    EXPECT_EQ(
        firmware.ReadArea(sim::Area::Setting, LitRecordAddress(0), kLitRecordSize)[litrec::kMode],
        3);
    // An unchanged frame is not sent again until its refresh is due.
    ASSERT_TRUE(headset_->PresentLightFrame());
    ASSERT_TRUE(headset_->WaitLedFramesSent(std::chrono::seconds(2)));
    EXPECT_EQ(firmware.LedReportCount(), 24u);
}

TEST_F(HeadsetDeviceTest, EqualiserPresetsAndCurvesStayAlignedThroughSaveDeleteAndReload) {
    ASSERT_TRUE(headset_->SelectEqPreset(5).Ok());
    EXPECT_EQ(Stored(audio::DataFlow::Playback, "Enable_EQ_GFX", {}), 1);
    EXPECT_EQ(StoredBands(), std::vector<int>(10, 0));

    const EqBands bass{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    const EqBands voice{-1, -2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(headset_->SaveCustomEq("Bass", -1, bass).Ok());
    ASSERT_TRUE(headset_->SaveCustomEq("Voice", -1, voice).Ok());
    EXPECT_EQ(headset_->SaveCustomEq("bASS", -1, voice).messageKey, kMsgNameTaken);
    ASSERT_TRUE(headset_->SelectEqPreset(kEqCustom, 0).Ok());
    EXPECT_EQ(StoredBands(), std::vector<int>(bass.begin(), bass.end()));

    // Deleting the curve that plays: the other keeps its own values and plays instead.
    ASSERT_TRUE(headset_->DeleteCustomEq(0).Ok());
    EXPECT_EQ(StoredBands(), std::vector<int>(voice.begin(), voice.end()));
    headset_ = MakeHeadset();
    const HeadsetSoundView view = headset_->SoundView();
    EXPECT_EQ(view.customNames, std::vector<std::string>{"Voice"});
    EXPECT_EQ(view.bands, voice);
    EXPECT_EQ(view.stages.eqType, kEqCustom);
    EXPECT_EQ(view.customShown, 0);

    // The last curve gone: back to preset 1.
    ASSERT_TRUE(headset_->DeleteCustomEq(0).Ok());
    EXPECT_EQ(headset_->SoundView().stages.eqType, 1);
    EXPECT_EQ(headset_->SoundView().bands, EqPresets()[0]);
}

TEST_F(HeadsetDeviceTest, ProfileResetKeepsTheCustomEqualisers) {
    CProfileListStore store(kDeviceTypeHeadset, headset_->GetUserDataFolder(),
                            headset_->GetDefaultProfilePath());
    ASSERT_EQ(store.InitProfileList(), 0);
    headset_->SetProfileName(store.GetCurrentProfileId());
    headset_->LoadProfile();
    ASSERT_TRUE(headset_->SaveCustomEq("Mine", -1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}).Ok());
    ASSERT_TRUE(headset_->SelectEqPreset(kEqCustom, 0).Ok());
    ASSERT_TRUE(headset_->SetVoiceEffect(3).Ok());

    ASSERT_EQ(store.ResetProfile(), 0);
    headset_->LoadProfile();
    const HeadsetSoundView view = headset_->SoundView();
    EXPECT_EQ(view.customNames, std::vector<std::string>{"Mine"});
    EXPECT_EQ(headset_->Profile().ReadCustomEqValues(0),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(view.stages.eqType, 5) << "everything else comes from the factory profile";
    EXPECT_EQ(view.stages.magicType, 1);
}

TEST_F(HeadsetDeviceTest, MicrophoneAndMonitorRoundTripThroughTheStore) {
    for (int level : {0, 29, 37, 100}) {
        ASSERT_TRUE(headset_->SetMicLevel(level).Ok());
        ASSERT_TRUE(headset_->SetMonitorLevel(100 - level).Ok());
        ASSERT_TRUE(headset_->SetMicMuted(level % 2 == 1).Ok());
        ASSERT_TRUE(headset_->SetMonitorMuted(level % 2 == 0).Ok());
        EXPECT_FLOAT_EQ(Stored(audio::DataFlow::Recording, "VolumeScalarControl", -1),
                        level / 100.0f);
        headset_ = MakeHeadset();  // reads the state back from the store
        const HeadsetSystemSetStages s = headset_->SoundView().stages;
        EXPECT_EQ(s.micInValue, level);
        EXPECT_EQ(s.micMoniterValue, 100 - level);
        EXPECT_EQ(s.micInSelect, level % 2 == 1 ? 0 : 1);
        EXPECT_EQ(s.micMoniterSelect, level % 2 == 0 ? 0 : 1);
    }
    EXPECT_EQ(headset_->SetMicLevel(101).code, kResultRefused);
}

TEST_F(HeadsetDeviceTest, ABackEndThatDoesNotStartIsNeverCalledAndSettingsStayInTheProfile) {
    headset_ = MakeHeadset(true);
    EXPECT_FALSE(headset_->SoundReady());
    EXPECT_FALSE(headset_->SoundUnavailableReason().empty());
    for (SoundFeature f :
         {SoundFeature::MicLevel, SoundFeature::MicMute, SoundFeature::MonitorLevel,
          SoundFeature::MonitorMute, SoundFeature::Equaliser, SoundFeature::VoiceChanger})
        EXPECT_FALSE(headset_->Available(f));
    EXPECT_EQ(headset_->SetMicLevel(40).messageKey, kMsgSoundUnavailable);
    ASSERT_TRUE(headset_->SelectEqPreset(3).Ok());
    ASSERT_TRUE(headset_->SetVoiceEffect(2).Ok());
    headset_->LoadProfile();
    EXPECT_EQ(headset_->SoundView().stages.eqType, 3);
    EXPECT_EQ(headset_->SoundView().stages.magicType, 2);
}

TEST_F(HeadsetDeviceTest, WaveSpacingAndMusicBarsWithinTheHeadsetsThirteenLeds) {
    LightInfo light = headset_->LightState();
    light.selectItem = 0;
    light.multiColor = 1;
    light.light = 4;
    headset_->SetLightInfo(light);
    headset_->SetWaveCounter(190);
    headset_->EffectWave();  // the counter steps to 191; LEDs are 16 wheel places apart
    for (const auto& [led, entry] : {std::pair{0, 0}, std::pair{1, 16}, std::pair{12, 0}}) {
        const Rgb& c = preview::ColourWheel()[static_cast<std::size_t>(entry)];
        EXPECT_EQ(headset_->GetLedColour(led), (LedColour{c[0], c[1], c[2], 255}.Pack())) << led;
    }

    light.selectItem = 7;
    light.multiColor = 0;
    light.light = 4;
    headset_->SetLightInfo(light);
    headset_->SetLedColour(0, 0x12345678);
    CPreviewEngine& engine = headset_->Engine();
    for (int i = 0; i < CPreviewEngine::kMusicPeaks; ++i)
        engine.SetPeak(i, i % 2 == 0);
    for (int step = 0; step < 12; ++step) {
        headset_->EffectMusic();
        EXPECT_EQ(headset_->GetLedColour(0), 0x12345678u);
        for (int i = 1; i <= 6; ++i)
            EXPECT_EQ(headset_->GetLedColour(i), headset_->GetLedColour(13 - i)) << i;
    }
    EXPECT_NE(LedColour::Unpack(headset_->GetLedColour(1)).alpha, 0) << "peaks light the bars";
}

}  // namespace
}  // namespace morva
