// The device manager's part of the synchronised lighting: the same-mode button and its
// permission.
#include <optional>

#include "app/device_manager.h"
#include "ui/pages/device_page.h"
#include "ui/panels/light_control.h"
#include "ui/panels/page_services.h"

namespace morva::app {

void CDeviceManager::ApplySameMode() {
    ui::CDevicePageUI* current = CurrentDevice();
    if (current == nullptr || CountConnectedDevices() < 2)
        return;
    const LightInfo source = current->Model().LightState();
    const std::optional<SyncType> type =
        SyncTypeOfEffect(current->Model().GetDeviceKind(), source.selectItem);
    if (!type)
        return;
    sync_.SetLight(SyncLight::Of(*type, source));
    OpResult first = OpResult::Done();
    for (const auto* list : {&keyboards_, &mice_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list) {
            CTessaronUSBDevice& model = page->Model();
            const std::optional<int> effect = SameModeEffect(model.GetDeviceKind(), *type);
            if (!effect || !model.CommandChannel().IsOpen())
                continue;
            // The effect and its seven values; a family's own later bytes (a keyboard's
            // second zone, its colour group) stay its own.
            LightInfo info = model.LightState();
            info.selectItem = static_cast<std::uint8_t>(*effect);
            info.light = source.light;
            info.speed = source.speed;
            info.fx = source.fx;
            info.multiColor = source.multiColor;
            info.red = source.red;
            info.green = source.green;
            info.blue = source.blue;
            if (ui::CLightControlUI* panel = page->LightPanel())
                panel->ShowLightInfo(info);
            const OpResult result = model.JoinSameMode(info);
            if (first.Ok() && !result.Ok())
                first = result;
        }
    }
    // One message for all the devices: the first that failed.
    if (options_.services != nullptr)
        options_.services->Report(first);
}

void CDeviceManager::UpdateSameModePermission(int connected) {
    const bool allowed = connected > 1;
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list) {
            if (!allowed)
                page->Model().CommandChannel().externalColour = false;
            ui::CLightControlUI* panel = page->LightPanel();
            if (panel != nullptr && (panel->SameModeAllowed() != 0) != allowed)
                panel->SetSameModeAllowed(allowed ? 1 : 0);
        }
    }
}

}  // namespace morva::app
