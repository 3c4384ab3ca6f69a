// The lighting panel's input: what the user picked goes to the model's lighting operations;
// the page then shows the model again.
#include <algorithm>

#include "device/models/usb_device.h"
#include "ui/panels/light_control.h"
#include "ui/panels/page_services.h"

namespace morva::ui {

namespace {

std::uint8_t Byte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

template <typename Edit>
void ChangeLight(CTessaronUSBDevice& model, IPageServices& services, Edit edit) {
    LightInfo info = model.LightState();
    edit(info);
    // A choice of the user ends the synchronised lighting of this device.
    services.Report(model.ChangeLight(info, true));
}

// The picked colour becomes the colour being edited: foreground or background.
void SetAudioColour(AudioLightInfo& r, std::uint32_t colour, bool clearsMulticolour) {
    const auto red = static_cast<std::uint8_t>(colour >> 16 & 0xFF);
    const auto green = static_cast<std::uint8_t>(colour >> 8 & 0xFF);
    const auto blue = static_cast<std::uint8_t>(colour & 0xFF);
    if (r.colorTypeFlags == 1) {
        r.fgColorR = red, r.fgColorG = green, r.fgColorB = blue;
        if (clearsMulticolour)
            r.sevenColorFlags = 0;
    } else {
        r.bkColorR = red, r.bkColorG = green, r.bkColorB = blue;
    }
}

}  // namespace

void CLightControlUI::OnModeChosen(CTessaronUSBDevice& model, IPageServices& services) {
    const int n = GetMode();
    if (n < 0)
        return;
    SelectMode(n);
    ChangeLight(model, services, [&](LightInfo& l) { l.selectItem = Byte(n); });
}

void CLightControlUI::OnZoneModeChosen(CTessaronUSBDevice& model, IPageServices& services) {
    const int n = GetZoneMode();
    if (n < 0)
        return;
    ChangeLight(model, services, [&](LightInfo& l) { l.zzccLedMode = Byte(n); });
}

void CLightControlUI::OnCustomGroupChosen(CTessaronUSBDevice& model, IPageServices& services) {
    const int n = GetCustomMode();
    if (n >= 0)
        services.Report(model.ChangeCustomGroup(n));
}

void CLightControlUI::OnCustomFill(int on, CTessaronUSBDevice& model, IPageServices& services) {
    services.Report(model.FillCustomGroup(on != 0, GetCustomMode()));
}

void CLightControlUI::OnBrightnessChanged(CTessaronUSBDevice& model, IPageServices& services) {
    const int v = GetBrightness();
    ChangeLight(model, services, [&](LightInfo& l) { l.light = Byte(v); });
}

void CLightControlUI::OnSpeedChanged(CTessaronUSBDevice& model, IPageServices& services) {
    const int v = GetSpeed();
    ChangeLight(model, services, [&](LightInfo& l) { l.speed = Byte(v); });
}

void CLightControlUI::OnMulticolourChanged(CTessaronUSBDevice& model, IPageServices& services) {
    const bool on = GetMulticolour();
    ChangeLight(model, services, [&](LightInfo& l) { l.multiColor = on ? 1 : 0; });
}

void CLightControlUI::OnDirectionChosen(int direction, CTessaronUSBDevice& model,
                                        IPageServices& services) {
    SetDirection(direction);
    ChangeLight(model, services,
                [&](LightInfo& l) { l.fx = static_cast<std::uint8_t>(direction); });
}

void CLightControlUI::TakeColour(std::uint32_t colour, bool endsSync, CTessaronUSBDevice& model,
                                 IPageServices& services) {
    LightInfo info = model.LightState();
    info.red = static_cast<std::uint8_t>(colour >> 16 & 0xFF);
    info.green = static_cast<std::uint8_t>(colour >> 8 & 0xFF);
    info.blue = static_cast<std::uint8_t>(colour & 0xFF);
    info.multiColor = 0;
    services.Report(model.ChangeLight(info, endsSync));
    // The edits show what was stored, also where the page does not show the model again.
    const LightInfo& now = model.LightState();
    SetColourText(kRed, QString::number(now.red));
    SetColourText(kGreen, QString::number(now.green));
    SetColourText(kBlue, QString::number(now.blue));
    SetMulticolour(now.multiColor != 0);
    SetPaletteColour(Argb(now.red, now.green, now.blue));
}

void CLightControlUI::OnPaletteColour(CTessaronUSBDevice& model, IPageServices& services) {
    TakeColour(GetPaletteColour(), true, model, services);
}

void CLightControlUI::OnSwatch(int n, CTessaronUSBDevice& model, IPageServices& services) {
    TakeColour(GetOptionColour(n), false, model, services);
}

void CLightControlUI::OnColourEdited(int channel, CTessaronUSBDevice& model,
                                     IPageServices& services) {
    if (channel < kRed || channel > kBlue)
        return;
    const LightInfo& l = model.LightState();
    std::array<int, 3> rgb = {l.red, l.green, l.blue};
    // Takes the number the edit starts with; the edit then shows what was stored.
    rgb[static_cast<std::size_t>(channel)] = ColourChannelOf(GetColourText(channel));
    TakeColour(Argb(rgb[0], rgb[1], rgb[2]), true, model, services);
}

void CLightControlUI::StoreAudio(const AudioLightInfo& record, CTessaronUSBDevice& model,
                                 IPageServices& services) {
    const auto [a, b] = PackAudioLightInfo(record);
    services.Report(model.ChangeAudioLight(record, a, b));
    // The controls show the colour being edited, or the next pick would take the other one.
    ShowAudioLightInfo(record);
}

void CLightControlUI::OnAudioShown(bool takeColour, CTessaronUSBDevice& model,
                                   IPageServices& services) {
    StoreAudio(ReadAudioLightInfo(takeColour), model, services);
}

void CLightControlUI::OnAudioPaletteColour(CTessaronUSBDevice& model, IPageServices& services) {
    const std::uint32_t colour = GetAudioPaletteColour();
    AudioLightInfo record = ReadAudioLightInfo(true);
    SetAudioColour(record, colour, false);
    StoreAudio(record, model, services);
}

void CLightControlUI::OnAudioSwatch(int n, CTessaronUSBDevice& model, IPageServices& services) {
    const std::uint32_t colour = GetAudioOptionColour(n);
    AudioLightInfo record = ReadAudioLightInfo(true);
    SetAudioColour(record, colour, true);
    StoreAudio(record, model, services);
}

void CLightControlUI::OnAudioEdited(int channel, CTessaronUSBDevice& model,
                                    IPageServices& services) {
    if (channel < 0 || channel > 2)
        return;
    const auto v = static_cast<std::uint8_t>(ColourChannelOf(GetAudioColourText(channel)));
    AudioLightInfo r = ReadAudioLightInfo(false);
    if (r.colorTypeFlags == 1) {
        (channel == 0 ? r.fgColorR : channel == 1 ? r.fgColorG : r.fgColorB) = v;
        r.sevenColorFlags = 0;
    } else {
        (channel == 0 ? r.bkColorR : channel == 1 ? r.bkColorG : r.bkColorB) = v;
    }
    StoreAudio(r, model, services);
}

}  // namespace morva::ui
