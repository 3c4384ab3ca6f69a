// The battery panel of a wireless device: level, charging state, the wireless mark and, on a
// charging mouse pad, the kind of phone lying on it.
#pragma once

#include <array>
#include <cstdint>

#include "ui/toolkit/containers.h"

namespace morva::ui {

class CProgressUI;

class CMpDevicePowerUI : public CHorizontalLayoutUI {
public:
    static constexpr int kStatusSize = 64;

    CMpDevicePowerUI() = default;
    QString GetClass() const override { return QStringLiteral("MpDevicePower"); }

    // Type 1 and 2 show the wireless mark, type 3 the phone on the pad.
    void SetPowerPanelType(int type, int value);
    int GetPowerPanelType() const { return panelType_; }
    int GetPowerPanelValue() const { return panelValue_; }

    void SetPowerLayoutVisible(bool on);

    // The device's status block: byte 0 level (percent), 1 power state (0 charged, 1 charging,
    // 2 on battery), 3 wireless link, 5 phone kind. Longer blocks are cut to 64 bytes, shorter
    // ones read as zeros past their end.
    void ShowPowerStatus(const std::uint8_t* bytes, int length);
    const std::array<std::uint8_t, kStatusSize>& LastStatus() const { return status_; }
    bool IsWireless() const { return wireless_; }

private:
    bool FindControls();

    CControlUI* layout_ = nullptr;
    CControlUI* value_ = nullptr;
    CControlUI* wirelessLogo_ = nullptr;
    CProgressUI* progress_ = nullptr;
    CControlUI* statusImage_ = nullptr;
    CControlUI* phoneType_ = nullptr;
    int panelType_ = 0;
    int panelValue_ = 0;
    bool wireless_ = false;
    std::array<std::uint8_t, kStatusSize> status_{};
};

}  // namespace morva::ui
