#include "ui/pages/headset_page.h"

#include "ui/panels/light_control.h"
#include "ui/panels/magic_control.h"
#include "ui/panels/page_services.h"
#include "ui/panels/voice6533_control.h"

namespace morva::ui {
namespace {

constexpr int kLightLevels = 4;
constexpr char kUnavailableTip[] = "sound_unavailable_tip";
constexpr char kNoSoundNotice[] = "sound_not_found";
constexpr char kNoticeName[] = "headset_sound_notice";

}  // namespace

CHeadsetPageUI::CHeadsetPageUI(std::unique_ptr<CTessaronVU6533Device> model)
    : CDevicePageUI(std::move(model), QStringLiteral("TessaronVU6533Device")) {}

std::vector<std::string> CHeadsetPageUI::BoundControlNames() {
    std::vector<std::string> names = {"vu6533_device_key_light", "DeviceProfileItem",
                                      "LightControlItem",        "MagicControlItem",
                                      "Voice6533ControlItem",    kNoticeName};
    for (int i = 0; i < kHeadsetLeds; ++i)
        names.push_back("light_" + std::to_string(i));
    return names;
}

void CHeadsetPageUI::BuildPage() {
    CDevicePageUI::InitPage();
    magicPanel_ = dynamic_cast<CMagicControlUI*>(FindOnPage(QStringLiteral("MagicControlItem")));
    soundPanel_ =
        dynamic_cast<CVoice6533ControlUI*>(FindOnPage(QStringLiteral("Voice6533ControlItem")));
    if (Model().DeviceXmlPath().empty())
        return;
    SetUpPanels(kLightLevels);
    if (magicPanel_ != nullptr)
        magicPanel_->SetDeviceType(kDeviceTypeHeadset);
    if (soundPanel_ != nullptr)
        soundPanel_->SetDeviceType(kDeviceTypeHeadset);
    // The headset has no surround panel: its tab would lead nowhere.
    if (CControlUI* surround = FindOnPage(QStringLiteral("Virtual7.1_Op_tab")))
        surround->SetVisible(false);
    Headset().LoadProfile();
    Headset().StartAudio();
    ShowAvailability();
    ShowModel();
}

void CHeadsetPageUI::RestartAudio(std::unique_ptr<audio::IAudioBridge> bridge) {
    Headset().SetAudioBridge(std::move(bridge));
    Headset().StartAudio();
    ShowAvailability();
    ShowModel();
}

void CHeadsetPageUI::ShowModel() {
    if (CLightControlUI* light = LightPanel())
        light->ShowLightInfo(Headset().LightState());
    const HeadsetSoundView view = Headset().SoundView();
    const HeadsetSystemSetStages& s = view.stages;
    // Every setter is silent, so showing the model never starts an operation.
    if (magicPanel_ != nullptr) {
        magicPanel_->SetVoiceChangerOn(s.magicEnable != 0);
        magicPanel_->SelectVoiceEffect(s.magicType);
        if (!Headset().Available(SoundFeature::VoiceChanger))
            magicPanel_->SetEffectsEnabled(false);
    }
    if (soundPanel_ == nullptr)
        return;
    soundPanel_->SetMicOption(s.micInSelect != 0);
    soundPanel_->SetMicSlider(s.micInValue);
    soundPanel_->SetMonitorOption(s.micMoniterSelect != 0);
    soundPanel_->SetMonitorSlider(s.micMoniterValue);
    soundPanel_->ShowEqPreset(s.eqType);
    // The list and its choice are set again only when they changed: setting them clears
    // the name the user may be typing.
    bool sameNames = soundPanel_->GetCustomCount() == static_cast<int>(view.customNames.size());
    for (std::size_t i = 0; sameNames && i < view.customNames.size(); ++i)
        sameNames =
            soundPanel_->GetCustomName(static_cast<int>(i)).toStdString() == view.customNames[i];
    if (!sameNames) {
        soundPanel_->RemoveAllCustom();
        for (const std::string& name : view.customNames)
            soundPanel_->AddCustomName(QString::fromStdString(name));
    }
    if (!sameNames || soundPanel_->GetCustomSelection() != view.customShown)
        soundPanel_->SelectCustom(view.customShown);
    soundPanel_->SetCustomAreaEnabled(s.eqType == kEqCustom &&
                                      Headset().Available(SoundFeature::Equaliser));
    for (int band = 0; band < kEqBandCount; ++band)
        soundPanel_->SetBandSlider(band, view.bands[static_cast<std::size_t>(band)]);
}

void CHeadsetPageUI::ShowAvailability() {
    const CTessaronVU6533Device& headset = Headset();
    auto mark = [this](const QString& name, bool available) {
        CControlUI* control = FindOnPage(name);
        if (control == nullptr)
            return;
        control->SetEnabled(available);
        control->SetToolTip(available ? QString() : QString::fromLatin1(kUnavailableTip));
    };
    const bool mic = headset.Available(SoundFeature::MicLevel);
    const bool micMute = headset.Available(SoundFeature::MicMute);
    const bool monitor = headset.Available(SoundFeature::MonitorLevel);
    const bool monitorMute = headset.Available(SoundFeature::MonitorMute);
    const bool eq = headset.Available(SoundFeature::Equaliser);
    const bool voice = headset.Available(SoundFeature::VoiceChanger);
    mark(QStringLiteral("6533_MicIn_slider"), mic);
    mark(QStringLiteral("6533_MicIn_option"), micMute);
    mark(QStringLiteral("6533_MicMoniter_slider"), monitor);
    mark(QStringLiteral("6533_MicMoniter_option"), monitorMute);
    for (int n = 1; n <= kEqCustom; ++n)
        mark(QStringLiteral("6533_eq_option_%1").arg(n), eq);
    for (int band = 0; band < kEqBandCount; ++band)
        mark(QStringLiteral("6533_eq_hz_slider_%1").arg(band), eq);
    mark(QStringLiteral("custom_eq_option_layout"), eq);
    mark(QStringLiteral("magic_enable_option"), voice);
    if (CControlUI* notice = FindOnPage(QLatin1String(kNoticeName))) {
        const bool all = mic && micMute && monitor && monitorMute && eq && voice;
        notice->SetText(headset.SoundReady() ? QStringLiteral("sound_partly_available")
                                             : QString::fromLatin1(kNoSoundNotice));
        notice->SetVisible(!all);
    }
}

void CHeadsetPageUI::Finish(const OpResult& result, bool showAgain) {
    // A change the model took has shown itself; a refused one puts the controls back.
    if (!result.Ok() && showAgain)
        ShowModel();
    if (Services() != nullptr)
        Services()->Report(result);
}

// ---- Input ----

void CHeadsetPageUI::OnVoiceChangerSwitched() {
    if (magicPanel_ == nullptr)
        return;
    const bool on = magicPanel_->IsVoiceChangerOn();
    Finish(Headset().SetVoiceChanger(on));
}

void CHeadsetPageUI::OnVoiceEffectChosen(int n) {
    if (n == 0)
        return;
    Finish(Headset().SetVoiceEffect(n));
}

void CHeadsetPageUI::OnMicSwitched() {
    if (soundPanel_ == nullptr)
        return;
    // A click on the option flips the microphone as the model has it.
    const bool on = Headset().SoundView().stages.micInSelect == 0;
    Finish(Headset().SetMicMuted(!on));
}

void CHeadsetPageUI::OnMonitorSwitched() {
    if (soundPanel_ == nullptr)
        return;
    const bool on = Headset().SoundView().stages.micMoniterSelect == 0;
    Finish(Headset().SetMonitorMuted(!on));
}

void CHeadsetPageUI::OnMicLevelMoved() {
    if (soundPanel_ == nullptr)
        return;
    Finish(Headset().SetMicLevel(soundPanel_->GetMicSlider()));
}

void CHeadsetPageUI::OnMonitorLevelMoved() {
    if (soundPanel_ == nullptr)
        return;
    Finish(Headset().SetMonitorLevel(soundPanel_->GetMonitorSlider()));
}

void CHeadsetPageUI::OnEqPresetChosen(int n) {
    if (soundPanel_ == nullptr || n == 0)
        return;
    Finish(Headset().SelectEqPreset(n, soundPanel_->GetCustomSelection()));
}

void CHeadsetPageUI::OnEqBandMoved(int band) {
    if (soundPanel_ == nullptr)
        return;
    Finish(Headset().SetEqBand(band, soundPanel_->GetBandSlider(band)));
}

void CHeadsetPageUI::OnCustomEqChosen() {
    if (soundPanel_ == nullptr)
        return;
    const int index = soundPanel_->GetCustomSelection();
    if (index < 0)
        return;
    Finish(Headset().ApplyCustomEq(index));
}

void CHeadsetPageUI::OnSaveCustomEq() {
    if (soundPanel_ == nullptr)
        return;
    EqBands bands{};
    for (int band = 0; band < kEqBandCount; ++band)
        bands[static_cast<std::size_t>(band)] = soundPanel_->GetBandSlider(band);
    // A refused name stays in the edit so it can be changed.
    Finish(Headset().SaveCustomEq(soundPanel_->GetCustomNameText().toStdString(),
                                  soundPanel_->GetCustomSelection(), bands),
           false);
}

void CHeadsetPageUI::OnDeleteCustomEq() {
    if (soundPanel_ == nullptr)
        return;
    const int index = soundPanel_->GetCustomSelection();
    if (index < 0)
        return;
    Finish(Headset().DeleteCustomEq(index));
}

}  // namespace morva::ui
