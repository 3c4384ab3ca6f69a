// The one top-level window: caption, device strip and pages, tray icon and menu, the
// window's timers, display adaptation, and the router every control notification goes
// through.
#pragma once

#include <QPointer>

#include <memory>
#include <set>

#include "app/device_hook.h"
#include "app/device_manager.h"
#include "app/first_paint.h"
#include "app/ipc_endpoint.h"
#include "app/skin_frame.h"
#include "app/window_messages.h"
#include "base/worker_table.h"
#include "macro/macro_recorder.h"
#include "ui/panels/page_services.h"
#include "ui/toolkit/menu.h"
#include "ui/toolkit/notify_router.h"
#include "ui/toolkit/tray.h"
#include "ui/toolkit/window.h"
#include "update/update_check.h"

#include <QLabel>
#include <QLocalSocket>
#include <QTimer>

namespace morva::ui {
class CLanguageManager;
class CButtonUI;
class CDevicePageUI;
}  // namespace morva::ui

namespace morva::sim {
class SimBus;
}

namespace morva {
class CAudioStyleStore;
struct AudioStyle;
}  // namespace morva

namespace morva::alsa {
class CSoundCardMonitor;
}

namespace morva::app {

class CAppProfileSwitcher;
class CMusicLighting;

// Where the window finds its devices. Without a backend it shows no devices at all.
struct DeviceSetup {
    hid::IHidBackend* backend = nullptr;
    sim::SimBus* simBus = nullptr;  // set when running on simulated devices
    std::string localAppData;       // the --data-dir folder, empty for the user's own
    std::string resourceFolder;     // holds DefaultData/
    // Tests give the pages models of their own.
    std::function<std::unique_ptr<CTessaronUSBDevice>(hid::IHidBackend&)> makeModel;
    // The headsets' sound; empty: the simulated store (not kept) on a simulated bus, else ALSA.
    AudioBridgeFactory makeAudioBridge;
    // Recording and key capture watch the whole X desktop (else only the program's windows).
    bool desktopInput = true;
    // Devices take the profiles bound to the program in front (when the setting allows).
    bool followPrograms = true;
    // The X display of both; empty: $DISPLAY.
    std::string inputDisplay;
    // The audio capture helper; empty: the one beside the program.
    std::string captureHelper;
    // The synchronised lighting's time; null: the steady clock.
    IClock* lightSyncClock = nullptr;
};

// Timers of the main window.
inline constexpr int kTimerAdaptDisplay = 1011;
inline constexpr int kTimerTrayMenu = 1032;
inline constexpr int kTimerProfileSwitch = 1055;
inline constexpr int kTimerGameLightEnd = 1066;

// Language key of the box that says a setting could not be written.
inline constexpr char kMsgSettingNotSaved[] = "setting_not_saved";

// The program's version, as the work tool report carries it.
inline constexpr int kAppVersion[4] = {2, 3, 0, 2};

class CMainWnd : public ui::WindowImplBase, public ui::IPageServices, public ISkinReceiver {
    Q_OBJECT
public:
    CMainWnd(ui::CLanguageManager& language, CIpcEndpoint* ipc, DeviceSetup devices = {});
    ~CMainWnd() override;

    // Display adaptation: DPI 144 on a monitor larger than 1500 x 960, else 96; the window at
    // its 1000 x 640 design size, centred.
    void AdaptToDisplay();
    static int DpiForMonitor(int width, int height);
    void BringToFront();
    // ui::IPageServices: what the pages' handlers ask of the window.
    void ShowMessage(const QString& key, int detail = 0, const QString& reason = {}) override;
    bool Confirm(const QString& key) override;
    void ShowNote(const QString& key) override;
    QString OpenFile(const QString& filter, const QString& pattern) override;
    QString SaveFile(const QString& filter, const QString& pattern) override;
    QSize ScreenPixels() const override;
    void SetEditingState(int lock, int saved) override;
    void StartProfileSwitch() override;
    std::optional<std::uint32_t> PickColour(std::uint32_t initial) override;
    void EditProgramBindings(const std::string& userDataFolder, const std::string& profileId,
                             const QString& profileName) override;
    void NotBuiltYet(const std::string& feature) override;
    void ResetMusicStyles() override;
    // The note ShowNote put up, while it is shown (tests).
    QString ShownNote() const;
    int EditingSaved() const { return editingSaved_; }
    // Started from the session's autostart: the window stays in the tray until asked for.
    void SetStartHidden(bool hidden) { startHidden_ = hidden; }
    // The device pages are built, and discovery started, once the shown window has painted
    // its first frame: building them takes longer than the rest of the start-up.
    void SetDevicesAfterFirstFrame(bool on) { devicesAfterFirstFrame_ = on; }
    void ToggleFromTray();
    void CloseSecondaryWindows();
    // The settings window, beside the settings button or centred (main_wnd_settings.cpp);
    // nothing when it is open already.
    void OpenSettingsWindow(bool centred);
    // One update entry per model row whose device is connected, then the program's own.
    std::vector<update::ModelEntry> UpdateEntries() const;
    // Applies the language at a list position (fonts, texts, saved choice).
    void ApplyLanguage(int position);
    // The text of a language key, looked up the way the layouts do: the hidden "text_test"
    // label is given the key and its shown text read back.
    QString Translate(const QString& key);
    // Rebuilds the shared font table with one face.
    static void ResetFontTable(const QString& face);
    // Whether any device's tab is shown.
    bool AnyDeviceConnected() const;
    // The devices, or null when the window runs without a backend.
    CDeviceManager* Devices() { return devices_.get(); }
    // Music lighting, once the window has started (null without devices).
    CMusicLighting* Music() { return music_.get(); }
    // Profiles that follow the program in front, once the window has started (null without
    // devices, or when the set-up leaves them out).
    CAppProfileSwitcher* AppProfiles() { return appProfiles_.get(); }
    // The setting "APP_PROFILES" (on unless switched off), applied at once.
    void SetFollowPrograms(bool on);

