// Mode 19: colour groups kept per key in the profile and in the keyboard's custom colour
// memory, one group every kCustomGroupStride bytes.
#include <algorithm>

#include "device/models/keyboard_device.h"
#include "device/protocol/commands.h"

namespace morva {

void CTessaronKeyboardDevice::EffectCustom() {
    // The colours stay as the user set them; only the brightness follows the light state.
    const std::uint8_t scale =
        preview::kBrightnessScale[std::min<std::size_t>(Engine().Light().brightness, 4)];
    for (int k = 0; k < kblight::kLeds; ++k) {
        LedColour c = LedColour::Unpack(Engine().GetLedColour(k));
        c.alpha = scale;
        Engine().SetLedColour(k, c.Pack());
    }
}

int CTessaronKeyboardDevice::LoadCustomGroup() {
    ShowCustomGroup();
    return SendCustomGroup();
}

void CTessaronKeyboardDevice::ShowCustomGroup() {
    const int group = profile_.ReadCustomLightGroup();
    const std::vector<KeyColour> colours = profile_.ReadCustomLightColours(group, kblight::kLeds);
    for (std::size_t k = 0; k < colours.size(); ++k) {
        const KeyColour& c = colours[k];
        Engine().SetLedColour(static_cast<int>(k),
                              LedColour{c.red, c.green, c.blue, c.alpha}.Pack());
    }
}

int CTessaronKeyboardDevice::SendCustomGroup() {
    if (Engine().Light().mode != kCustomColourMode || !CommandChannel().IsOpen())
        return kResultOk;
    // The group holds the colours as chosen: the keyboard applies its own brightness, so a
    // group sent at one brightness looks right at every other.
    const std::size_t length = FillLedBuffer(false, kCustomGroupStride);
    const int group = profile_.CustomLightGroup();
    return CmdWriteLightColours(CommandChannel(), frameBuffer_.data(), length, group,
                                static_cast<int>(kCustomGroupStride));
}

void CTessaronKeyboardDevice::StoreFrameInGroup(int group) {
    const std::size_t leds = Engine().CopyFrame(frameColours_);
    std::vector<KeyColour> colours(leds);
    for (std::size_t k = 0; k < leds; ++k) {
        const LedColour& c = frameColours_[k];
        colours[k] = {c.c0, c.c1, c.c2, c.alpha};
    }
    profile_.WriteCustomLightColours(colours, group);
}

OpResult CTessaronKeyboardDevice::ChangeCustomGroup(int group) {
    if (group < 0 || group >= kKeyboardCustomGroups)
        return OpResult::Refused(kMsgValueOutOfRange);
    profile_.WriteCustomLightGroup(group);
    LightInfo light = profile_.ReadLightInfo();
    light.customGroup = static_cast<std::uint8_t>(group);
    profile_.WriteLightInfo(light);
    SetLightInfo(light);
    {
        std::lock_guard lock(stateLock_);
        recordCopy_[krec::kCustomGroup] = light.customGroup;
    }
    // Read before the save starts: reading the group fills in what the profile lacks.
    ShowCustomGroup();
    const OpResult result = SaveWhileSending([this] {
        const int sent = SendSettings();
        const int colours = SendCustomGroup();
        return sent == kResultOk ? colours : sent;
    });
    AnnounceChange();
    return result;
}

OpResult CTessaronKeyboardDevice::FillCustomGroup(bool on, int panelGroup) {
    if (Engine().Light().mode != kCustomColourMode)
        return OpResult::Refused(kMsgNotSupported);
    const LightInfo& light = LightState();
    const Rgb colour = on ? Rgb{light.red, light.green, light.blue} : Rgb{0, 0, 0};
    for (int k = 0; k < kblight::kLeds; ++k) {
        LedColour c = LedColour::Unpack(Engine().GetLedColour(k));
        c.c0 = colour[0];
        c.c1 = colour[1];
        c.c2 = colour[2];
        Engine().SetLedColour(k, c.Pack());
    }
    OpResult result = OpResult::Done();
    if (panelGroup >= 0 && panelGroup < kKeyboardCustomGroups) {
        StoreFrameInGroup(panelGroup);
        result = SaveWhileSending([this] { return SendCustomGroup(); });
    } else {
        result = Finish(0, SendCustomGroup());
    }
    AnnounceChange();
    return result;
}

OpResult CTessaronKeyboardDevice::SetCustomKeyColour(int key, int panelGroup) {
    if (Engine().Light().mode != kCustomColourMode)
        return OpResult::Refused(kMsgNotSupported);
    if (key < 0 || key >= std::min(kblight::kLeds, LedCount()))
        return OpResult::Refused(kMsgValueOutOfRange);
    const LightInfo& light = LightState();
    LedColour c = LedColour::Unpack(Engine().GetLedColour(key));
    c.c0 = light.red;
    c.c1 = light.green;
    c.c2 = light.blue;
    Engine().SetLedColour(key, c.Pack());
    // Without a group chosen on the panel the change is only seen, not kept.
    if (panelGroup < 0 || panelGroup >= kKeyboardCustomGroups)
        return OpResult::Done();
    StoreFrameInGroup(panelGroup);
    return SaveWhileSending([this] { return SendCustomGroup(); });
}

}  // namespace morva
