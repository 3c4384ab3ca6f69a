#include "device/models/mousepad_device.h"

#include <algorithm>

namespace morva {
namespace {

// Mode 7 lights the pad's sides as seven bars; LED 0 is left alone.
constexpr std::array<LedPair, 7> kPadPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};

std::uint32_t Packed(const Rgb& c, std::uint8_t alpha) {
    return LedColour{c[0], c[1], c[2], alpha}.Pack();
}

}  // namespace

CTessaronMousePadDevice::CTessaronMousePadDevice(hid::IHidBackend& backend, IClock& clock)
    : CLitAccessoryDevice(backend, clock, std::make_unique<CBasicProfiledata>(),
                          kDeviceTypeMousePad, kKindMousePad) {}

CTessaronMousePadDevice::~CTessaronMousePadDevice() {
    StopThreads();
}

std::span<const LedPair> CTessaronMousePadDevice::MusicPairs() const {
    return kPadPairs;
}

void CTessaronMousePadDevice::EffectWave() {
    const PreviewLight light = Engine().Light();
    const std::uint8_t scale = BrightnessScale();
    const bool forward = light.direction != 0;
    const int leds = std::min(LedCount(), kPadLeds);
    std::uint8_t& counter = Counter();
    if (light.multiColor != 0) {
        counter = StepCounter(forward, 192, counter, 1);
        for (int i = 0; i < leds; ++i) {
            const auto entry = static_cast<std::size_t>((counter + 1 + 7 * i) % 192);
            SetLedColour(i, Packed(preview::ColourWheel()[entry], scale));
        }
        return;
    }
    counter = StepCounter(forward, 96, static_cast<std::uint8_t>(counter % 96), 1);
    const Rgb colour{light.red, light.green, light.blue};
    for (int i = 0; i < leds; ++i) {
        const auto at = static_cast<std::size_t>((counter + 1 + 7 * i) % 96);
        SetLedColour(
            i, Packed(colour, static_cast<std::uint8_t>(scale * preview::WaveCurve()[at] / 256)));
    }
}

}  // namespace morva
