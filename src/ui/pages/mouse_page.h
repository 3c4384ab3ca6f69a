// The mouse's page: its buttons and LEDs on the drawn mouse, the DPI stages, the polling rate
// and the system values, and the list of what each button does. Operations here touch the
// page's controls; the profile and the device belong to the model.
#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "device/models/mouse_device.h"
#include "device/models/mouse_key_names.h"
#include "ui/pages/device_page.h"

namespace morva::ui {

class CDeviceKeyButtonUI;
class CLightControlUI;
class CKeySetControlUI;

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

    // ---- DPI stages (i = 0..4) ----
    // Stores the active stage in the model and shows it.
    void SelectDpiStage(int i);
    // 0xAARRGGBB of the stage's swatch; 0 when the page has none.
    std::uint32_t GetDpiColour(int i) const;
    void SetDpiColour(int i, std::uint32_t argb);
    void SetDpiStageEnabled(int i, bool on);
    bool IsDpiStageEnabled(int i) const;
    // Whether unchecking stage i keeps the mouse usable: never the active stage or the last
    // enabled one.
    bool CanDisableDpiStage(int i) const;
    void SetDpiSliderValue(int i, int value);
    // The slider value of the DPI typed into the stage's edit: raised to the sensor's minimum,
    // the largest value whose DPI does not exceed it.
    int GetDpiEditValue(int i) const;
    int GetDpiSliderValue(int i) const;

    // ---- Polling rate and system values ----
    void SetPollingRate(int n);
    void SetScroll(bool byPage, int lines);
    int GetPointerSpeed() const;
    bool IsPointerPrecision() const;
    bool IsScrollByPage() const;
    int GetScrollLines() const;
    int GetDoubleClickTime() const;
    int GetDoubleClickMax() const;

    // ---- Second DPI family ("kaldo_DPI_slider_" / "kaldo_DPI_edit_" n) ----
    void ShowKaldoDpiValue(int n, int value);
    // The edit's number clamped to 200..6500, written back and given to the slider.
    void CommitKaldoDpiEdit(int n);

    // Selects settings tab n (0 when out of range) and its option.
    void SelectSettingsPage(int n);
    // Rebuilds "device_setkeyinfo_list" and the cells' tool texts from the model's key list.
    void UpdateKeyLabels();
    QString KeyToolTitle(int button) const;
    QString KeyToolText(int button) const;
    CDeviceKeyButtonUI* LogoLed() const { return logoLed_; }
    // The page's lighting panel ("LightControlItem"); null when the layout has none.
    CLightControlUI* LightPanel() const;
    // The page's key assignment panel ("KeySetControlItem"); null when the layout has none.
    CKeySetControlUI* KeySetPanel() const;
    // Selects button n for editing: the key assignment panel shows its functions.
    void SelectKey(int n);

    // The rubber band on `container` ended. With every LED selected the profile file is read
    // again and sent to the mouse (screen: its size in pixels); true when that happened.
    bool OnLedSelectionEnd(CControlUI* container, QSize screen);

    // A language switch names the buttons again once the texts are all reloaded.
    void RefreshText() override;

protected:
    void ShowModel() override;

private:
    CControlUI* Stage(const char* prefix, int i) const;
    CControlUI* FindIndexed(const QString& prefix, int i) const;
    // Which enable checks may change: the active stage and the last enabled one are locked.
    void UpdateStageLocks();
    void ShowActiveStage();
    QString Text(const KeyLabel& label) const;

    CControlUI* settingsLayout_ = nullptr;
    // Cells bound by name ("light_" n, "light_0_" n) that show LED n besides the base's cells.
    std::vector<std::pair<int, CDeviceKeyButtonUI*>> extraLeds_;
    CControlUI* logoPanel_ = nullptr;
    CDeviceKeyButtonUI* logoLed_ = nullptr;
    std::vector<std::pair<QString, QString>> keyTips_;
};

}  // namespace morva::ui
