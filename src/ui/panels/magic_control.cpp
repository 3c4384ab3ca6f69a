#include "ui/panels/magic_control.h"

#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

namespace {

constexpr char kSwitch[] = "magic_enable_option";
constexpr char kEffectArea[] = "magic_option_layout";
constexpr char kEffectPrefix[] = "magic_option_";

}  // namespace

CControlUI* CMagicControlUI::Find(CControlUI*& cached, const char* name) const {
    if (cached == nullptr)
        cached = CPaintManagerUI::FindSubControlByName(this, QLatin1String(name));
    return cached;
}

void CMagicControlUI::SetEffectsEnabled(bool on) {
    if (CControlUI* area = Find(effectArea_, kEffectArea))
        area->SetEnabled(on);
}

void CMagicControlUI::SetVoiceChangerOn(bool on) {
    SetOn(Find(switch_, kSwitch), on);
    SetEffectsEnabled(on);
}

int CMagicControlUI::IsVoiceChangerOn() const {
    return IsOn(Find(switch_, kSwitch)) ? 1 : 0;
}

void CMagicControlUI::SelectVoiceEffect(int n) {
    // Numbered options are looked up each time: a layout may hold fewer of them.
    const auto effect = [this](int i) {
        return CPaintManagerUI::FindSubControlByName(
            this, QLatin1String(kEffectPrefix) + QString::number(i));
    };
    for (int i = 1; i <= kEffects; ++i)
        SetOn(effect(i), false);
    shownEffect_ = n >= 1 && n <= kEffects ? n : 0;
    if (shownEffect_ != 0)
        SetOn(effect(shownEffect_), true);
}

}  // namespace morva::ui
