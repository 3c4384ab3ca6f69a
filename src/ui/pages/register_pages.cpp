#include "ui/pages/register_pages.h"

#include "ui/pages/device_option.h"
#include "ui/pages/power_panel.h"
#include "ui/toolkit/dialog_builder.h"

namespace morva::ui {

void RegisterPageControls() {
    CControlFactory& factory = CControlFactory::Instance();
    // Factory creators hand back parentless controls; the builder gives them a parent.
    const auto entry = []() -> CControlUI* { return new CDeviceOptionUI; };
    const auto power = []() -> CControlUI* { return new CMpDevicePowerUI; };
    factory.RegistControl(QStringLiteral("CDeviceOptionUI"), entry);
    factory.RegistControl(QStringLiteral("DeviceOption"), entry);
    factory.RegistControl(QStringLiteral("CMpDevicePowerUI"), power);
    factory.RegistControl(QStringLiteral("MpDevicePower"), power);
}

}  // namespace morva::ui
