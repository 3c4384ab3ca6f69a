// The pad's page: the drawn pad whose 15 LED cells glow in the preview's colours, with the
// lighting and profile panels. The pad has lighting only, so the page has no input of its
// own: the panels hand their changes to the model's operations.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/models/mousepad_device.h"
#include "ui/pages/device_page.h"

namespace morva::ui {

class CMousePadPageUI : public CDevicePageUI {
public:
    explicit CMousePadPageUI(std::unique_ptr<CTessaronMousePadDevice> model);

    CTessaronMousePadDevice& Pad() { return static_cast<CTessaronMousePadDevice&>(Model()); }

    void InitPage() override { BuildPage(); }
    void BuildPage();
    // The names of the controls the page binds when it is built (its layout must have them).
    static std::vector<std::string> BoundControlNames();

protected:
    void ShowModel() override;
};

}  // namespace morva::ui
