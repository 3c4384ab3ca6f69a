#include "device/models/mousepad_device.h"

#include <algorithm>

#include "base/debug_log.h"

namespace morva {
namespace {

// Mode 7 lights the pad's sides as seven bars; LED 0 is left alone.
constexpr std::array<std::array<int, 2>, 7> kPadPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};
constexpr int kReactivePeaks = 23;
constexpr int kMusicPeakFlags = 8;

int FirstFailure(std::initializer_list<int> results) {
    for (int r : results) {
        if (r != kResultOk)
            return r;
    }
    return kResultOk;
}

std::uint32_t Packed(const Rgb& c, std::uint8_t alpha) {
    return LedColour{c[0], c[1], c[2], alpha}.Pack();
}

}  // namespace

CTessaronMousePadDevice::CTessaronMousePadDevice(hid::IHidBackend& backend, IClock& clock)
    : CTessaronUSBDevice(backend, clock) {
    profile_.SetLightConfigIndex(kKindMousePad);
}

CTessaronMousePadDevice::~CTessaronMousePadDevice() {
    StopThreads();
}

// ---- Reading ----

void CTessaronMousePadDevice::ReadFromDevice() {
    CDeviceChannel& channel = CommandChannel();
    if (channel.IsOpen()) {
        std::array<std::uint8_t, kInfoBlockSize> info{};
        const bool read = CmdBegin(channel) == kResultOk && CmdReadInfo(channel, info) == kResultOk;
        CmdEnd(channel);
        if (read)
            SetInfo(info);
        else
            DebugLog("pad: reading the device failed\n");
    }
    LoadProfile();
    RefreshPage();
    StartLightThread();
}

bool CTessaronMousePadDevice::ReadRecord(std::array<std::uint8_t, kPadRecordStride>& record,
                                         int& active) {
    CDeviceChannel& channel = CommandChannel();
    if (!channel.IsOpen())
        return false;
    std::uint8_t index = 0;
    if (CmdReadSetting(channel, &index, 1, 0) != kResultOk)
        return false;
    record.fill(0);
    if (CmdReadSetting(channel, record.data(), record.size(), PadRecordAddress(index)) != kResultOk)
        return false;
    active = index;
    return true;
}

void CTessaronMousePadDevice::ReadActiveProfile() {
    CommandChannel().externalColour = false;
    std::array<std::uint8_t, kPadRecordStride> read{};
    int active = 0;
    // A failed read keeps what the pad last told: its zeros were never the pad's.
    if (ReadRecord(read, active)) {
        PadRecord record{};
        std::copy_n(read.begin(), record.size(), record.begin());
        record[padrec::kProfile] = static_cast<std::uint8_t>(active);
        if (const int mode = LightModeOfCode(record[padrec::kMode]); mode >= 0)
            record[padrec::kMode] = static_cast<std::uint8_t>(mode);
        record[padrec::kSpeed] =
            static_cast<std::uint8_t>(std::clamp(4 - record[padrec::kSpeed], 0, 4));
        LightInfo light = LightState();
        light.selectItem = record[padrec::kMode];
        light.light = record[padrec::kBrightness];
        light.speed = record[padrec::kSpeed];
        light.multiColor = record[padrec::kMultiColour];
        light.red = record[padrec::kRed];
        light.green = record[padrec::kGreen];
        light.blue = record[padrec::kBlue];
        {
            std::lock_guard lock(stateLock_);
            activeProfile_ = active;
            recordCopy_ = record;
        }
        profile_.WriteLightInfo(light);
        SetLightInfo(light);
        SaveProfile();
    }
    if (Host() != nullptr)
        Host()->SendOwnerMessage(0x0D00, ActiveProfile(), 0);
    RefreshPage();
}

void CTessaronMousePadDevice::RefreshPowerStatus() {
    PollPowerStatus();
}

// ---- Profile ----

void CTessaronMousePadDevice::SetProfilePaths() {
    PointProfileAt(profile_, kDeviceTypeMousePad);
}

std::string CTessaronMousePadDevice::GetProfilePath() const {
    return profile_.GetDocumentPath();
}

int CTessaronMousePadDevice::LoadProfile() {
    SetProfilePaths();
    const std::string path = profile_.GetDocumentPath();
    const Json::Value document =
        profile_.LoadDocument(path.empty() ? GetDefaultProfilePath() : path);
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    ApplyLightSettings();
    return !path.empty() && !document.isNull() ? 1 : 0;
}

void CTessaronMousePadDevice::LoadDefaultProfile() {
    SetProfilePaths();
    profile_.LoadDocument(GetDefaultProfilePath());
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    ApplyLightSettings();
    SaveProfile();
    RefreshPage();
}

int CTessaronMousePadDevice::SaveProfile() {
    return profile_.Save();
}

