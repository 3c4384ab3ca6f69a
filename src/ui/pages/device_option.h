// A device's tab in the main window's device strip: its icon option, its name and its sync
// mark. The entry also paces its device with control timers: the lighting frames, the start-up
// read, the power status and, through a receiver, whether the device can still be reached.
#pragma once

#include <QPointer>
#include <QString>

#include <optional>

#include "ui/toolkit/containers.h"

namespace morva::ui {

class CDevicePageUI;
class COptionUI;

// The pictures of one kind of device, with the language key of its name.
struct DeviceIconSet {
    QString normal;
    QString selected;
    QString synchroNormal;
    QString synchroSelected;
    QString nameKey;
    friend bool operator==(const DeviceIconSet&, const DeviceIconSet&) = default;
};

// Device type 1 keyboard, 2 mouse, 3 mouse pad (subKey 0 hard, 1 soft), 4 and 7 headset,
// 5 hub; any other type is unknown. Empty for a mouse pad of another subKey.
std::optional<DeviceIconSet> IconSetFor(int deviceType, int subKey);

class CDeviceOptionUI : public CHorizontalLayoutUI {
public:
    CDeviceOptionUI();
    ~CDeviceOptionUI() override;
    QString GetClass() const override { return QStringLiteral("DeviceOption"); }

    void SetEntryDeviceType(int deviceType, int subKey);
    int GetDeviceType() const { return deviceType_; }
    int GetSubKey() const { return subKey_; }
    const DeviceIconSet& GetIconSet() const { return icons_; }

    // The page this entry shows: an index into the tab layout of that name.
    void BindPage(const QString& layoutName, int index);
    // -1 while the entry has no "device_select" option.
    int GetPageIndex() const;
    QString GetPageLayoutName() const { return pageLayout_; }
    // Selects the bound page in its tab layout; the main window calls it on selection.
    void ShowBoundPage();

    // A negative index keeps the one stored before.
    void SetPowerSwitch(const QString& name, int index);
    QString GetPowerSwitchName() const { return powerSwitchName_; }
    int GetPowerIndex() const { return powerIndex_; }

    void SetEntryGroup(const QString& group);
    void SetNameText(const QString& text);

    // Also makes this entry the page's tab entry.
    void SetDevice(CDevicePageUI* device);
    CDevicePageUI* GetDevice() const;
    // The container of the page's key and LED cells (its cells repaint themselves).
    void SetKeyLightArea(CControlUI* area);

    void SelectEntry(bool on);
    bool IsEntrySelected() const;
    void SetSyncMarkVisible(bool on);
    void SetSyncMarkSelected(bool on);
    bool IsSyncMarkSelected() const;

    void SetVisible(bool visible = true) override;
    bool IsShown() const { return shown_; }

    void StartStartupTimer();
    // Only while the device's command channel is open.
    void StartReachabilityTimer(int ms);

    void OnTimer(int id) override;
    // Starts (or restarts) one of the entry's timers; the device asks for them.
    void StartTimer(int id, int ms) { SetEntryTimer(id, ms); }

protected:
    // Every timer of the entry starts and stops here.
    virtual void SetEntryTimer(int id, int ms);
    virtual void KillEntryTimer(int id);

private:
    COptionUI* SelectOption() const;
    COptionUI* SyncOption() const;
    CControlUI* NameLabel() const;
    void ApplyIcons(bool synchro);
    bool ChannelOpen() const;
    bool ViaReceiver() const;
    void SendNotice(bool reachable);

    void OnFrameTimer();
    void OnStartupTimer();
    void OnReadFailed();
    void OnStatusTimer();
    void OnReachabilityTimer();

    // The page may go first; it then stops being driven.
    QPointer<CDevicePageUI> device_;
    QPointer<QWidget> keyLightArea_;
    // Found below the entry on first use; the layout may add them after construction.
    mutable COptionUI* selectOption_ = nullptr;
    mutable COptionUI* syncOption_ = nullptr;
    mutable CControlUI* nameLabel_ = nullptr;
    int deviceType_ = 0;
    int subKey_ = 0;
    DeviceIconSet icons_;
    QString powerSwitchName_;
    int powerIndex_ = -1;
    bool shown_ = true;
    bool startupMissReported_ = false;  // since the link opened
    int readFailures_ = 0;              // arrival reads in a row the device did not answer
    QString pageLayout_;
    int pageIndex_ = -1;
    std::uint32_t lastFrameGeneration_ = 0;
    int unchangedFrames_ = 0;
};

}  // namespace morva::ui
