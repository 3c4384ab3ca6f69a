// The headset's page: the drawn headset whose 13 LED cells glow in the preview's colours,
// the lighting and profile panels, and the two sound panels (microphone, monitor and
// equaliser; voice changer). The page owns the sound panels' input and hands it to the
// model's operations; the panels only show what the model holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/models/headset_device.h"
#include "ui/pages/device_page.h"

namespace morva::ui {

class CMagicControlUI;
class CVoice6533ControlUI;

class CHeadsetPageUI : public CDevicePageUI {
public:
    explicit CHeadsetPageUI(std::unique_ptr<CTessaronVU6533Device> model);

    CTessaronVU6533Device& Headset() { return static_cast<CTessaronVU6533Device&>(Model()); }
    CMagicControlUI* MagicPanel() const { return magicPanel_; }
    CVoice6533ControlUI* SoundPanel() const { return soundPanel_; }

    void InitPage() override { BuildPage(); }
    // Binds the cells and panels, starts the audio side once, shows the model.
    void BuildPage();
    static std::vector<std::string> BoundControlNames();
    // The headset's sound card came or went: the audio side starts again on `bridge`.
    void RestartAudio(std::unique_ptr<audio::IAudioBridge> bridge);

    // ---- Input (the main window's router forwards here) ----
    void OnVoiceChangerSwitched();
    void OnVoiceEffectChosen(int n);
    void OnMicSwitched();
    void OnMonitorSwitched();
    void OnMicLevelMoved();
    void OnMonitorLevelMoved();
    void OnEqPresetChosen(int n);
    void OnEqBandMoved(int band);
    void OnCustomEqChosen();
    void OnSaveCustomEq();
    void OnDeleteCustomEq();

protected:
    void ShowModel() override;

private:
    // What the audio side cannot do here is disabled, with the reason as its tool tip.
    void ShowAvailability();
    void Finish(const OpResult& result, bool showAgain = true);

    CMagicControlUI* magicPanel_ = nullptr;
    CVoice6533ControlUI* soundPanel_ = nullptr;
};

}  // namespace morva::ui
