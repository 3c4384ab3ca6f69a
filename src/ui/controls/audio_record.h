// A strip of level bars for recorded sound, one bar every two pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ui/toolkit/controls.h"

namespace morva::ui {

class CAudioRecordUI : public CLabelUI {
public:
    static constexpr int kSampleCount = 500;
    // A sample of this size fills the height.
    static constexpr int32_t kFullScale = 8192;

    explicit CAudioRecordUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("AudioRecord"); }

    int32_t GetSample(int index) const;
    // Out-of-range indexes are ignored.
    void SetSample(int index, int32_t value);
    // From the first sample on; samples past the span keep their values.
    void SetSamples(std::span<const int32_t> samples);

    // Bars that fit the current width: ⌈width / 2⌉, at most kSampleCount.
    int BarCount() const;
    // Pixels from the top where sample `index`'s bar starts; the height when it has none.
    int BarTop(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int32_t, kSampleCount> samples_{};
};

}  // namespace morva::ui
