// The page of one product in the main window: built from the product's page layout, it binds
// the on-screen key and LED cells, shows the model's lighting preview, switches its function
// tabs and hands the model's requests (entry timers, owner messages, power status) over to
// the UI thread.
#pragma once

#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/models/usb_device.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/window.h"

namespace morva::ui {

class CDeviceKeyButtonUI;
class CDeviceOptionUI;
class CDeviceProfileUI;
class CKeySetControlUI;
class CLightControlUI;
class CMacroControlUI;
class CMpDevicePowerUI;
class IPageServices;

class CDevicePageUI : public CHorizontalLayoutUI, public IDeviceHost {
public:
    // The page owns its model; className is the layout root's device class.
    CDevicePageUI(std::unique_ptr<CTessaronUSBDevice> model, QString className);
    ~CDevicePageUI() override;

    QString GetClass() const override { return className_; }
    CTessaronUSBDevice& Model() { return *model_; }
    const CTessaronUSBDevice& Model() const { return *model_; }

    void SetOwnerWindow(WindowImplBase* owner) { owner_ = owner; }
    WindowImplBase* OwnerWindow() const { return owner_; }
    void SetTabEntry(CDeviceOptionUI* entry) { entry_ = entry; }
    CDeviceOptionUI* TabEntry() const { return entry_; }
    // Also shows or hides the panel's battery layout by the page's power panel flag.
    void SetPowerPanel(CMpDevicePowerUI* panel);
    CMpDevicePowerUI* PowerPanel() const { return powerPanel_; }

    // Sizes the cell tables from the model's counts and binds the "SelectPanel" cells.
    virtual void InitPage();
    // Paints the LED cells from the model's frame and sends it; nothing while the program
    // does not drive the LEDs.
    virtual void PresentLightFrame();
    // Stores the type in the model and selects the function tabs that belong to it.
    virtual void SetFunctionType(int type);

    // The window's services for the page's and its panels' handlers (null until given).
    void SetServices(IPageServices* services) { services_ = services; }
    IPageServices* Services() const { return services_; }
    // The page's panels, bound when the page is built; null where the layout has none.
    CLightControlUI* LightPanel() const { return lightPanel_; }
    CKeySetControlUI* KeySetPanel() const { return keySetPanel_; }
    CDeviceProfileUI* ProfilePanel() const { return profilePanel_; }
    CMacroControlUI* MacroPanel() const { return macroPanel_; }
    // The profile files of the device other than the current one.
    std::vector<std::string> OtherProfilePaths() const;
    // The model's setting block carries the size of the screen the window is on.
    void SyncScreen();

    // ---- Input every family's page handles ----
    // A key cell was clicked: on the key page it is chosen for assignment.
    virtual void OnKeyClicked(int key);
    // A function tab ("deng_Op_tab" 1 .. "Virtual7.1_Op_tab" 8) was chosen.
    virtual void OnFunctionTab(int type);
    // Key n is chosen for editing: the key assignment panel shows its function, the cell
    // and the key list mark it.
    virtual void SelectKey(int n);
    // The key assignment panel's change goes to the model (and the device); `cancel` puts
    // back what the key had when it was chosen.
    void ApplyKeyAssignment(bool cancel = false);
    // The key assignment panel's own input.
    void OnKeyCategoryChosen();
    void OnKeyMacroRepeatChosen();
    void OnKeyModifierChosen(int n, bool selected);
    void OnKeyDefault();
    void OnKeySaveToDevice();
    // The profile panel's input.
    void OnProfileAdd();
    void OnProfileDelete();
    void OnProfileCopy();
    void OnProfileImport();
    void OnProfileExport();
    void OnProfileRename();
    void OnProfileReset();
    void OnProfileMenuToggle();
    // "device_programs_btn": the programs that switch the device to the current profile.
    void OnProfilePrograms();
    // The profile chosen in the list, after the switch delay: the device takes it.
    void OnProfileSwitch();
    // The program in front asks for profile `id` (empty: the user's own choice again): the
    // device takes it as from the list, but the list's stored choice stays. Nothing when the
    // page already has it; the result of the switch otherwise.
    std::optional<OpResult> FollowProgram(const std::string& id);
    // The rubber band ended on `container` (families with LEDs to pick).
    virtual bool OnLedSelectionEnd(CControlUI* /*container*/) { return false; }

    CControlUI* SelectPanel() const { return selectPanel_; }
    // Cells by key index and LED index; null where the layout has none.
    const std::vector<CDeviceKeyButtonUI*>& KeyButtons() const { return keyButtons_; }
    const std::vector<CDeviceKeyButtonUI*>& LedControls() const { return ledControls_; }

    // IDeviceHost.
    void StartEntryTimer(int id, int ms) override;
    void SendOwnerMessage(int message, std::intptr_t wParam, std::intptr_t lParam) override;
    void ShowPowerStatus(std::span<const std::uint8_t> status) override;
    void RefreshPage() override;

protected:
    // Marks the chosen key's cell; families with a key list mark its row too.
    virtual void MarkSelectedKey(int n);
    CControlUI* FindOnPage(const QString& name) const;
    // Gives the key assignment, lighting and profile panels the device type, the macro and
    // light mode lists and the profile folders; the profile panel's choice becomes the
    // model's profile.
    void SetUpPanels(int lightLevels);
    // Shows the model's data on the page's controls (UI thread); families override it.
    virtual void ShowModel() {}

private:
    std::unique_ptr<CTessaronUSBDevice> model_;
    QString className_;
    IPageServices* services_ = nullptr;
    CLightControlUI* lightPanel_ = nullptr;
    CKeySetControlUI* keySetPanel_ = nullptr;
    CDeviceProfileUI* profilePanel_ = nullptr;
    CMacroControlUI* macroPanel_ = nullptr;
    QPointer<WindowImplBase> owner_;
    CDeviceOptionUI* entry_ = nullptr;
    CMpDevicePowerUI* powerPanel_ = nullptr;
    CControlUI* selectPanel_ = nullptr;
    std::vector<CDeviceKeyButtonUI*> keyButtons_;
    std::vector<CDeviceKeyButtonUI*> ledControls_;
};

}  // namespace morva::ui
