// The main window's devices: the interface slots the monitor thread claims, one page, tab
// entry and power panel per product, the arrival and removal handlers that open and close
// the products' links (through each model's CProductLinks), and the tab strip.
#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "app/headset_audio.h"
#include "base/worker_table.h"
#include "device/discovery/device_monitor.h"
#include "device/discovery/interface_slots.h"
#include "device/models/light_sync.h"
#include "device/models/usb_device.h"

namespace morva::ui {
class CControlUI;
class CDevicePageUI;
class CDeviceOptionUI;
class CMpDevicePowerUI;
class CTabLayoutUI;
class IPageServices;
class WindowImplBase;
}  // namespace morva::ui

namespace morva::app {

// Window messages of device discovery.
inline constexpr int kMsgDeviceArrived = 0x0C12;
inline constexpr int kMsgDeviceRemoved = 0x0C13;
// wParam: device type row (-1 unknown), lParam: the open error (const std::string*).
inline constexpr int kMsgAccessDenied = 0x0C14;
// Posted once after the first enumeration; the window comes to the front.
inline constexpr int kMsgActivateInstance = 0xC0A1;

// One line of the status report.
struct DeviceStatus {
    std::string kind;  // "mouse", "keyboard", "pad", "headset"
    std::string link;  // "cable", "receiver", "none"
    bool connected = false;
    bool shown = false;
    bool selected = false;
};

class CDeviceManager {
public:
    struct Options {
        std::string localAppData;    // empty: the user's own
        std::string resourceFolder;  // holds DefaultData/
        // The name of the profile new pages start with.
        std::string profileName;
        // After an arrival was handled (the window comes to the front).
        std::function<void()> onArrival;
        // Before the current device's tab hides: the panel work in progress ends.
        std::function<void()> endPanelWork;
        // What the pages' handlers need of the window.
        ui::IPageServices* services = nullptr;
        // Makes the model of a page (tests substitute their own); empty: the product's own.
        std::function<std::unique_ptr<CTessaronUSBDevice>(hid::IHidBackend&)> makeModel;
        // The sound of a headset on the given command interface.
        AudioBridgeFactory makeAudioBridge;
        // The synchronised lighting's time; null: the steady clock.
        IClock* syncClock = nullptr;
    };

    CDeviceManager(ui::WindowImplBase& window, hid::IHidBackend& backend, Options options);
    ~CDeviceManager();
    CDeviceManager(const CDeviceManager&) = delete;
    CDeviceManager& operator=(const CDeviceManager&) = delete;

    // A sound card came or went: every headset takes its audio back end again.
    void OnSoundCardsChanged();
    // Builds the page control of a page layout's root tag, or null for other tags.
    ui::CControlUI* CreatePageControl(const QString& tag);
    // Start-up: the mouse and keyboard pages, then the monitor thread in the worker slot and
    // the synchronised lighting.
    void Start(CWorkerTable& workers, int workerSlot);
    // While searching, the window does not say that no device is connected: until the first
    // discovery pass has been handled it cannot know.
    void SetSearching(bool on);
    // The window's messages of this class; false for others.
    bool HandleMessage(int msg, intptr_t wParam, intptr_t lParam);

    // Handlers (UI thread).
    void CreateFixedPages();
    void OnDeviceArrived(int slot);
    void OnDeviceRemoved(int slot);
    bool PageExists(int slot) const;
    ui::CDevicePageUI* CreateDevicePage(int interfaceRow, int subKey);
    void AttachCommandInterface(int slot);
    void DetachCommandInterface(int slot);
    void SwitchLink(int slot);
    void AttachEventInterface(int slot, int deviceType);
    void DetachEventInterface(int slot, int deviceType);

