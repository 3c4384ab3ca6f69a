// The headset's sound panel: microphone and monitor switches and levels, a ten-band
// equaliser with twelve presets and a custom curve (preset 13) chosen from named curves.
// A view only: the headset fills it and reads it back; no setter sends a notification, so
// filling it never starts an audio operation.
#pragma once

#include <QString>

#include "ui/toolkit/containers.h"

namespace morva::ui {

class CComboUI;
class CSliderUI;

class CVoice6533ControlUI : public CHorizontalLayoutUI {
public:
    static constexpr int kPresets = 13;  // 1..12 fixed curves, 13 the custom one
    static constexpr int kCustomPreset = 13;
    static constexpr int kBands = 10;

    QString GetClass() const override { return QStringLiteral("Voice6533ControlUI"); }

    void SetDeviceType(int type) { deviceType_ = type; }
    int GetDeviceType() const { return deviceType_; }

    // The custom curve row takes input only while the custom preset is chosen.
    void SetCustomAreaEnabled(bool on);
    // 1..kPresets selects that preset; anything else leaves all clear and shows 0.
    void ShowEqPreset(int n);
    int ShownPreset() const { return shownPreset_; }

    // Band i is 0..kBands-1; the getters give -1 for a missing slider.
    void SetBandSlider(int i, int value);
    int GetBandSlider(int i) const;

    // Selected = not muted.
    void SetMicOption(bool on);
    void SetMonitorOption(bool on);
    void SetMicSlider(int value);
    int GetMicSlider() const;
    void SetMonitorSlider(int value);
    int GetMonitorSlider() const;

    // The name for a new curve, as typed; "" when the edit is missing.
    void SetCustomNameText(const QString& text);
    QString GetCustomNameText() const;

    // Shown as added, not as a language key; GetCustomName gives it back unchanged. (A later
    // language switch re-resolves combo items, so a name that is also a key would then show
    // that key's text.)
    void AddCustomName(const QString& name);
    // -1 when nothing is selected or the combo is missing.
    int GetCustomSelection() const;
    int GetCustomCount() const;
    // Also clears the name edit.
    void SelectCustom(int i);
    void RemoveCustomAt(int i);
    void RemoveAllCustom();
    QString GetCustomName(int i) const;

private:
    CControlUI* Find(const QString& name) const;
    // Looked up on first use and kept.
    template <class T>
    T* Cached(T*& cached, const char* name) const;
    CSliderUI* Band(int i) const;
    CComboUI* Names() const;

    int deviceType_ = 0;
    int shownPreset_ = 0;
    mutable CControlUI* micOption_ = nullptr;
    mutable CControlUI* monitorOption_ = nullptr;
    mutable CSliderUI* micSlider_ = nullptr;
    mutable CSliderUI* monitorSlider_ = nullptr;
    mutable CControlUI* customArea_ = nullptr;
    mutable CComboUI* names_ = nullptr;
    mutable CControlUI* nameEdit_ = nullptr;
};

}  // namespace morva::ui
