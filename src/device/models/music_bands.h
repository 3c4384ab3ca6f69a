// Music lighting's analysis of the capture helper's spectrum blocks: how much each of the 25
// bands changed from one block to the next, smoothed over blocks, handed on every third block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "base/capture_protocol.h"

namespace morva {

inline constexpr int kMusicBands = 25;
using MusicBandValues = std::array<std::int32_t, kMusicBands>;

class CMusicBands {
public:
    // The 25 band means after every third block, nothing after the other two.
    std::optional<MusicBandValues> Process(const capture::Samples& block);

    const MusicBandValues& Means() const { return means_; }
    const MusicBandValues& Deviations() const { return deviations_; }
    void Reset();

    // The bands as the devices take them: four little-endian bytes each.
    static std::array<std::uint8_t, 4 * kMusicBands> Bytes(const MusicBandValues& bands);

private:
    capture::Samples previous_{};
    std::array<std::uint32_t, kMusicBands> mean_{};
    std::array<std::uint32_t, kMusicBands> deviation_{};
    MusicBandValues means_{};
    MusicBandValues deviations_{};
    std::uint32_t counter_ = 0;
};

}  // namespace morva