    int LightControlFlag() const { return lightControlFlag_; }
    bool Awake() const { return awake_; }
    void SetAwake(bool awake);
    int Dpi() const { return dpi_; }
    // Macro recording on the current keyboard or mouse page: the panel records, the hook
    // feeds it and the device tabs stay put until it ends (the macro is saved then).
    void BeginRecording(RecordMode mode, RecordPlace place);
    void EndRecording();
    bool IsRecording() const { return recordingPage_ != nullptr; }
    // Key capture for the key assignment panel's key edit, through the same hook.
    void SetKeyCapture(bool on);
    const CDeviceHook& Hook() const { return *hook_; }

    // The music style window (main_wnd_music.cpp); nothing when it is open already. A style
    // the user confirms goes to the audio capture, then is stored and saved.
    void OpenMusicWindow();
    CAudioStyleStore& AudioStyles() { return *audioStyles_; }
    // Where a confirmed style goes first: the audio capture's link fills it.
    void SetStyleChosenHook(std::function<void(const AudioStyle&)> hook) {
        onStyleChosen_ = std::move(hook);
    }

    // The background: a colour clears the picture, a picture the colour.
    bool ReceiveChange(const SkinChangedParam& param) override;
    CSkinSettings& Skin() { return skin_; }

    // Entries routed to features that are not built yet, and how often each was asked for.
    const std::map<std::string, int>& PendingFeatureCalls() const { return pending_; }

    // The router itself, for tests.
    bool Route(const ui::TNotifyUI& msg);
    const ui::CNotifyRouter<ui::TNotifyUI>& Router() const { return router_; }
    // Whether a name's entries only count a feature not built yet.
    bool IsPendingEntry(const std::string& name) const { return pendingNames_.count(name) > 0; }
    // Handles a line from the local socket (activation, light control, work tool query).
    void OnIpcMessage(const ipc::Message& message, QLocalSocket* connection);

signals:
    void ExitRequested();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML_MAIN"); }
    ui::CControlUI* CreateControl(const QString& tag) override;
    intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) override;
    // Activation: the pages repaint their previews only while the window is in front.
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;

private:
    // Real headsets' sound cards: udev's sound events, settled, reach the device manager.
    void WatchSoundCards();
    // Game messages: the current device shows a game's light mode, then the user's again.
    void ShowGameLight(long long wParam, long long lParam);
    void EndGameLight();
    void StartMusicLighting();
    void StartAppProfiles();
    // The colour sliders' commands 6, 7, 8 to the capture helper, and their labels.
    void OnColourChannel(const ui::TNotifyUI& msg);
    void BuildRouter();
    // Hides to the tray, or minimises where the desktop has none (the window could not
    // come back).
    void HideToTray();
    void WindowStart();
    void StartDevices();
    void OnTimer(int id);
    void OpenTrayMenu();
    void OnMenuItem(const QString& name);
    void ToggleLightControl();
    void SetLightControl(int flag);
    void BroadcastLightNotice();
    void ShowNoDeviceView();
    ipc::Message StatusReport() const;
    ipc::Message SimReply(const ipc::Message& request);
    void SendStyleColour(const AudioStyle& style);

    ui::CLanguageManager& language_;
    CIpcEndpoint* ipc_;
    ui::CNotifyRouter<ui::TNotifyUI> router_;
    std::unique_ptr<ui::CTrayIcon> tray_;
    std::unique_ptr<ui::CMenuWnd> trayMenu_;
    ui::CControlUI* lightStatus_ = nullptr;
    ui::CControlUI* maxBtn_ = nullptr;
    ui::CControlUI* restoreBtn_ = nullptr;
    QPointer<QLabel> note_;
    int lightControlFlag_ = 1;
    bool awake_ = true;
    int dpi_ = 96;
    bool started_ = false;
    bool shownOnce_ = false;
    bool startHidden_ = false;
    bool devicesAfterFirstFrame_ = false;
    std::unique_ptr<CFirstPaintHook> firstPaint_;
    int editingSaved_ = 1;
    std::map<std::string, int> pending_;
    std::unique_ptr<CDeviceHook> hook_;
    QPointer<QWidget> recordingPage_;  // the page whose panel records
    QTimer* hookKeepAlive_ = nullptr;
    std::set<std::string> pendingNames_;
    sim::SimBus* simBus_ = nullptr;
    std::string localAppData_;    // empty: the user's own
    std::string resourceFolder_;  // holds DefaultData/
    CSkinSettings skin_;
    std::unique_ptr<CDeviceManager> devices_;
    // Real headsets take their sound card again when cards come or go.
    std::unique_ptr<alsa::CSoundCardMonitor> soundCards_;
    QPointer<ui::CDevicePageUI> gameLightPage_;  // the page showing a game's light
    std::string captureHelper_;
    std::unique_ptr<CMusicLighting> music_;
    bool followPrograms_ = true;
    std::string programDisplay_;
    std::unique_ptr<CAppProfileSwitcher> appProfiles_;
    std::unique_ptr<CAudioStyleStore> audioStyles_;
    std::function<void(const AudioStyle&)> onStyleChosen_;
    // The device monitor (slot 0).
    CWorkerTable workers_;
};

}  // namespace morva::app
