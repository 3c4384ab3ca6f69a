// The lit mouse pad: lighting only. Reads its information, keeps the profile, writes the
// setting record of the profile the pad is on, and plays its light modes in the preview,
// whose frames are the pad's light while the program drives it.
#pragma once

#include "device/models/lit_accessory_device.h"

namespace morva {

inline constexpr int kPadLeds = 15;
inline constexpr int kPadLightModes = 9;  // presets 0..8, then the user's effects

class CTessaronMousePadDevice : public CLitAccessoryDevice {
public:
    explicit CTessaronMousePadDevice(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    ~CTessaronMousePadDevice() override;

    void ReadFromDevice() override { ReadInfoAndStart(); }
    CBasicProfiledata& Profile() { return *profile_; }
    void EffectWave() override;

protected:
    std::span<const LedPair> MusicPairs() const override;
};

}  // namespace morva