void CTessaronMousePadDevice::SetDeviceKind(int kind) {
    CTessaronUSBDevice::SetDeviceKind(kind);
    profile_.SetDeviceIndex(0);
}

void CTessaronMousePadDevice::SetLightInfo(const LightInfo& info) {
    CTessaronUSBDevice::SetLightInfo(info);
    profile_.WriteLightInfo(info);
}

void CTessaronMousePadDevice::ApplyLightSettings() {
    const LightInfo light = profile_.ReadLightInfo();
    {
        std::lock_guard lock(stateLock_);
        recordCopy_[padrec::kMode] = light.selectItem;
        recordCopy_[padrec::kBrightness] = light.light;
        recordCopy_[padrec::kSpeed] = light.speed;
        recordCopy_[padrec::kMultiColour] = light.multiColor;
        recordCopy_[padrec::kRed] = light.red;
        recordCopy_[padrec::kGreen] = light.green;
        recordCopy_[padrec::kBlue] = light.blue;
    }
    CTessaronUSBDevice::SetLightInfo(light);
    const std::vector<LightInfo> leds = profile_.ReadLightList();
    WithLedLightList([&](std::vector<LightInfo>& list) {
        for (std::size_t i = 0; i < list.size(); ++i)
            list[i] = i < leds.size() ? leds[i] : LightInfo{};
        overlay_.RestartOverlay();
    });
    EffectPlayer().Load(profile_.ReadEffectList(defaults_.FirstCustomEffectMode()));
}

void CTessaronMousePadDevice::RefreshPage() {
    LoadDefaultData();
    if (Host() != nullptr)
        Host()->RefreshPage();
}

void CTessaronMousePadDevice::LoadDefaultData() {
    defaults_.LoadDefaultData(GetUserDataFolder(), GetDefaultDataFolder(), GetDeviceKind(),
                              kReadOnlyMacroListFileName);
}

int CTessaronMousePadDevice::ActiveProfile() const {
    std::lock_guard lock(stateLock_);
    return activeProfile_;
}

PadRecord CTessaronMousePadDevice::RecordCopy() const {
    std::lock_guard lock(stateLock_);
    return recordCopy_;
}

int CTessaronMousePadDevice::LightModeCode(int mode) const {
    const std::vector<int>& codes = defaults_.lightModeCodes;
    return mode >= 0 && static_cast<std::size_t>(mode) < codes.size()
               ? codes[static_cast<std::size_t>(mode)]
               : mode;
}

int CTessaronMousePadDevice::LightModeOfCode(int code) const {
    const std::vector<int>& codes = defaults_.lightModeCodes;
    const auto it = std::find(codes.begin(), codes.end(), code);
    return it == codes.end() ? -1 : static_cast<int>(it - codes.begin());
}

// ---- Writing ----

PadRecord CTessaronMousePadDevice::BuildRecord() const {
    PadRecord record = RecordCopy();
    record[padrec::kMode] = static_cast<std::uint8_t>(LightModeCode(record[padrec::kMode]));
    record[padrec::kSpeed] =
        static_cast<std::uint8_t>(4 - std::min<int>(record[padrec::kSpeed], 4));
    return record;
}

int CTessaronMousePadDevice::DownloadSettings(int /*profile*/, int /*value0*/, int /*value59*/,
                                              int /*width*/, int /*height*/) {
    CDeviceChannel& channel = CommandChannel();
    if (!channel.IsOpen())
        return kResultNoAnswer;
    // Callers name no profile: the record goes to the one the pad is on, so the pad stays there
    // and the other profiles keep theirs.
    const int active = ActiveProfile();
    PadRecord record = BuildRecord();
    record[padrec::kProfile] = static_cast<std::uint8_t>(active);
    const int begin = CmdBegin(channel);
    const int write = begin == kResultOk ? CmdWriteSetting(channel, record.data(), record.size(),
                                                           PadRecordAddress(active))
                                         : begin;
    const int end = CmdEnd(channel);
    return FirstFailure({begin, write, end});
}

// ---- Events ----

void CTessaronMousePadDevice::OnEventWord(std::uint16_t word, EventLink link) {
    if (word == kEventActiveProfile)
        CTessaronUSBDevice::OnEventWord(word, link);
}

// ---- Lighting ----

CTessaronUSBDevice::EffectStep CTessaronMousePadDevice::LightModeStep(int mode) const {
    using Self = CTessaronMousePadDevice;
    switch (mode) {
        case 0:
            return static_cast<EffectStep>(&Self::EffectWave);
        case 1:
            return &CTessaronUSBDevice::EffectSpectrum;
        case 2:
            return &CTessaronUSBDevice::EffectBreathCycle;
        case 3:
            return &CTessaronUSBDevice::EffectStatic;
        case 4:
            return &CTessaronUSBDevice::EffectFlash;
        case 6:
            return static_cast<EffectStep>(&Self::EffectReactive);
        case 7:
            return static_cast<EffectStep>(&Self::EffectMusic);
        case 8:
            return &CTessaronUSBDevice::EffectOff;
        default:
            return nullptr;
    }
}

