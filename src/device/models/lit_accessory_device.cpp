#include "device/models/lit_accessory_device.h"

#include <algorithm>

#include "base/debug_log.h"

namespace morva {
namespace {

constexpr int kReactivePeaks = 23;
constexpr int kMusicPeakFlags = 8;

}  // namespace

CLitAccessoryDevice::CLitAccessoryDevice(hid::IHidBackend& backend, IClock& clock,
                                         std::unique_ptr<CBasicProfiledata> profile,
                                         std::uint16_t deviceType, int lightConfigKind)
    : CTessaronUSBDevice(backend, clock), profile_(std::move(profile)), deviceType_(deviceType) {
    profile_->SetLightConfigIndex(lightConfigKind);
}

// The light thread calls the products' overrides: they stop it in their own destructors.
CLitAccessoryDevice::~CLitAccessoryDevice() = default;

// ---- Reading ----

void CLitAccessoryDevice::ReadInfoAndStart() {
    CDeviceChannel& channel = CommandChannel();
    if (channel.IsOpen()) {
        std::array<std::uint8_t, kInfoBlockSize> info{};
        const bool read = CmdBegin(channel) == kResultOk && CmdReadInfo(channel, info) == kResultOk;
        // An end the device did not confirm may leave it waiting for more commands.
        if (CmdEnd(channel) != kResultOk || !read)
            NoteReadFailure();
        if (read)
            SetInfo(info);
        else
            DebugLog("device type %d: reading the device failed\n", deviceType_);
    }
    LoadProfile();
    RefreshPage();
    StartLightThread();
}

bool CLitAccessoryDevice::ReadRecord(std::array<std::uint8_t, kLitRecordStride>& record,
                                     int& active) {
    CDeviceChannel& channel = CommandChannel();
    if (!channel.IsOpen())
        return false;
    std::uint8_t index = 0;
    if (CmdReadSetting(channel, &index, 1, 0) != kResultOk)
        return false;
    record.fill(0);
    if (CmdReadSetting(channel, record.data(), record.size(), LitRecordAddress(index)) != kResultOk)
        return false;
    active = index;
    return true;
}

void CLitAccessoryDevice::ReadActiveProfile() {
    CommandChannel().externalColour = false;
    std::array<std::uint8_t, kLitRecordStride> read{};
    int active = 0;
    // A failed read keeps what the device last told: its zeros were never the device's.
    if (ReadRecord(read, active)) {
        LitRecord record{};
        std::copy_n(read.begin(), record.size(), record.begin());
        record[litrec::kProfile] = static_cast<std::uint8_t>(active);
        if (const int mode = LightModeOfCode(record[litrec::kMode]); mode >= 0)
            record[litrec::kMode] = static_cast<std::uint8_t>(mode);
        record[litrec::kSpeed] =
            static_cast<std::uint8_t>(std::clamp(4 - record[litrec::kSpeed], 0, 4));
        LightInfo light = LightState();
        light.selectItem = record[litrec::kMode];
        light.light = record[litrec::kBrightness];
        light.speed = record[litrec::kSpeed];
        light.multiColor = record[litrec::kMultiColour];
        light.red = record[litrec::kRed];
        light.green = record[litrec::kGreen];
        light.blue = record[litrec::kBlue];
        {
            std::lock_guard lock(stateLock_);
            activeProfile_ = active;
            recordCopy_ = record;
        }
        profile_->WriteLightInfo(light);
        SetLightInfo(light);
        SaveProfile();
    } else if (CommandChannel().IsOpen()) {
        NoteReadFailure();
    }
    if (Host() != nullptr)
        Host()->SendOwnerMessage(0x0D00, ActiveProfile(), 0);
    RefreshPage();
}

void CLitAccessoryDevice::RefreshPowerStatus() {
    PollPowerStatus();
}

// ---- Profile ----

void CLitAccessoryDevice::SetProfilePaths() {
    PointProfileAt(*profile_, deviceType_);
}

std::string CLitAccessoryDevice::GetProfilePath() const {
    return profile_->GetDocumentPath();
}

int CLitAccessoryDevice::LoadProfile() {
    SetProfilePaths();
    const std::string path = profile_->GetDocumentPath();
    const Json::Value document =
        profile_->LoadDocument(path.empty() ? GetDefaultProfilePath() : path);
    profile_->LoadLightConfig(profile_->GetLightConfigPath());
    ApplyLightSettings();
    OnProfileLoaded();
    return !path.empty() && !document.isNull() ? 1 : 0;
}

void CLitAccessoryDevice::LoadDefaultProfile() {
    SetProfilePaths();
    profile_->LoadDocument(GetDefaultProfilePath());
    profile_->LoadLightConfig(profile_->GetLightConfigPath());
    ApplyLightSettings();
    OnProfileLoaded();
    SaveProfile();
    RefreshPage();
}

int CLitAccessoryDevice::SaveProfile() {
    return profile_->Save();
}

void CLitAccessoryDevice::SetDeviceKind(int kind) {
    CTessaronUSBDevice::SetDeviceKind(kind);
    profile_->SetDeviceIndex(0);
}

void CLitAccessoryDevice::SetLightInfo(const LightInfo& info) {
    CTessaronUSBDevice::SetLightInfo(info);
    profile_->WriteLightInfo(info);
}

void CLitAccessoryDevice::ApplyLightSettings() {
    const LightInfo light = profile_->ReadLightInfo();
    {
        std::lock_guard lock(stateLock_);
        recordCopy_[litrec::kMode] = light.selectItem;
        recordCopy_[litrec::kBrightness] = light.light;
        recordCopy_[litrec::kSpeed] = light.speed;
        recordCopy_[litrec::kMultiColour] = light.multiColor;
        recordCopy_[litrec::kRed] = light.red;
        recordCopy_[litrec::kGreen] = light.green;
        recordCopy_[litrec::kBlue] = light.blue;
    }
    CTessaronUSBDevice::SetLightInfo(light);
    const std::vector<LightInfo> leds = profile_->ReadLightList();
    WithLedLightList([&](std::vector<LightInfo>& list) {
        for (std::size_t i = 0; i < list.size(); ++i)
            list[i] = i < leds.size() ? leds[i] : LightInfo{};
        overlay_.RestartOverlay();
    });
    EffectPlayer().Load(profile_->ReadEffectList(defaults_.FirstCustomEffectMode()));
}

void CLitAccessoryDevice::RefreshPage() {
    LoadDefaultData();
    if (Host() != nullptr)
        Host()->RefreshPage();
}

void CLitAccessoryDevice::LoadDefaultData() {
    defaults_.LoadDefaultData(GetUserDataFolder(), GetDefaultDataFolder(), GetDeviceKind(),
                              kReadOnlyMacroListFileName);
}

int CLitAccessoryDevice::ActiveProfile() const {
    std::lock_guard lock(stateLock_);
    return activeProfile_;
}

LitRecord CLitAccessoryDevice::RecordCopy() const {
    std::lock_guard lock(stateLock_);
    return recordCopy_;
}

int CLitAccessoryDevice::LightModeCode(int mode) const {
    const std::vector<int>& codes = defaults_.lightModeCodes;
    return mode >= 0 && static_cast<std::size_t>(mode) < codes.size()
               ? codes[static_cast<std::size_t>(mode)]
               : mode;
}

int CLitAccessoryDevice::LightModeOfCode(int code) const {
    return defaults_.ModeOfCode(code);
}

// ---- Writing ----

LitRecord CLitAccessoryDevice::BuildRecord() const {
    LitRecord record = RecordCopy();
    record[litrec::kMode] = static_cast<std::uint8_t>(LightModeCode(record[litrec::kMode]));
    record[litrec::kSpeed] =
        static_cast<std::uint8_t>(4 - std::min<int>(record[litrec::kSpeed], 4));
    return record;
}

int CLitAccessoryDevice::DownloadSettings(int /*profile*/, int /*value0*/, int /*value59*/,
                                          int /*width*/, int /*height*/) {
    CDeviceChannel& channel = CommandChannel();
    if (!channel.IsOpen())
        return kResultNoAnswer;
    // Callers name no profile: the record goes to the one the device is on, so it stays there
    // and the other profiles keep theirs.
    const int active = ActiveProfile();
    LitRecord record = BuildRecord();
    record[litrec::kProfile] = static_cast<std::uint8_t>(active);
    const int begin = CmdBegin(channel);
    const int write = begin == kResultOk ? CmdWriteSetting(channel, record.data(), record.size(),
                                                           LitRecordAddress(active))
                                         : begin;
    const int end = CmdEnd(channel);
    return FirstFailure({begin, write, end});
}

// ---- Events ----

void CLitAccessoryDevice::OnEventWord(std::uint16_t word, EventLink link) {
    if (word == kEventActiveProfile)
        CTessaronUSBDevice::OnEventWord(word, link);
}

// ---- Lighting ----

CTessaronUSBDevice::EffectStep CLitAccessoryDevice::LightModeStep(int mode) const {
    using Self = CLitAccessoryDevice;
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

void CLitAccessoryDevice::AfterLightPass() {
    const IClock::TimePoint now = TimeSource().Now();
    WithLedLightList([&](const std::vector<LightInfo>& list) { overlay_.ApplyOverlay(list, now); });
}

void CLitAccessoryDevice::PlayWave(const WaveShape& shape) {
    const PreviewLight light = Engine().Light();
    const std::uint8_t scale =
        preview::kBrightnessScale[std::min<std::size_t>(light.brightness, 4)];
    const bool forward = light.direction != 0;
    const int leds = LedCount();
    if (light.multiColor != 0) {
        counter_ = StepCounter(forward, 192, counter_, 1);
        for (int i = 0; i < leds; ++i) {
            const Rgb& c = preview::ColourWheel()[static_cast<std::size_t>(
                (counter_ + 1 + shape.wheelStride * i) % 192)];
            SetLedColour(i, LedColour{c[0], c[1], c[2], scale}.Pack());
        }
        return;
    }
    counter_ = StepCounter(forward, 96, static_cast<std::uint8_t>(counter_ % 96), shape.curveStep);
    for (int i = 0; i < leds; ++i) {
        const auto at =
            static_cast<std::size_t>((counter_ + shape.curveStart + shape.curveStride * i) % 96);
        const auto alpha = static_cast<std::uint8_t>(scale * preview::WaveCurve()[at] / 256);
        SetLedColour(i, LedColour{light.red, light.green, light.blue, alpha}.Pack());
    }
}

void CLitAccessoryDevice::MusicPeaks() {
    CPreviewEngine& engine = Engine();
    for (int i = 0; i < std::min(LedCount(), CPreviewEngine::kMusicPeaks); ++i) {
        if (engine.Peak(i))
            engine.SetMusicLevel(i, 255);
    }
}

void CLitAccessoryDevice::EffectReactive() {
    MusicStep(false);
}

int CLitAccessoryDevice::MusicBarCount(int mode) const {
    if (mode == 6)
        return LedCount();
    return mode == 7 ? static_cast<int>(MusicPairs().size()) : 0;
}

void CLitAccessoryDevice::EffectMusic() {
    MusicStep(true);
}

void CLitAccessoryDevice::MusicStep(bool pairs) {
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
    const int leds = LedCount();
    const std::span<const LedPair> pairTable = MusicPairs();
    const int lead = forward ? 0 : leds - 1;
    const Rgb fixed{light.red, light.green, light.blue};
    const int bars = pairs ? static_cast<int>(pairTable.size()) : leds;
    for (int b = 0; b < bars; ++b) {
        engine.MusicDecay(b, light.mode);
        const int first = pairs ? pairTable[static_cast<std::size_t>(b)][0] : b;
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
            SetLedColour(pairTable[static_cast<std::size_t>(b)][1], colour.Pack());
    }
}

}  // namespace morva
