#include "ui/pages/mousepad_page.h"

#include "ui/panels/light_control.h"

namespace morva::ui {
namespace {

constexpr int kLightLevels = 4;

}  // namespace

CMousePadPageUI::CMousePadPageUI(std::unique_ptr<CTessaronMousePadDevice> model)
    : CDevicePageUI(std::move(model), QStringLiteral("TessaronMousePadDevice")) {}

std::vector<std::string> CMousePadPageUI::BoundControlNames() {
    std::vector<std::string> names = {"mousepad_device_key_light", "DeviceProfileItem",
                                      "LightControlItem"};
    for (int i = 0; i < kPadLeds; ++i)
        names.push_back("light_" + std::to_string(i));
    return names;
}

void CMousePadPageUI::BuildPage() {
    CDevicePageUI::InitPage();
    if (Model().DeviceXmlPath().empty())
        return;
    SetUpPanels(kLightLevels);
    ShowModel();
}

void CMousePadPageUI::ShowModel() {
    if (CLightControlUI* light = LightPanel())
        light->ShowLightInfo(Pad().LightState());
}

}  // namespace morva::ui
