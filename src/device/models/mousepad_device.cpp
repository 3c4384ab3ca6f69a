#include "device/models/mousepad_device.h"

#include <algorithm>

namespace morva {
namespace {

// Mode 7 lights the pad's sides as seven bars; LED 0 is left alone.
constexpr std::array<LedPair, 7> kPadPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};

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
    PlayWave({7, 1, 1, 7});
}

}  // namespace morva
