#include "ui/controls/register_controls.h"

#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"
#include "ui/toolkit/dialog_builder.h"

namespace morva::ui {

void RegisterDeviceControls() {
    CControlFactory& factory = CControlFactory::Instance();
    // Factory creators hand back parentless controls; the builder gives them a parent.
    const auto key = []() -> CControlUI* { return new CDeviceKeyButtonUI; };
    const auto panel = []() -> CControlUI* { return new CSelectPanelUI; };
    // Registering a name again replaces its creator with the same one.
    factory.RegistControl(QStringLiteral("CDeviceKeyButtonUI"), key);
    factory.RegistControl(QStringLiteral("DeviceKeyButton"), key);
    factory.RegistControl(QStringLiteral("CSelectPanelUI"), panel);
    factory.RegistControl(QStringLiteral("SelectPanel"), panel);
}

}  // namespace morva::ui
