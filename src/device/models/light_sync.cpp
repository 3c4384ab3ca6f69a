#include "device/models/light_sync.h"

#include <algorithm>

#include "device/device_tables.h"
#include "device/models/usb_device.h"

namespace morva {
namespace {

constexpr int kSyncTypes = 5;
// Each kind's light mode for breathing, static, flashing, colour wheel and off.
constexpr std::array<int, kSyncTypes> kKeyboardEffects = {5, 6, 23, 4, 28};
constexpr std::array<int, kSyncTypes> kMouseEffects = {2, 3, 4, 1, 9};
constexpr std::array<int, kSyncTypes> kAccessoryEffects = {2, 3, 4, 1, 8};

const std::array<int, kSyncTypes>* EffectsOf(int kind) {
    switch (kind) {
        case kKindKeyboard:
            return &kKeyboardEffects;
        case kKindMouse:
            return &kMouseEffects;
        case kKindMousePad:
        case kKindHeadset:
            return &kAccessoryEffects;
        default:
            return nullptr;
    }
}

std::size_t PaintGroup(int kind) {
    switch (kind) {
        case kKindMouse:
            return 0;
        case kKindMousePad:
            return 1;
        case kKindHeadset:
            return 2;
        default:
            return 3;
    }
}

constexpr std::uint8_t kFlashWheelAdvance = 14;
constexpr std::chrono::milliseconds kFlashUnit{200};

}  // namespace

SyncLight SyncLight::Of(SyncType type, const LightInfo& info) {
    return {static_cast<std::uint8_t>(type),
            info.light,
            info.speed,
            info.fx,
            info.multiColor,
            info.red,
            info.green,
            info.blue};
}

std::optional<int> SameModeEffect(int kind, SyncType type) {
    const auto* effects = EffectsOf(kind);
    const auto t = static_cast<std::size_t>(type);
    if (effects == nullptr || t >= effects->size())
        return std::nullopt;
    return (*effects)[t];
}

std::optional<SyncType> SyncTypeOfEffect(int kind, int mode) {
    const auto* effects = EffectsOf(kind);
    if (effects == nullptr)
        return std::nullopt;
    const auto found = std::find(effects->begin(), effects->end(), mode);
    if (found == effects->end())
        return std::nullopt;
    return static_cast<SyncType>(found - effects->begin());
}

CLightSync::CLightSync(IClock& clock) : clock_(clock) {}

CLightSync::~CLightSync() {
    Stop();
}

void CLightSync::Start() {
    if (!thread_.joinable())
        thread_ = std::jthread([this](std::stop_token stop) { Loop(stop); });
}

void CLightSync::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

void CLightSync::SetLight(const SyncLight& light) {
    std::lock_guard lock(mutex_);
    light_ = light;
}

SyncLight CLightSync::Light() const {
    std::lock_guard lock(mutex_);
    return light_;
}

void CLightSync::AddDevice(CTessaronUSBDevice& device) {
    std::lock_guard lock(mutex_);
    auto& group = devices_[PaintGroup(device.GetDeviceKind())];
    if (std::find(group.begin(), group.end(), &device) == group.end())
        group.push_back(&device);
}

void CLightSync::RemoveDevice(CTessaronUSBDevice& device) {
    std::lock_guard lock(mutex_);
    for (auto& group : devices_)
        std::erase(group, &device);
}

std::chrono::milliseconds CLightSync::StepPeriod(int speed) {
    if (speed < 0 || speed >= static_cast<int>(preview::kFlashBase.size()))
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(preview::kFlashBase[static_cast<std::size_t>(speed)]);
}

bool CLightSync::AnyTakesPart() const {
    for (const auto& group : devices_) {
        for (const CTessaronUSBDevice* device : group) {
            if (device->TakesPartInSync())
                return true;
        }
    }
    return false;
}

void CLightSync::Loop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        bool stepping = false;
        std::chrono::milliseconds wait = kIdleCheck;
        {
            std::lock_guard lock(mutex_);
            if (AnyTakesPart()) {
                stepping = true;
                // A period of 0 steps at every millisecond tick.
                wait = std::max(StepPeriod(light_.speed), std::chrono::milliseconds(1));
            }
        }
        if (!clock_.WaitFor(stop, wait))
            break;
        if (!stepping)
            continue;
        // Held for the whole step: a device removed meanwhile is not painted any more.
        std::lock_guard lock(mutex_);
        const std::optional<LedColour> colour = NextColour(clock_.Now());
        if (!colour)
            continue;
        const std::uint32_t packed = colour->Pack();
        for (const auto& group : devices_) {
            for (CTessaronUSBDevice* device : group)
                device->PaintSynchronised(packed);
        }
    }
}

std::optional<LedColour> CLightSync::NextColour(IClock::TimePoint now) {
    const SyncLight& l = light_;
    const std::uint8_t level = preview::kBrightnessScale[std::min<std::size_t>(l.brightness, 4)];
    const Rgb own = {l.red, l.green, l.blue};
    const auto colour = [](const Rgb& c, std::uint8_t alpha) {
        return LedColour{c[0], c[1], c[2], alpha};
    };
    switch (l.type) {
        case static_cast<std::uint8_t>(SyncType::Breathing): {
            breath_ = StepCounter(l.direction != 0, 128, breath_, 1);
            Rgb c = own;
            if (l.multiColor != 0) {
                if (breath_ < 2)
                    breathWheel_ = StepCounter(true, 192, breathWheel_, 16);
                c = preview::ColourWheel()[breathWheel_];
            }
            return colour(
                c, static_cast<std::uint8_t>(level * preview::BreathingCurve()[breath_] / 256));
        }
        case static_cast<std::uint8_t>(SyncType::Static):
            return colour(own, level);
        case static_cast<std::uint8_t>(SyncType::Flashing): {
            const std::chrono::milliseconds period = StepPeriod(l.speed) * kFlashUnit.count();
            if (now - lastToggle_ >= period) {
                flashOn_ = !flashOn_;
                lastToggle_ = now;
                flashWheel_ = static_cast<std::uint8_t>(flashWheel_ + kFlashWheelAdvance);
                if (flashWheel_ >= 192)
                    flashWheel_ = 0;
            }
            if (!flashOn_)
                return LedColour{};
            return colour(l.multiColor != 0 ? preview::ColourWheel()[flashWheel_] : own, level);
        }
        case static_cast<std::uint8_t>(SyncType::Wheel):
            wheel_ = StepCounter(true, 192, wheel_, 1);
            return colour(preview::ColourWheel()[wheel_], level);
        case static_cast<std::uint8_t>(SyncType::Off):
            return LedColour{};
        default:
            return std::nullopt;
    }
}

}  // namespace morva
