// The headset's voice changer panel: a switch and four voice effects. A view only: the
// headset fills it and reads it back; nothing here sends a notification.
#pragma once

#include <QString>

#include "ui/toolkit/containers.h"

namespace morva::ui {

class CMagicControlUI : public CHorizontalLayoutUI {
public:
    static constexpr int kEffects = 4;

    QString GetClass() const override { return QStringLiteral("MagicControlUI"); }

    void SetDeviceType(int type) { deviceType_ = type; }
    int GetDeviceType() const { return deviceType_; }

    // The effect options take a choice only while the voice changer is on.
    void SetEffectsEnabled(bool on);
    void SetVoiceChangerOn(bool on);
    // 0 when the switch is missing.
    int IsVoiceChangerOn() const;
    // 1..kEffects selects that effect; anything else leaves all clear and shows 0.
    void SelectVoiceEffect(int n);
    int ShownEffect() const { return shownEffect_; }

private:
    CControlUI* Find(CControlUI*& cached, const char* name) const;

    int deviceType_ = 0;
    int shownEffect_ = 0;
    mutable CControlUI* switch_ = nullptr;
    mutable CControlUI* effectArea_ = nullptr;
};

}  // namespace morva::ui
