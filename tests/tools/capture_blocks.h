// Reading the capture helper's blocks in tests: where the spectrum peaks and how loud.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/capture_protocol.h"
#include "tools/audio_capture/spectrum.h"

namespace morva::test {

using capture::CSpectrumAnalyser;
using capture::kCaptureFullScale;
using capture::Samples;

inline constexpr double kBinHz = 44100.0 / CSpectrumAnalyser::kFrameSize;

struct Peak {
    int index = 0;
    std::int32_t value = 0;
};

inline Peak PeakOf(const Samples& samples) {
    const auto it = std::max_element(samples.begin(), samples.end());
    return {static_cast<int>(it - samples.begin()), *it};
}

inline double DbOf(std::int32_t value) {
    return value * -CSpectrumAnalyser::kFloorDb / kCaptureFullScale + CSpectrumAnalyser::kFloorDb;
}

// Whether value `index` covers frequencies within `hz` ± `width`.
inline bool Near(int index, double hz, double width) {
    return CSpectrumAnalyser::AxisFrequency(index + 1) > hz - width &&
           CSpectrumAnalyser::AxisFrequency(index) < hz + width;
}

}  // namespace morva::test
