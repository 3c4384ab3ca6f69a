// Plays a user effect list on the preview frame: each entry's effect for its own time, then
// the next, round and round. Serves every family whose light modes end in user effects.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/clock.h"
#include "device/preview/preview_engine.h"
#include "profile/profile_records.h"

namespace morva {

class CEffectListPlayer {
public:
    // The player counts passes of the light loop, one every millisecond.
    static constexpr std::chrono::milliseconds kPass{1};

    // A new list (empty for the built-in modes), played from its first entry.
    void Load(std::vector<LightEffect> list);
    int Position() const;
    // One pass at `now`; `deviceSpeed` paces flashing entries. Returns the wait before the
    // next pass.
    std::chrono::milliseconds Pass(CPreviewEngine& engine, IClock::TimePoint now, int deviceSpeed);

private:
    void Wave(CPreviewEngine& engine, const LightEffect& entry, std::uint8_t scale);

    mutable std::mutex lock_;  // the list and the position; the rest is the light thread's
    std::vector<LightEffect> list_;
    int position_ = 0;

    std::uint32_t passCount_ = 0;
    std::uint32_t step_ = 0;
    IClock::TimePoint lastSwitch_{};
    IClock::TimePoint lastToggle_{};
    bool started_ = false;
    bool flashOn_ = false;
    int flashColour_ = 0;
};

}  // namespace morva
