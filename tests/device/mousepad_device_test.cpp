// The pad model against the simulated pad: the setting record of the profile the pad is on,
// read and written at one place; failing exchanges; the event reader; the pad's own steps.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>

#include "base/clock.h"
#include "device/models/mousepad_device.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using namespace std::chrono_literals;
using sim::Area;
using sim::Link;
using sim::Product;

constexpr int kPadTypeRow = 2;

class Host : public IDeviceHost {
public:
    void StartEntryTimer(int id, int ms) override {
        std::lock_guard lock(mutex);
        timers.emplace_back(id, ms);
        changed.notify_all();
    }
    void SendOwnerMessage(int message, std::intptr_t w, std::intptr_t) override {
        if (message == 0x0D00)
            ownerProfile = static_cast<int>(w);
    }
    void ShowPowerStatus(std::span<const std::uint8_t>) override {}
    void RefreshPage() override {}
    bool WaitForTimers(std::size_t count, std::chrono::milliseconds limit = 2s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return timers.size() >= count; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, int>> timers;
    int ownerProfile = -1;
};

const SupportedInterface& PadCommandRecord() {
    for (const SupportedInterface& r : SupportedInterfaces()) {
        if (r.deviceType == kDeviceTypeMousePad && r.role == 0)
            return r;
    }
    return SupportedInterfaces()[0];
}

class MousePadDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimBusOptions options;
        options.plugged = {Link::Pad};
        bus_ = std::make_unique<sim::SimBus>(options);
        pad_ = MakePad();
    }
    void TearDown() override { pad_.reset(); }

    std::unique_ptr<CTessaronMousePadDevice> MakePad() {
        auto pad = std::make_unique<CTessaronMousePadDevice>(*bus_, clock_);
        pad->SetHost(&host_);
        pad->SetDataRoots(dir_.path().string(), MORVA_RES_DIR);
        pad->ApplyTypeRow(kPadTypeRow);
        pad->SetSlotRecord(PadCommandRecord());
        pad->CommandChannel().cableTimeoutMs = 200;
        EXPECT_TRUE(pad->Links().Open(ProductLink::Cable, bus_->CommandPath(Link::Pad)));
        pad->ReadFromDevice();
        pad->StopLightThread();
        return pad;
    }
    sim::VirtualFirmware& Firmware() { return bus_->Firmware(Product::Pad); }
    std::vector<std::uint8_t> Record(int profile) {
        return Firmware().ReadArea(Area::Setting, LitRecordAddress(profile), kLitRecordStride);
    }
    void SwitchPadTo(int profile) {
        const std::uint8_t b = static_cast<std::uint8_t>(profile);
        ASSERT_TRUE(Firmware().WriteArea(Area::Setting, 0, std::span(&b, 1)));
    }

    test::TempDir dir_;
    Host host_;
    CManualClock clock_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronMousePadDevice> pad_;
};

TEST_F(MousePadDeviceTest, LightChangeReachesTheRecordOfTheProfileThePadIsOn) {
    for (int profile : {0, 1}) {
        SCOPED_TRACE(profile);
        SwitchPadTo(profile);
        pad_->ReadActiveProfile();
        ASSERT_EQ(pad_->ActiveProfile(), profile);
        EXPECT_EQ(host_.ownerProfile, profile);
        const std::vector<std::uint8_t> other = Record(2);

        LightInfo light = pad_->LightState();
        light.selectItem = 3;  // static
        light.speed = 4;
        light.light = 2;
        light.red = 10 + profile;
        ASSERT_TRUE(pad_->ChangeLight(light, false).Ok());

        const std::vector<std::uint8_t> r = Record(profile);
        EXPECT_EQ(r[litrec::kProfile], profile);
        EXPECT_EQ(r[litrec::kMode], 3);   // the pad's code of page mode 3
        EXPECT_EQ(r[litrec::kSpeed], 0);  // the pad counts speed down
        EXPECT_EQ(r[litrec::kBrightness], 2);
        EXPECT_EQ(r[litrec::kRed], 10 + profile);
        EXPECT_EQ(pad_->RecordCopy()[litrec::kSpeed], 4);
        EXPECT_EQ(Record(2), other);
        EXPECT_EQ(Firmware().ReadArea(Area::Setting, 0, 1)[0], profile) << "the pad stays there";

        // A fresh model reads back what was written, from the same place.
        pad_.reset();
        pad_ = MakePad();
        pad_->ReadActiveProfile();
        EXPECT_EQ(pad_->LightState().selectItem, 3);
        EXPECT_EQ(pad_->LightState().speed, 4);
        EXPECT_EQ(pad_->LightState().red, 10 + profile);
    }
    // Profile 0's record kept its own change while profile 1 was written.
    EXPECT_EQ(Record(0)[litrec::kRed], 10);
}

