// The lighting panel of a device page: the device's LightInfo and the music lighting colours go
// onto its controls, its rows are switched on and off by the device type and the selected
// effect, and the user's choices go to the device model's lighting operations. The device
// keeps the data.
#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "profile/profile_records.h"
#include "ui/toolkit/containers.h"

namespace morva {
class CTessaronUSBDevice;
}

namespace morva::ui {

class IPageServices;
class CColorPaletteUI;
class CComboUI;
class CSliderUI;

class CLightControlUI : public CHorizontalLayoutUI {
public:
    static constexpr int kItemHeight = 30;
    enum Channel { kRed = 0, kGreen = 1, kBlue = 2 };

    QString GetClass() const override { return QStringLiteral("LightControlUI"); }

    // ---- Input (the main window's router forwards here) ----
    // Each choice becomes the model's light state, profile, preview and device setting.
    void OnModeChosen(CTessaronUSBDevice& model, IPageServices& services);
    void OnBrightnessChanged(CTessaronUSBDevice& model, IPageServices& services);
    void OnSpeedChanged(CTessaronUSBDevice& model, IPageServices& services);
    void OnMulticolourChanged(CTessaronUSBDevice& model, IPageServices& services);
    void OnDirectionChosen(int direction, CTessaronUSBDevice& model, IPageServices& services);
    // A swatch keeps the synchronised lighting going; the palette and the edits end it.
    void OnPaletteColour(CTessaronUSBDevice& model, IPageServices& services);
    // The keyboard's second zone and mode 19's colour groups.
    void OnZoneModeChosen(CTessaronUSBDevice& model, IPageServices& services);
    void OnCustomGroupChosen(CTessaronUSBDevice& model, IPageServices& services);
    void OnCustomFill(int on, CTessaronUSBDevice& model, IPageServices& services);
    void OnSwatch(int n, CTessaronUSBDevice& model, IPageServices& services);
    void OnColourEdited(int channel, CTessaronUSBDevice& model, IPageServices& services);
    // Music lighting: the record as the controls show it (with the picked colour or not).
    void OnAudioShown(bool takeColour, CTessaronUSBDevice& model, IPageServices& services);
    void OnAudioPaletteColour(CTessaronUSBDevice& model, IPageServices& services);
    void OnAudioSwatch(int n, CTessaronUSBDevice& model, IPageServices& services);
    void OnAudioEdited(int channel, CTessaronUSBDevice& model, IPageServices& services);

    // The device type code of the owning device (1 keyboard, 2 mouse, 3 pad, 7 headset).
    void SetPanelKind(int kind) { kind_ = kind; }
    int PanelKind() const { return kind_; }

    // One combo item per effect, hidden where the flag is 0; then the sliders' maxima.
    void FillModeList(const std::vector<std::string>& names,
                      const std::vector<std::uint8_t>& visible, int maxBrightness, int maxSpeed);
    // a..d: the LightInfo's bytes 0..3, 4..7, 8..11, 12..13, little-endian.
    void ShowLightInfo(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
    void ShowLightInfo(const LightInfo& info);
    static std::array<std::uint32_t, 4> PackLightInfo(const LightInfo& info);

    // Selections never notify; a missing combo reads -1.
    void SelectMode(int n);
    int GetMode() const;
    void SelectCustomMode(int n);
    int GetCustomMode() const;
    void SelectZoneMode(int n);
    int GetZoneMode() const;

    void SetBrightness(int v);
    int GetBrightness() const;
    void SetSpeed(int v);
    int GetSpeed() const;

    void SetColourText(int channel, const QString& text);
    QString GetColourText(int channel) const;
    // Also the colour display button's background.
    void SetPaletteColour(std::uint32_t argb);
    std::uint32_t GetPaletteColour() const;
    // Background of "color_option_" n; 0 when there is none.
    std::uint32_t GetOptionColour(int n) const;
    void SetMulticolour(bool on);
    bool GetMulticolour() const;
    // Non-zero: the first direction.
    void SetDirection(int flag);
    int GetDirection() const;

    void SetSameModeAllowed(int flag);
    int SameModeAllowed() const { return sameModeAllowed_; }
    void ShowSameMode(bool show);
    // The note that music lighting has no audio to follow (yet).
    void ShowMusicWaiting(bool on);
    bool ShowsMusicWaiting() const;

    void UpdateLayouts(int mode);

    // ---- Music lighting ----
    // a = record bytes 0..3, b = bytes 4..7; editing 1: the foreground colour is edited.
    void ShowAudioLightInfo(std::uint32_t a, std::uint32_t b, int editing);
    void ShowAudioLightInfo(const AudioLightInfo& info);
    // The record with the controls' mode, multicolour and editing flag; with takeColour the
    // colour display button's colour becomes the edited colour.
    AudioLightInfo ReadAudioLightInfo(bool takeColour);
    const AudioLightInfo& AudioRecord() const { return audio_; }
    static std::array<std::uint32_t, 2> PackAudioLightInfo(const AudioLightInfo& info);
    std::uint32_t GetAudioOptionColour(int n) const;
    std::uint32_t GetAudioPaletteColour() const;
    // i: 0 red, 1 green, 2 blue; "" otherwise.
    QString GetAudioColourText(int i) const;

    static constexpr std::uint32_t Argb(int r, int g, int b) {
        return 0xFF000000u | static_cast<std::uint32_t>(r & 0xFF) << 16 |
               static_cast<std::uint32_t>(g & 0xFF) << 8 | static_cast<std::uint32_t>(b & 0xFF);
    }

private:
    template <typename T = CControlUI>
    T* Sub(const QString& name) const;
    // Layout rows are looked up each time: they are few and only switched here.
    CControlUI* Row(const char* name) const;
    void Enable(const char* name, bool on) const;
    void Show(const char* name, bool on) const;
    void SetDirectionTexts(const char* first, const char* second) const;
    void TakeColour(std::uint32_t colour, bool endsSync, CTessaronUSBDevice& model,
                    IPageServices& services);
    void StoreAudio(const AudioLightInfo& record, CTessaronUSBDevice& model,
                    IPageServices& services);

    int kind_ = 0;
    int sameModeAllowed_ = 0;
    AudioLightInfo audio_;
    mutable QHash<QString, CControlUI*> cache_;
};

// The colour in an edit: the decimal number it starts with, 0..255 (0 for no number).
int ColourChannelOf(const QString& text);

}  // namespace morva::ui