void CTessaronMousePadDevice::AfterLightPass() {
    const IClock::TimePoint now = TimeSource().Now();
    WithLedLightList([&](const std::vector<LightInfo>& list) { overlay_.ApplyOverlay(list, now); });
}

void CTessaronMousePadDevice::EffectWave() {
    const PreviewLight light = Engine().Light();
    const std::uint8_t scale =
        preview::kBrightnessScale[std::min<std::size_t>(light.brightness, 4)];
    const bool forward = light.direction != 0;
    const int leds = std::min(LedCount(), kPadLeds);
    if (light.multiColor != 0) {
        counter_ = StepCounter(forward, 192, counter_, 1);
        for (int i = 0; i < leds; ++i) {
            const auto entry = static_cast<std::size_t>((counter_ + 1 + 7 * i) % 192);
            SetLedColour(i, Packed(preview::ColourWheel()[entry], scale));
        }
        return;
    }
    counter_ = StepCounter(forward, 96, static_cast<std::uint8_t>(counter_ % 96), 1);
    const Rgb colour{light.red, light.green, light.blue};
    for (int i = 0; i < leds; ++i) {
        const auto at = static_cast<std::size_t>((counter_ + 1 + 7 * i) % 96);
        SetLedColour(
            i, Packed(colour, static_cast<std::uint8_t>(scale * preview::WaveCurve()[at] / 256)));
    }
}

void CTessaronMousePadDevice::MusicPeaks() {
    CPreviewEngine& engine = Engine();
    for (int i = 0; i < std::min(LedCount(), CPreviewEngine::kMusicPeaks); ++i) {
        if (engine.Peak(i))
            engine.SetMusicLevel(i, 255);
    }
}

void CTessaronMousePadDevice::EffectReactive() {
    MusicStep(false);
}

void CTessaronMousePadDevice::EffectMusic() {
    MusicStep(true);
}

void CTessaronMousePadDevice::MusicStep(bool pairs) {
    CPreviewEngine& engine = Engine();
    const PreviewLight light = engine.Light();
    const bool forward = light.direction != 0;
    const std::uint8_t scale =
        preview::kBrightnessScale[std::min<std::size_t>(light.brightness, 4)];
    counter_ = StepCounter(forward, 192, counter_, 1);
    if (stepCount_ > 1) {
        stepCount_ = 0;
        MusicPeaks();
        // Reactive runs the peaks round all 23 places, music round the first 8 the other way.
        const int n = pairs ? kMusicPeakFlags : kReactivePeaks;
        const bool towardFront = pairs ? !forward : forward;
        std::array<bool, kReactivePeaks> flags{};
        for (int i = 0; i < n; ++i)
            flags[static_cast<std::size_t>(i)] = engine.Peak(i);
        if (towardFront)
            std::rotate(flags.begin(), flags.begin() + n - 1, flags.begin() + n);
        else
            std::rotate(flags.begin(), flags.begin() + 1, flags.begin() + n);
        for (int i = 0; i < n; ++i)
            engine.SetPeak(i, flags[static_cast<std::size_t>(i)]);
    }
    ++stepCount_;
    const int leds = std::min(LedCount(), kPadLeds);
    const int lead = forward ? 0 : leds - 1;
    const Rgb fixed{light.red, light.green, light.blue};
    const int bars = pairs ? static_cast<int>(kPadPairs.size()) : leds;
    for (int b = 0; b < bars; ++b) {
        engine.MusicDecay(b, light.mode);
        const int first = pairs ? kPadPairs[static_cast<std::size_t>(b)][0] : b;
        const auto alpha = static_cast<std::uint8_t>(scale * engine.MusicLevel(b) / 256);
        LedColour colour = LedColour::Unpack(engine.GetLedColour(first));
        if (light.multiColor != 0) {
            counter_ = static_cast<std::uint8_t>(counter_ + 12);
            const int w = counter_ >= 192 ? counter_ - 192 : counter_;
            // While the leading LED is lit each bar keeps the colour it shows.
            if (engine.MusicLevel(lead) == 0) {
                const Rgb& c = preview::ColourWheel()[static_cast<std::size_t>(w)];
                colour = {c[0], c[1], c[2], 0};
            }
        } else {
            colour = {fixed[0], fixed[1], fixed[2], 0};
        }
        colour.alpha = alpha;
        SetLedColour(first, colour.Pack());
        if (pairs)
            SetLedColour(kPadPairs[static_cast<std::size_t>(b)][1], colour.Pack());
    }
}

}  // namespace morva
