// The keyboard's page: the drawn keyboard with a cell per key and the underglow LEDs, the
// Fn-layer switch, and the settings (polling rate, repeat, flags, debounce). The page binds
// its controls once when it is built, shows the model, and hands every change to the model's
// operations.
#pragma once

#include <QString>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/models/keyboard_device.h"
#include "ui/pages/device_page.h"

namespace morva::ui {

class CRichEditUI;
class CSliderUI;
class CWindowKeyFeed;

class CKeyboardPageUI : public CDevicePageUI {
public:
    explicit CKeyboardPageUI(std::unique_ptr<CTessaronKeyboardDevice> model);

    CTessaronKeyboardDevice& Keyboard() { return static_cast<CTessaronKeyboardDevice&>(Model()); }
    const CTessaronKeyboardDevice& Keyboard() const {
        return static_cast<const CTessaronKeyboardDevice&>(Model());
    }

    void InitPage() override { BuildPage(); }
    void BuildPage();
    void SetFunctionType(int type) override;
    // On the key tab the keycaps stay unlit so their legends and marks read clearly.
    void PresentLightFrame() override;
    // The names of the controls the page binds when it is built (its layout must have them).
    static std::vector<std::string> BoundControlNames();

    // IDeviceHost: the profile panel reads the list again and the model follows its choice.
    void ReloadProfileList() override;

    // ---- Input (the main window's router forwards here) ----
    void OnPollingRateChosen(int n);
    void OnRepeatDelayChosen(int n);
    void OnWinLockChanged();
    void OnWFlagChanged();
    void OnRolloverChanged();
    void OnRepeatRateChanged();
    void OnDebounceChanged();
    void OnFnLayerToggled();
    void OnRepeatTestReset();
    void OnRestoreDefaults();

    // ---- What the page shows ----
    QString KeyToolTitle(int key) const;
    QString KeyToolText(int key) const;
    // A language switch names the keys again once the texts are all reloaded.
    void RefreshText() override;

protected:
    void ShowModel() override;

private:
    void BindControls();
    void ShowKeys();
    void ShowKeyLabels();
    void ShowRepeatDelay(int option);
    void ShowDebounce(int step);
    void Report(const OpResult& result);
    QString Translate(const char* key) const;

    std::array<CControlUI*, kKeyboardPollingRates> rateOptions_{};
    std::array<CControlUI*, kKeyboardRepeatDelays> delayOptions_{};
    CControlUI* winLock_ = nullptr;
    CControlUI* wFlag_ = nullptr;
    CControlUI* rollover_ = nullptr;
    CControlUI* fnLayer_ = nullptr;
    CControlUI* fnLayout_ = nullptr;
    CControlUI* picture_ = nullptr;
    CSliderUI* repeatRate_ = nullptr;
    CWindowKeyFeed* keyFeed_ = nullptr;  // owned by the page's widget
    CSliderUI* debounce_ = nullptr;
    CControlUI* delayLabel_ = nullptr;
    CControlUI* debounceLabel_ = nullptr;
    CControlUI* textTest_ = nullptr;
    CRichEditUI* repeatTest_ = nullptr;
    // Key cells that give room to a layout extra when the keyboard has it: their own places.
    std::vector<std::pair<int, LayoutRect>> sharedCells_;
    std::vector<std::pair<QString, QString>> keyTips_;
};

}  // namespace morva::ui
