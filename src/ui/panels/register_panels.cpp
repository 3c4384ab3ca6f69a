#include "ui/panels/register_panels.h"

#include "ui/panels/color_palette.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/macro_control.h"
#include "ui/panels/magic_control.h"
#include "ui/panels/shoot_control.h"
#include "ui/panels/voice6533_control.h"
#include "ui/toolkit/dialog_builder.h"

namespace morva::ui {

void RegisterPanelControls() {
    CControlFactory& factory = CControlFactory::Instance();
    // Factory creators hand back parentless controls; the builder gives them a parent.
    const auto profile = []() -> CControlUI* { return new CDeviceProfileUI; };
    const auto light = []() -> CControlUI* { return new CLightControlUI; };
    const auto keys = []() -> CControlUI* { return new CKeySetControlUI; };
    const auto macros = []() -> CControlUI* { return new CMacroControlUI; };
    const auto palette = []() -> CControlUI* { return new CColorPaletteUI; };
    factory.RegistControl(QStringLiteral("DeviceProfileUI"), profile);
    factory.RegistControl(QStringLiteral("CDeviceProfileUI"), profile);
    factory.RegistControl(QStringLiteral("LightControlUI"), light);
    factory.RegistControl(QStringLiteral("CLightControlUI"), light);
    factory.RegistControl(QStringLiteral("KeySetControlUI"), keys);
    factory.RegistControl(QStringLiteral("CKeySetControlUI"), keys);
    factory.RegistControl(QStringLiteral("MacroControlUI"), macros);
    const auto shoot = []() -> CControlUI* { return new CShootControlUI; };
    const auto shootPath = []() -> CControlUI* { return new CShootPathUI; };
    factory.RegistControl(QStringLiteral("ShootControl"), shoot);
    factory.RegistControl(QStringLiteral("CShootControlUI"), shoot);
    factory.RegistControl(QStringLiteral("ShootPath"), shootPath);
    // The headset's sound panels; their tags stand for their layout files, whose roots name
    // the classes.
    const auto magic = []() -> CControlUI* { return new CMagicControlUI; };
    const auto voice = []() -> CControlUI* { return new CVoice6533ControlUI; };
    factory.RegistControl(QStringLiteral("MagicControl"), magic);
    factory.RegistControl(QStringLiteral("CMagicControlUI"), magic);
    factory.RegistControl(QStringLiteral("Voice6533Control"), voice);
    factory.RegistControl(QStringLiteral("CVoice6533ControlUI"), voice);
    factory.RegistControl(QStringLiteral("ColorPalette"), palette);
    factory.RegistControl(QStringLiteral("ColorPaletteUI"), palette);
    factory.RegistControl(QStringLiteral("CColorPaletteUI"), palette);
    factory.RegistSubLayout(QStringLiteral("DeviceProfile"),
                            QStringLiteral("XML/CustomControlXML/DeviceProfile.xml"));
    factory.RegistSubLayout(QStringLiteral("LightControl"),
                            QStringLiteral("XML/CustomControlXML/LightControl.xml"));
    factory.RegistSubLayout(QStringLiteral("KeySetControl"),
                            QStringLiteral("XML/CustomControlXML/KeySetControl.xml"));
    factory.RegistSubLayout(QStringLiteral("MacroSetControlUI"),
                            QStringLiteral("XML/CustomControlXML/MacroControl.xml"));
    factory.RegistSubLayout(QStringLiteral("ShootKeySetControlUI"),
                            QStringLiteral("XML/CustomControlXML/ShootControl.xml"));
    factory.RegistSubLayout(QStringLiteral("MagicControl"),
                            QStringLiteral("XML/CustomControlXML/MagicControl.xml"));
    factory.RegistSubLayout(QStringLiteral("Voice6533Control"),
                            QStringLiteral("XML/CustomControlXML/Voice6533Control.xml"));
    // The same panels laid out wide and short, under a device picture that takes the top.
    factory.RegistSubLayout(QStringLiteral("LightControlWide"),
                            QStringLiteral("XML/CustomControlXML/LightControlWide.xml"));
    factory.RegistSubLayout(QStringLiteral("KeySetControlWide"),
                            QStringLiteral("XML/CustomControlXML/KeySetControlWide.xml"));
}

}  // namespace morva::ui
