#include "ui/pages/power_panel.h"

#include <algorithm>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {
namespace {

// Power states of status byte 1.
constexpr std::uint8_t kCharged = 0;
constexpr std::uint8_t kCharging = 1;
constexpr std::uint8_t kOnBattery = 2;

bool ShowsWirelessLogo(int panelType) {
    return panelType == 1 || panelType == 2;
}

constexpr int kPhonePanel = 3;

struct PhoneKind {
    const char* toolTip;
    const char* image;
};

PhoneKind PhoneKindFor(std::uint8_t kind) {
    switch (kind) {
        case 1:
            return {"Phone_type_iphone", "file='power/Phone_type_iphone.png'"};
        case 2:
            return {"Phone_type_samsung", "file='power/Phone_type_samsung.png'"};
        case 3:
            return {"Phone_type_other", "file='power/Phone_type_other.png'"};
        default:
            return {"Phone_type_no_device", "file='power/Phone_type_no_device.png'"};
    }
}

}  // namespace

void CMpDevicePowerUI::SetPowerPanelType(int type, int value) {
    panelType_ = type;
    panelValue_ = value;
}

void CMpDevicePowerUI::SetPowerLayoutVisible(bool on) {
    if (layout_ == nullptr)
        layout_ =
            CPaintManagerUI::FindSubControlByName(this, QStringLiteral("device_power_Layout"));
    if (layout_ != nullptr)
        layout_->SetVisible(on);
}

bool CMpDevicePowerUI::FindControls() {
    const auto find = [this](CControlUI*& slot, const char* name) {
        if (slot == nullptr)
            slot = CPaintManagerUI::FindSubControlByName(this, QString::fromLatin1(name));
        return slot != nullptr;
    };
    if (progress_ == nullptr)
        progress_ = dynamic_cast<CProgressUI*>(
            CPaintManagerUI::FindSubControlByName(this, QStringLiteral("device_Power_progress")));
    // Every lookup runs, so a later call only repeats those still missing.
    const bool value = find(value_, "device_power_value");
    const bool logo = find(wirelessLogo_, "device_wuxian_logo");
    const bool status = find(statusImage_, "device_power_status");
    const bool phone = find(phoneType_, "device_phone_type");
    return value && logo && status && phone && progress_ != nullptr;
}

void CMpDevicePowerUI::ShowPowerStatus(const std::uint8_t* bytes, int length) {
    status_.fill(0);
    if (bytes != nullptr && length > 0)
        std::copy_n(bytes, std::min(length, kStatusSize), status_.begin());
    if (!FindControls())
        return;

    const std::uint8_t level = status_[0];
    // The bar is styled as a drain gauge: it fills with what the battery has lost.
    progress_->SetValue(100 - level);
    value_->SetText(QString::number(level) + u'%');

    wireless_ = status_[3] != 0;
    if (ShowsWirelessLogo(panelType_))
        wirelessLogo_->SetVisible(wireless_);

    switch (status_[1]) {
        case kCharged:
            progress_->SetVisible(false);
            statusImage_->SetBkImage(QStringLiteral("file='power/powered.png'"));
            break;
        case kCharging:
            progress_->SetVisible(false);
            statusImage_->SetBkImage(wireless_ ? QStringLiteral("file='power/wuxian_powering.png'")
                                               : QStringLiteral("file='power/powering.png'"));
            break;
        case kOnBattery:
            progress_->SetVisible(false);
            statusImage_->SetBkImage(QStringLiteral("file='power/power.png'"));
            break;
        default:
            break;
    }

    if (panelType_ == kPhonePanel) {
        const PhoneKind phone = PhoneKindFor(status_[5]);
        phoneType_->SetToolTip(QString::fromLatin1(phone.toolTip));
        phoneType_->SetBkImage(QString::fromLatin1(phone.image));
    }
}

}  // namespace morva::ui
