// The capture helper's analysis: Hann-windowed 2048-sample frames, one every
// rate / kCaptureBlocksPerSecond samples, each turned into a samples block (magnitudes on a
// logarithmic frequency axis) and a levels block. Plain samples in, no audio API.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "base/capture_protocol.h"

namespace morva::capture {

class CSpectrumAnalyser {
public:
    static constexpr int kFrameSize = 2048;
    static constexpr double kLowHz = 40.0;
    static constexpr double kHighHz = 16000.0;
    static constexpr double kFloorDb = -70.0;  // maps to 0; 0 dB maps to kCaptureFullScale
    static constexpr double kLoudnessFloorDb = -60.0;

    explicit CSpectrumAnalyser(int sampleRate);
    ~CSpectrumAnalyser();
    CSpectrumAnalyser(const CSpectrumAnalyser&) = delete;
    CSpectrumAnalyser& operator=(const CSpectrumAnalyser&) = delete;

    int SampleRate() const { return rate_; }
    int Hop() const { return hop_; }

    // Takes samples up to the next block boundary and returns how many it took; Ready() then
    // says whether that completed a block.
    std::size_t Consume(std::span<const float> input);
    // Completes a block from the samples taken since the last one; false when there are none.
    bool Flush();
    bool Ready() const { return ready_; }

    // Back to silence: history, partial hop and the last block.
    void Reset();
    // The style colour, each channel 0..kColourLevelMax.
    void SetColour(const std::array<int, 3>& levels);

    const Samples& LastSamples() const { return samples_; }
    const Levels& LastLevels() const { return levels_; }

    // Where a frequency falls on the samples axis (fractional; value i covers [i, i + 1)).
    static double AxisPosition(double hz);
    static double AxisFrequency(double position);

private:
    struct Span {
        int first = 0;  // FFT bins first..last, largest magnitude; none when first > last
        int last = -1;
        float bin = -1.f;  // otherwise interpolated at this fractional bin; < 0: above Nyquist
    };
    struct Fft;  // kissfft's state and output, kept out of this header

    void Analyse();

    int rate_;
    int hop_;
    std::unique_ptr<Fft> fft_;
    std::vector<float> window_;
    float reference_ = 1.f;  // magnitude of a full-scale sine on its bin
    std::vector<float> ring_;
    std::size_t ringPos_ = 0;
    int pending_ = 0;
    std::vector<float> frame_;
    std::vector<float> magnitudes_;
    std::array<Span, kCaptureSpectrumSamples> spans_{};
    std::array<int, 3> colour_{kColourLevelMax, kColourLevelMax, kColourLevelMax};
    Samples samples_{};
    Levels levels_{};
    bool ready_ = false;
};

}  // namespace morva::capture