TEST_F(MousePadDeviceTest, FailingExchangesAreReportedAndAFailedReadKeepsTheRecord) {
    const LitRecord before = pad_->RecordCopy();
    bus_->InjectFault(Link::Pad, sim::Fault::StatusFF);
    pad_->ReadActiveProfile();
    EXPECT_EQ(pad_->RecordCopy(), before);

    // The first failing exchange is the one reported, not the end command's answer.
    for (const auto& [fault, code] : {std::pair{sim::Fault::StatusFF, kResultStatusFF},
                                      std::pair{sim::Fault::WriteFailure, kResultWriteFailed}}) {
        bus_->InjectFault(Link::Pad, fault);
        EXPECT_EQ(pad_->DownloadSettings(0, 0, 1, 1920, 1080), code);
    }
    bus_->InjectFault(Link::Pad, sim::Fault::WriteFailure);
    const OpResult result = pad_->ChangeLight(pad_->LightState(), false);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.messageKey, kMsgDeviceWriteFailed);
    // A write that never arrives, after a begin that did.
    bus_->UnplugAfterReports(Link::Pad, 1);
    const int lost = pad_->DownloadSettings(0, 0, 1, 1920, 1080);
    EXPECT_NE(lost, kResultOk);
    EXPECT_EQ(Record(0)[litrec::kRed], before[litrec::kRed]);
}

