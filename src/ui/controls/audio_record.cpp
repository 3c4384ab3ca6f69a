#include "ui/controls/audio_record.h"

#include <QPainter>

#include <algorithm>

#include "ui/toolkit/theme.h"

namespace morva::ui {

CAudioRecordUI::CAudioRecordUI(QWidget* parent) : CLabelUI(parent) {
    // A faint ramp, so an empty strip still reads as a level display.
    for (int i = 0; i < 256; ++i) {
        samples_[static_cast<size_t>(i)] = i;
    }
}

int32_t CAudioRecordUI::GetSample(int index) const {
    return index >= 0 && index < kSampleCount ? samples_[static_cast<size_t>(index)] : 0;
}

void CAudioRecordUI::SetSample(int index, int32_t value) {
    if (index >= 0 && index < kSampleCount) {
        samples_[static_cast<size_t>(index)] = value;
        update();
    }
}

void CAudioRecordUI::SetSamples(std::span<const int32_t> samples) {
    const size_t n = std::min(samples.size(), samples_.size());
    std::copy_n(samples.begin(), n, samples_.begin());
    update();
}

int CAudioRecordUI::BarCount() const {
    return std::clamp((width() + 1) / 2, 0, kSampleCount);
}

int CAudioRecordUI::BarTop(int index) const {
    const int h = height();
    // Clamped and widened: samples beyond full scale or below zero would otherwise draw
    // outside the strip, and large ones overflow the product.
    const int64_t sample = std::clamp<int64_t>(GetSample(index), 0, kFullScale);
    return h - static_cast<int>(sample * h / kFullScale);
}

void CAudioRecordUI::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromRgba(theme::kPanel));
        const QColor bar = QColor::fromRgba(theme::kAccent);
        const int bottom = height() - 1;
        for (int i = 0; i < BarCount(); ++i) {
            const int top = BarTop(i);
            if (top < bottom) {
                painter.fillRect(QRect(2 * i, top, 1, bottom - top), bar);
            }
        }
    }
    CLabelUI::paintEvent(event);
}

}  // namespace morva::ui
