#include "ui/panels/voice6533_control.h"

#include <QSize>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::ui {

namespace {

constexpr char kMicOption[] = "6533_MicIn_option";
constexpr char kMicSlider[] = "6533_MicIn_slider";
constexpr char kMonitorOption[] = "6533_MicMoniter_option";
constexpr char kMonitorSlider[] = "6533_MicMoniter_slider";
constexpr char kPresetPrefix[] = "6533_eq_option_";
constexpr char kBandPrefix[] = "6533_eq_hz_slider_";
constexpr char kCustomArea[] = "custom_eq_option_layout";
constexpr char kNameCombo[] = "custom_eq_name_combo";
constexpr char kNameEdit[] = "custom_eq_name_edit";
constexpr int kNameItemHeight = 30;

void SetSlider(CSliderUI* slider, int value) {
    if (slider != nullptr)
        slider->SetValue(value);
}

int SliderValue(const CSliderUI* slider) {
    return slider != nullptr ? slider->GetValue() : -1;
}

}  // namespace

CControlUI* CVoice6533ControlUI::Find(const QString& name) const {
    return CPaintManagerUI::FindSubControlByName(this, name);
}

template <class T>
T* CVoice6533ControlUI::Cached(T*& cached, const char* name) const {
    if (cached == nullptr)
        cached = dynamic_cast<T*>(Find(QLatin1String(name)));
    return cached;
}

// Numbered controls are looked up each time: a layout may hold fewer of them.
CSliderUI* CVoice6533ControlUI::Band(int i) const {
    return dynamic_cast<CSliderUI*>(Find(QLatin1String(kBandPrefix) + QString::number(i)));
}

CComboUI* CVoice6533ControlUI::Names() const {
    return Cached(names_, kNameCombo);
}

void CVoice6533ControlUI::SetCustomAreaEnabled(bool on) {
    if (CControlUI* area = Cached(customArea_, kCustomArea))
        area->SetEnabled(on);
}

void CVoice6533ControlUI::ShowEqPreset(int n) {
    const auto preset = [this](int i) {
        return Find(QLatin1String(kPresetPrefix) + QString::number(i));
    };
    for (int i = 1; i <= kPresets; ++i)
        SetOn(preset(i), false);
    shownPreset_ = n >= 1 && n <= kPresets ? n : 0;
    if (shownPreset_ != 0)
        SetOn(preset(shownPreset_), true);
}

void CVoice6533ControlUI::SetBandSlider(int i, int value) {
    SetSlider(Band(i), value);
}

int CVoice6533ControlUI::GetBandSlider(int i) const {
    return SliderValue(Band(i));
}

void CVoice6533ControlUI::SetMicOption(bool on) {
    SetOn(Cached(micOption_, kMicOption), on);
}

void CVoice6533ControlUI::SetMonitorOption(bool on) {
    SetOn(Cached(monitorOption_, kMonitorOption), on);
}

void CVoice6533ControlUI::SetMicSlider(int value) {
    SetSlider(Cached(micSlider_, kMicSlider), value);
}

int CVoice6533ControlUI::GetMicSlider() const {
    return SliderValue(Cached(micSlider_, kMicSlider));
}

void CVoice6533ControlUI::SetMonitorSlider(int value) {
    SetSlider(Cached(monitorSlider_, kMonitorSlider), value);
}

int CVoice6533ControlUI::GetMonitorSlider() const {
    return SliderValue(Cached(monitorSlider_, kMonitorSlider));
}

void CVoice6533ControlUI::SetCustomNameText(const QString& text) {
    if (CControlUI* edit = Cached(nameEdit_, kNameEdit))
        edit->SetText(text);
}

QString CVoice6533ControlUI::GetCustomNameText() const {
    const CControlUI* edit = Cached(nameEdit_, kNameEdit);
    return edit != nullptr ? edit->GetText() : QString();
}

void CVoice6533ControlUI::AddCustomName(const QString& name) {
    CComboUI* combo = Names();
    if (combo == nullptr)
        return;
    const int at = combo->AddItem(name, name);
    // The combo shows its items resolved as language keys; a user's name is shown as typed.
    combo->setItemText(at, name);
    combo->setItemData(at, QSize(0, CPaintManagerUI::Scale(kNameItemHeight)), Qt::SizeHintRole);
}

int CVoice6533ControlUI::GetCustomSelection() const {
    const CComboUI* combo = Names();
    return combo != nullptr ? combo->GetCurSel() : -1;
}

int CVoice6533ControlUI::GetCustomCount() const {
    const CComboUI* combo = Names();
    return combo != nullptr ? combo->GetCount() : 0;
}

void CVoice6533ControlUI::SelectCustom(int i) {
    if (CComboUI* combo = Names())
        combo->SelectItem(i, false, false);
    SetCustomNameText(QString());
}

void CVoice6533ControlUI::RemoveCustomAt(int i) {
    if (CComboUI* combo = Names())
        combo->RemoveAt(i);
}

void CVoice6533ControlUI::RemoveAllCustom() {
    if (CComboUI* combo = Names())
        combo->RemoveAll();
}

QString CVoice6533ControlUI::GetCustomName(int i) const {
    // The user data holds the name as added, whatever the language does to the shown text.
    const CComboUI* combo = Names();
    return combo != nullptr ? combo->GetItemUserData(i) : QString();
}

}  // namespace morva::ui