TEST_F(MousePadDeviceTest, OnlyTheSyncWordStartsTheTimerAndClosingEndsTheBlockedReader) {
    ASSERT_TRUE(pad_->OpenEventLink(EventLink::Cable, bus_->EventPath(Link::Pad)));
    ASSERT_TRUE(bus_->SendEvent(Link::Pad, 0x0403));
    ASSERT_TRUE(bus_->SendEvent(Link::Pad, 0x0401));
    ASSERT_TRUE(host_.WaitForTimers(1));
    {
        std::lock_guard lock(host_.mutex);
        EXPECT_EQ(host_.timers,
                  (std::vector<std::pair<int, int>>{{kEntryTimerActiveProfile, 500}}));
    }
    // The reader now waits in a read without a time limit: destruction must not hang on it.
    const auto start = std::chrono::steady_clock::now();
    pad_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

TEST_F(MousePadDeviceTest, WaveAndMusicSteps) {
    LightInfo light = pad_->LightState();
    light.selectItem = 0;
    light.multiColor = 1;
    light.light = 4;
    light.fx = 1;
    pad_->SetLightInfo(light);
    pad_->SetWaveCounter(190);
    pad_->EffectWave();  // the counter steps to 191
    const auto wheel = [](int i) {
        const Rgb& c = preview::ColourWheel()[static_cast<std::size_t>(i)];
        return LedColour{c[0], c[1], c[2], 255}.Pack();
    };
    EXPECT_EQ(pad_->GetLedColour(0), wheel(0));
    EXPECT_EQ(pad_->GetLedColour(1), wheel(7));
    EXPECT_EQ(pad_->GetLedColour(14), wheel((192 + 98) % 192));

    light.selectItem = 7;
    pad_->SetLightInfo(light);
    pad_->SetLedColour(0, 0x12345678);
    CPreviewEngine& engine = pad_->Engine();
    for (int i = 0; i < CPreviewEngine::kMusicPeaks; ++i)
        engine.SetPeak(i, i % 3 == 0);
    for (int step = 0; step < 12; ++step) {
        pad_->EffectMusic();
        EXPECT_EQ(pad_->GetLedColour(0), 0x12345678u);
        EXPECT_EQ(pad_->GetLedColour(1), pad_->GetLedColour(14));
        EXPECT_EQ(pad_->GetLedColour(7), pad_->GetLedColour(8));
    }
    EXPECT_NE(LedColour::Unpack(pad_->GetLedColour(1)).alpha, 0) << "peaks light the bars";
}

TEST_F(MousePadDeviceTest, TheLightThreadPaintsTheLedListOverTheMode) {
    // Profile: static blue, with LED 3 held red and LED 5 dark by the per-LED list.
    Json::Value document = ReadJsonFile(pad_->GetProfilePath());
    Json::Value& device = document["Device"][0];
    device["LightInfo"]["SelectItem"] = 3;
    device["LightInfo"]["MultiColor"] = 0;
    device["LightInfo"]["Red"] = 0;
    device["LightInfo"]["Green"] = 0;
    device["LightInfo"]["Blue"] = 255;
    Json::Value red;
    red["LEDREGMode"] = 1;
    red["LEDBrightness"] = 4;
    red["red"] = 255;
    Json::Value off;
    off["LEDREGMode"] = 4;
    device["LightList"][3] = red;
    device["LightList"][5] = off;
    ASSERT_EQ(WriteJsonFile(pad_->GetProfilePath(), document), 0);
    ASSERT_EQ(pad_->LoadProfile(), 1);

    pad_->StartLightThread();
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    ASSERT_TRUE(clock_.Advance(pad_->LightStepPeriod()));
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    pad_->StopLightThread();
    EXPECT_EQ(pad_->GetLedColour(0), (LedColour{0, 0, 255, 255}.Pack()));
    EXPECT_EQ(pad_->GetLedColour(3), (LedColour{255, 0, 0, 255}.Pack()));
    EXPECT_EQ(LedColour::Unpack(pad_->GetLedColour(5)).alpha, 0);
}

TEST_F(MousePadDeviceTest, MusicBandsRaiseTheBarsOfTheMusicModesOnly) {
    // Bands 0..24 as the analysis hands them; the loudest of a bar's bands counts, 500 fills it.
    std::array<std::uint8_t, 100> bytes{};
    const auto band = [&](int j, std::int32_t v) { std::memcpy(&bytes[4 * j], &v, 4); };
    band(0, 250);
    band(1, 500);
    band(24, 9000);
    LightInfo light = pad_->LightState();
    struct Case {
        int mode, bars;
    };
    for (const Case c : {Case{7, 7}, Case{6, 15}, Case{3, 0}}) {
        SCOPED_TRACE(c.mode);
        light.selectItem = static_cast<std::uint8_t>(c.mode);
        pad_->SetLightInfo(light);
        pad_->MusicReset();
        EXPECT_EQ(pad_->FollowsMusic(), c.bars > 0);
        pad_->OnAudioSpectrum(bytes.data(), 25);
        const CPreviewEngine& engine = pad_->Engine();
        if (c.bars == 0) {
            EXPECT_EQ(engine.MusicLevel(0), 0);
            continue;
        }
        // Seven pairs: bar 0 holds bands 0..2; fifteen LEDs: bar 0 holds band 0 alone.
        EXPECT_EQ(engine.MusicLevel(0), c.bars == 7 ? 255 : 127);
        EXPECT_EQ(engine.MusicLevel(c.bars - 1), 255) << "a loud band is held at full";
        EXPECT_EQ(engine.MusicLevel(c.bars / 2), 0);
        EXPECT_EQ(engine.MusicLevel(c.bars), 0) << "no bar past the mode's own";
    }
}

}  // namespace
}  // namespace morva
