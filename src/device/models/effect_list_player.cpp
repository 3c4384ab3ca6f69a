#include "device/models/effect_list_player.h"

#include <algorithm>
#include <array>

namespace morva {
namespace {

// Breathing, static and wave entries step by the flash period table; spectrum faster.
constexpr std::array<int, 5> kSpectrumPeriod = {5, 4, 3, 2, 1};

}  // namespace

void CEffectListPlayer::Load(std::vector<LightEffect> list) {
    std::lock_guard lock(lock_);
    list_ = std::move(list);
    position_ = 0;
}

int CEffectListPlayer::Position() const {
    std::lock_guard lock(lock_);
    return position_;
}

std::chrono::milliseconds CEffectListPlayer::Pass(CPreviewEngine& engine, IClock::TimePoint now,
                                                  int deviceSpeed) {
    if (!started_) {
        started_ = true;
        lastSwitch_ = now;
        lastToggle_ = now;
    }
    LightEffect entry;
    {
        std::lock_guard lock(lock_);
        if (position_ >= static_cast<int>(list_.size()))
            position_ = 0;
        if (list_.empty()) {
            engine.EffectOff();
            return kPass;
        }
        entry = list_[static_cast<std::size_t>(position_)];
    }
    ++passCount_;
    const std::size_t speed = std::min<std::size_t>(entry.ledSpeed, 4);
    const auto period = static_cast<std::uint32_t>(preview::kFlashBase[speed]);
    const std::uint8_t scale =
        preview::kBrightnessScale[std::min<std::size_t>(entry.ledBrightness, 4)];
    const Rgb own{entry.red, entry.green, entry.blue};
    switch (entry.ledRegMode) {
        case 0:  // breathing
            if (passCount_ >= period) {
                step_ = (step_ + 1) % 128;
                passCount_ = 0;
                engine.FillAll(
                    entry.ledMultiColor ? preview::ColourWheel()[0] : own,
                    static_cast<std::uint8_t>(preview::BreathingCurve()[step_] * scale / 256));
            }
            break;
        case 1:  // static
            if (passCount_ >= period) {
                step_ = (step_ + 1) % 9;
                passCount_ = 0;
                engine.FillAll(own, scale);
            }
            break;
        case 2: {  // flashing, at the device's own speed
            step_ = (step_ + 1) % 128;
            if (passCount_ >= period)
                passCount_ = 0;
            const auto ownSpeed = static_cast<std::size_t>(std::clamp(deviceSpeed, 0, 4));
            const auto flashPeriod = std::chrono::milliseconds(preview::kFlashBase[ownSpeed] * 200);
            if (now - lastToggle_ >= flashPeriod) {
                flashOn_ = !flashOn_;
                lastToggle_ = now;
                flashColour_ =
                    static_cast<int>(step_) + 14 >= 192 ? 0 : static_cast<int>(step_) + 14;
            }
            if (flashOn_) {
                engine.FillAll(entry.ledMultiColor
                                   ? preview::ColourWheel()[static_cast<std::size_t>(flashColour_)]
                                   : own,
                               scale);
            } else {
                engine.FillAll({0, 0, 0}, 0);
            }
            break;
        }
        case 4:  // wave
            if (passCount_ >= period) {
                step_ = (step_ + 1) % 192;
                passCount_ = 0;
                Wave(engine, entry, scale);
            }
            break;
        case 5:  // spectrum
            if (passCount_ >= static_cast<std::uint32_t>(kSpectrumPeriod[speed])) {
                step_ = (step_ + 1) % 192;
                passCount_ = 0;
                engine.FillAll(preview::ColourWheel()[step_], scale);
            }
            break;
        default:  // 3 and unknown modes draw nothing
            break;
    }
    if (passCount_ == 255)
        passCount_ = 0;
    if (now - lastSwitch_ > std::chrono::milliseconds(std::max(entry.time, 0))) {
        std::lock_guard lock(lock_);
        if (!list_.empty())
            position_ = (position_ + 1) % static_cast<int>(list_.size());
        lastSwitch_ = now;
    }
    return kPass;
}

void CEffectListPlayer::Wave(CPreviewEngine& engine, const LightEffect& entry, std::uint8_t scale) {
    const int step = static_cast<int>(step_);
    int d = entry.ledDirection ? (step == 0 ? 191 : 192 - step) : (step + 1 == 192 ? 0 : step + 1);
    const Rgb own{entry.red, entry.green, entry.blue};
    for (int led = 0; led < engine.LedCount(); ++led) {
        if (entry.ledMultiColor) {
            const Rgb& c = preview::ColourWheel()[static_cast<std::size_t>(d)];
            engine.SetLedColour(led, LedColour{c[0], c[1], c[2], scale}.Pack());
            d = (d + 12) % 192;
        } else {
            const int index = (d + 12) % 96;
            const auto alpha = static_cast<std::uint8_t>(
                scale * preview::WaveCurve()[static_cast<std::size_t>(index)] / 256);
            engine.SetLedColour(led, LedColour{own[0], own[1], own[2], alpha}.Pack());
            d = index;
        }
    }
}

}  // namespace morva
