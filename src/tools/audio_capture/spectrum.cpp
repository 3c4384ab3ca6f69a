#include "tools/audio_capture/spectrum.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morva::capture {

namespace {

constexpr int kBands = 25;
constexpr int kBandWidth = 5;
static_assert(kBands * kBandWidth == kCaptureSpectrumSamples);

// Linear magnitude (1 = full scale) to 0..kCaptureFullScale; NaN and silence give 0.
std::int32_t ScaleValue(float linear) {
    static const float floor = static_cast<float>(std::pow(10.0, CSpectrumAnalyser::kFloorDb / 20));
    if (!(linear > floor))
        return 0;
    const double db = 20.0 * std::log10(linear);
    const double v = (db - CSpectrumAnalyser::kFloorDb) / -CSpectrumAnalyser::kFloorDb;
    return static_cast<std::int32_t>(std::lround(std::min(v, 1.0) * kCaptureFullScale));
}

}  // namespace

struct CSpectrumAnalyser::Fft {
    struct Free {
        void operator()(kiss_fftr_state* state) const { kiss_fftr_free(state); }
    };
    std::unique_ptr<kiss_fftr_state, Free> config;
    std::vector<kiss_fft_scalar> input;
    std::vector<kiss_fft_cpx> output;
};

CSpectrumAnalyser::CSpectrumAnalyser(int sampleRate)
    : rate_(std::max(sampleRate, kCaptureBlocksPerSecond)),
      hop_(rate_ / kCaptureBlocksPerSecond),
      fft_(std::make_unique<Fft>()),
      window_(kFrameSize),
      ring_(kFrameSize, 0.f),
      magnitudes_(kFrameSize / 2 + 1) {
    fft_->config.reset(kiss_fftr_alloc(kFrameSize, 0, nullptr, nullptr));
    fft_->input.resize(kFrameSize);
    fft_->output.resize(kFrameSize / 2 + 1);

    // Periodic Hann; a sine of amplitude A on a bin has magnitude A * sum(w) / 2 there.
    double sum = 0;
    for (int n = 0; n < kFrameSize; ++n) {
        window_[n] =
            static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kFrameSize));
        sum += window_[n];
    }
    reference_ = static_cast<float>(sum / 2);

    const double binHz = static_cast<double>(rate_) / kFrameSize;
    const int nyquistBin = kFrameSize / 2;
    for (int i = 0; i < kCaptureSpectrumSamples; ++i) {
        Span& span = spans_[i];
        span.first = static_cast<int>(std::ceil(AxisFrequency(i) / binHz));
        span.last =
            std::min(static_cast<int>(std::ceil(AxisFrequency(i + 1) / binHz)) - 1, nyquistBin);
        if (span.first <= span.last)
            continue;
        // Narrower than a bin: read the spectrum at the range's centre between its two bins.
        const double centre = AxisFrequency(i + 0.5) / binHz;
        span.bin = centre < nyquistBin ? static_cast<float>(centre) : -1.f;
    }
}

CSpectrumAnalyser::~CSpectrumAnalyser() = default;

double CSpectrumAnalyser::AxisPosition(double hz) {
    return kCaptureSpectrumSamples * std::log(hz / kLowHz) / std::log(kHighHz / kLowHz);
}

double CSpectrumAnalyser::AxisFrequency(double position) {
    return kLowHz * std::pow(kHighHz / kLowHz, position / kCaptureSpectrumSamples);
}

std::size_t CSpectrumAnalyser::Consume(std::span<const float> input) {
    ready_ = false;
    const std::size_t take = std::min<std::size_t>(input.size(), hop_ - pending_);
    for (std::size_t i = 0; i < take; ++i) {
        ring_[ringPos_] = input[i];
        ringPos_ = (ringPos_ + 1) % kFrameSize;
    }
    pending_ += static_cast<int>(take);
    if (pending_ == hop_) {
        Analyse();
        pending_ = 0;
        ready_ = true;
    }
    return take;
}

bool CSpectrumAnalyser::Flush() {
    ready_ = false;
    if (pending_ == 0)
        return false;
    Analyse();
    pending_ = 0;
    ready_ = true;
    return true;
}

void CSpectrumAnalyser::Reset() {
    std::fill(ring_.begin(), ring_.end(), 0.f);
    ringPos_ = 0;
    pending_ = 0;
    samples_.fill(0);
    levels_.fill(0);
    ready_ = false;
}

void CSpectrumAnalyser::SetColour(const std::array<int, 3>& levels) {
    for (std::size_t c = 0; c < colour_.size(); ++c)
        colour_[c] = std::clamp(levels[c], 0, kColourLevelMax);
}

void CSpectrumAnalyser::Analyse() {
    double sumSquares = 0;
    for (int n = 0; n < kFrameSize; ++n) {
        const float x = ring_[(ringPos_ + n) % kFrameSize];  // oldest first
        sumSquares += static_cast<double>(x) * x;
        fft_->input[n] = x * window_[n];
    }
    kiss_fftr(fft_->config.get(), fft_->input.data(), fft_->output.data());
    for (std::size_t k = 0; k < magnitudes_.size(); ++k) {
        const kiss_fft_cpx& bin = fft_->output[k];
        magnitudes_[k] = std::sqrt(bin.r * bin.r + bin.i * bin.i) / reference_;  // hypot is slower
    }

    for (int i = 0; i < kCaptureSpectrumSamples; ++i) {
        const Span& span = spans_[i];
        float m = 0.f;
        if (span.first <= span.last) {
            m = *std::max_element(magnitudes_.begin() + span.first,
                                  magnitudes_.begin() + span.last + 1);
        } else if (span.bin >= 0.f) {
            const int k = static_cast<int>(span.bin);
            const float t = span.bin - static_cast<float>(k);
            m = magnitudes_[k] + t * (magnitudes_[k + 1] - magnitudes_[k]);
        }
        samples_[i] = ScaleValue(m);
    }

    // Loudness from the frame's RMS, a full-scale sine being 0 dB.
    const double rms = std::sqrt(sumSquares / kFrameSize);
    const double db = 20.0 * std::log10(rms * std::numbers::sqrt2);
    int loudness = 0;
    if (db > kLoudnessFloorDb) {
        loudness = static_cast<int>(
            std::lround(std::min(1.0, (db - kLoudnessFloorDb) / -kLoudnessFloorDb) * 255));
    }

    int loudest = 0;
    std::int64_t loudestSum = -1;
    for (int j = 0; j < kBands; ++j) {
        std::int64_t sum = 0;
        for (int i = j * kBandWidth; i < (j + 1) * kBandWidth; ++i)
            sum += samples_[i];
        if (sum > loudestSum) {
            loudestSum = sum;
            loudest = j;
        }
    }

    for (std::size_t c = 0; c < colour_.size(); ++c) {
        levels_[c] = static_cast<std::int32_t>(
            std::lround(colour_[c] * 255.0 / kColourLevelMax * loudness / 255.0));
    }
    levels_[3] = loudness;
    levels_[4] = loudest;
    levels_[5] = 0;
}

}  // namespace morva::capture
