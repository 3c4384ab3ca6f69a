#include "device/models/music_bands.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace morva {

std::optional<MusicBandValues> CMusicBands::Process(const capture::Samples& block) {
    ++counter_;
    std::array<std::uint32_t, capture::kCaptureSamples> d{};
    for (std::size_t i = 0; i < d.size(); ++i) {
        const std::int64_t diff = std::int64_t{block[i]} - previous_[i];
        d[i] = static_cast<std::uint32_t>(std::llabs(diff));
    }
    previous_ = block;
    for (std::size_t j = 0; j < kMusicBands; ++j) {
        const std::uint32_t* g = &d[5 * j];
        // The band's last mean stays in the sum, so a band falls silent gradually.
        mean_[j] = (mean_[j] + g[0] + g[1] + g[2] + g[3]) / 4;
        std::uint64_t sum = deviation_[j];
        for (int k = 0; k < 4; ++k) {
            const std::int64_t off = std::int64_t{g[k]} - mean_[j];
            sum += static_cast<std::uint64_t>(off * off);
        }
        deviation_[j] = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(sum / 3)));
        means_[j] = static_cast<std::int32_t>(mean_[j]);
        deviations_[j] = static_cast<std::int32_t>(deviation_[j]);
    }
    if (counter_ < 3)
        return std::nullopt;
    counter_ = 0;
    return means_;
}

void CMusicBands::Reset() {
    *this = CMusicBands{};
}

std::array<std::uint8_t, 4 * kMusicBands> CMusicBands::Bytes(const MusicBandValues& bands) {
    std::array<std::uint8_t, 4 * kMusicBands> out{};
    for (std::size_t j = 0; j < bands.size(); ++j) {
        const auto v = static_cast<std::uint32_t>(bands[j]);
        for (int b = 0; b < 4; ++b)
            out[4 * j + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(v >> (8 * b));
    }
    return out;
}

}  // namespace morva
