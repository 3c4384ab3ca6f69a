// The mouse's page: its buttons and LEDs on the drawn mouse, the DPI stages, the polling rate
// and the system values, and the list of what each button does. The page binds its controls
// once when it is built, shows the model, and hands every change to the model's operations.
#pragma once

#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/models/mouse_device.h"
#include "device/models/mouse_key_names.h"
#include "ui/pages/device_page.h"

namespace morva::ui {

class CDeviceKeyButtonUI;
class CEditUI;
class CListUI;
class CShootControlUI;
class CSliderUI;
class CTabLayoutUI;

class CMousePageUI : public CDevicePageUI {
public:
    explicit CMousePageUI(std::unique_ptr<CTessaronMouseDevice> model);

    CTessaronMouseDevice& Mouse() { return static_cast<CTessaronMouseDevice&>(Model()); }
    const CTessaronMouseDevice& Mouse() const {
        return static_cast<const CTessaronMouseDevice&>(Model());
    }

    void InitPage() override { BuildPage(); }
    void BuildPage();
    // Logo LEDs first, then the base's cells and the frame to the device.
    void PresentLightFrame() override;
    void SetFunctionType(int type) override;
    // The names of the controls the page binds when it is built (its layout must have them).
    static std::vector<std::string> BoundControlNames();

    // ---- Input (the main window's router forwards here) ----
    void OnStageEnableChanged(int i);
    void OnStageChosen(int i);
    // The stage's swatch: the window's colour picker, starting from the stage's colour.
    void OnStageColourClicked(int i);
    void OnStageSliderMoved(int i, int value);
    void OnStageSliderReleased(int i);
    // Return or focus leaving the stage's edit; an empty edit shows the stored value again.
    void OnStageEditCommitted(int i);
    void OnReportRateChosen(int n);
    void OnSystemValueChanged();
    void OnSettingsTabChosen(int n);
    // The recoil tab beside the settings tabs.
    void OnRecoilTabChosen();
    void OnRestoreDefaults();
    void OnKaldoSliderMoved(int n, int value);
    void OnKaldoEditCommitted(int n);
    // The rubber band on `container` ended. With every LED selected the profile file is read
    // again and sent to the mouse; true when that happened.
    bool OnLedSelectionEnd(CControlUI* container) override;

    // ---- What the page shows ----
    bool IsDpiStageEnabled(int i) const;
    // The colour the stage's swatch shows, 0xFFRRGGBB (0 without a swatch).
    std::uint32_t GetDpiColour(int i) const;
    int GetDpiSliderValue(int i) const;
    // Selects settings tab n (0 when out of range) and its option.
    void SelectSettingsPage(int n);
    int SettingsPage() const;
    // Rebuilds "device_setkeyinfo_list" and the cells' tool texts from the model's key list.
    void UpdateKeyLabels();
    QString KeyToolTitle(int button) const;
    QString KeyToolText(int button) const;
    CDeviceKeyButtonUI* LogoLed() const { return logoLed_; }
    CShootControlUI* ShootPanel() const { return shootPanel_; }

    // A language switch names the buttons again once the texts are all reloaded.
    void RefreshText() override;

protected:
    void ShowModel() override;
    void MarkSelectedKey(int n) override;

private:
    struct StageRow {
        CControlUI* row = nullptr;
        CControlUI* enable = nullptr;
        CControlUI* select = nullptr;
        CControlUI* swatch = nullptr;
        CSliderUI* slider = nullptr;
        CEditUI* edit = nullptr;
    };
    void BindControls();
    void ShowStages();
    void ShowStageValue(int i, int sliderValue);
    void Report(const OpResult& result);
    QString Text(const KeyLabel& label) const;

    std::array<StageRow, kMouseDpiStages> stages_{};
    std::array<CControlUI*, 5> rateOptions_{};
    CSliderUI* pointerSpeed_ = nullptr;
    CSliderUI* scrollSpeed_ = nullptr;
    CSliderUI* doubleClick_ = nullptr;
    CControlUI* pointerPrecision_ = nullptr;
    CControlUI* scrollByPage_ = nullptr;
    CTabLayoutUI* settingsTabs_ = nullptr;
    std::vector<CControlUI*> settingsOptions_;
    CListUI* keyList_ = nullptr;
    CControlUI* hint_ = nullptr;
    CControlUI* recoilOption_ = nullptr;
    CShootControlUI* shootPanel_ = nullptr;
    int markedKey_ = -1;

    CControlUI* settingsLayout_ = nullptr;
    // Cells bound by name ("light_" n, "light_0_" n) that show LED n besides the base's cells.
    std::vector<std::pair<int, CDeviceKeyButtonUI*>> extraLeds_;
    CDeviceKeyButtonUI* logoLed_ = nullptr;
    std::vector<std::pair<QString, QString>> keyTips_;
};

}  // namespace morva::ui