    // Tab strip. Entries are addressed by their index in "device_select_layout".
    void ShowDeviceTab(int index, bool visible, bool select);
    void HideDeviceTab(int index);
    void OnDeviceTabSelected(ui::CControlUI* option);
    void SelectPreviousDevice();
    void SelectNextDevice();
    // Number of connected entries; `first` gets the first one's index (-1 without).
    int CountConnectedDevices(int* first = nullptr) const;
    ui::CDevicePageUI* CurrentDevice() const;
    // Whether the window is in front: the pages repaint their previews only then.
    // Focused, and on screen at all; pages made later take the same.
    void SetWindowState(bool active, bool shown);
    // Reachability notices of the entries (wParam the device's type row). A wireless device
    // out of reach hides its tab and is named in "device_unreach_notice" until it answers.
    void OnDeviceOptionNotice(intptr_t row, intptr_t reachable);
    // Whether the program drives the lighting of the mice, keyboards and mouse pads; pages
    // made later start with the last value given.
    void SetExternalLightControl(bool on);
    // The first device this user may not open is named in the window, with the commands that
    // install the device rule; later ones change nothing.
    void ShowAccessNotice(int typeRow, const std::string& openError);
    bool AccessNoticeShown() const { return accessNoticeShown_; }
    // After a sleep: every device still connected is read again as at its arrival (the
    // monitor releases those that went away meanwhile).
    void ReadAgainAfterSleep();
    // The same-mode button (same_mode.cpp): every connected device on the current device's
    // effect, colour, brightness and speed, painted from then on by the synchronised
    // lighting. Nothing when the current device's effect has no synchronised counterpart.
    void ApplySameMode();
    CLightSync& LightSync() { return sync_; }

    // Lookups for the status report and tests.
    std::vector<DeviceStatus> Status() const;
    ui::CDevicePageUI* PageOfKind(int kind) const;
    // Every device page: keyboards, mice, mouse pads, headsets.
    std::vector<ui::CDevicePageUI*> AllPages() const;
    int EntryIndexOfRow(int typeRow) const;
    ui::CDeviceOptionUI* EntryAt(int index) const;
    int EntryCount() const;
    const CInterfaceSlots& Slots() const { return slots_; }
    int ActivationsPosted() const { return activations_; }
    // Reachability polls after a switch to the receiver whose result the UI thread took.
    int ReachPollsDone() const { return reachPollsDone_; }
    // One monitor pass on the calling thread (tests drive discovery with it).
    void PollDevicesOnce() { monitor_.PollOnce(); }

private:
    // Only the chosen device's page is on screen, and only while the window is.
    void UpdatePagesShown();
    // The monitor thread's news, handed to the window and handled before the monitor goes on.
    class MonitorListener : public IDiscoveryListener {
    public:
        explicit MonitorListener(CDeviceManager& owner) : owner_(owner) {}
        void OnDeviceArrived(int slot) override;
        void OnDeviceRemoved(int slot) override;
        void OnFirstPass() override;
        void OnAccessDenied(const SupportedInterface& record, const std::string& error) override;

    private:
        CDeviceManager& owner_;
    };

    std::vector<ui::CDevicePageUI*>& ListOf(int deviceType);
    const std::vector<ui::CDevicePageUI*>& ListOf(int deviceType) const;
    ui::CDevicePageUI* FindDevice(const SupportedInterface& record) const;
    ui::CDevicePageUI* EventOwner(int slot) const;
    bool BothLinksPresent(int slot) const;
    ui::CControlUI* Find(const char* name) const;
    ui::CTabLayoutUI* Tabs(const char* name) const;
    void UpdateStrip();
    bool searching_ = false;
    // The same-mode button is allowed while more than one device is connected; withdrawn,
    // every device leaves the synchronised lighting.
    void UpdateSameModePermission(int connected);
    // A product's link went over to its receiver and the wireless device was polled.
    void OnReachPollDone(ui::CDevicePageUI& page, std::uint64_t ticket);
    void SetOutOfReach(int typeRow, bool out);
    void UpdateReachNotice();

    ui::WindowImplBase& window_;
    hid::IHidBackend& backend_;
    Options options_;
    CInterfaceSlots slots_;
    MonitorListener listener_{*this};
    CDeviceMonitor monitor_;
    std::stop_token monitorStop_;
    std::vector<ui::CDevicePageUI*> mice_, keyboards_, pads_, headsets_;
    std::vector<ui::CMpDevicePowerUI*> powerPanels_;
    int selectedEntry_ = -1;
    bool externalLight_ = true;
    bool windowActive_ = false;
    bool accessNoticeShown_ = false;
    bool windowShown_ = false;
    int reachPollsDone_ = 0;
    std::set<int> outOfReach_;  // type rows of wireless devices their receiver cannot reach
    std::atomic<int> activations_{0};
    CLightSync sync_;
};

}  // namespace morva::app
