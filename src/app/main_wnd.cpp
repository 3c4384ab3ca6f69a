#include "app/main_wnd.h"
#include "app/set_wnd.h"

#include "app/about_wnd.h"
#include "app/app_profile_switcher.h"
#include "app/msg_wnd.h"
#include "app/music_lighting.h"
#include "app/music_wnd.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>

#include "base/debug_log.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "platform/alsa/sound_card_monitor.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "ui/controls/register_controls.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/pages/keyboard_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/pages/page_routes.h"
#include "ui/pages/register_pages.h"
#include "ui/panels/macro_control.h"
#include "ui/panels/register_panels.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/resource_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::app {

using ui::TNotifyUI;

namespace {

// "main.ini" in the program data folder; empty (nothing kept) when there is none.
std::string SkinSettingsFile(const std::string& localAppData) {
    const std::string folder = GetProgramDataFolder(LocalAppDataFolder(localAppData));
    return folder.empty() ? std::string() : folder + "main.ini";
}

// Whether devices follow the program in front.
constexpr char kFollowProgramsSetting[] = "APP_PROFILES";

const char* const kClick = "click";
const char* const kSelectChanged = "selectchanged";
const char* const kValueChanged = "valuechanged";
const char* const kKillFocus = "killfocus";

std::string SenderName(const TNotifyUI& msg) {
    return msg.pSender ? msg.pSender->GetName().toStdString() : std::string();
}

}  // namespace

CMainWnd::CMainWnd(ui::CLanguageManager& language, CIpcEndpoint* ipc, DeviceSetup devices)
    : language_(language),
      ipc_(ipc),
      simBus_(devices.simBus),
      localAppData_(devices.localAppData),
      resourceFolder_(devices.resourceFolder),
      skin_(SkinSettingsFile(devices.localAppData)) {
    audioStyles_ = MakeAudioStyleStore(devices.localAppData, devices.resourceFolder);
    hook_ = std::make_unique<CDeviceHook>(devices.inputDisplay, devices.desktopInput);
    hookKeepAlive_ = new QTimer(this);
    connect(hookKeepAlive_, &QTimer::timeout, this, [this] { hook_->KeepAlive(); });
    ui::RegisterDeviceControls();
    ui::RegisterPageControls();
    ui::RegisterPanelControls();
    if (devices.backend != nullptr) {
        CDeviceManager::Options options;
        options.localAppData = devices.localAppData;
        options.resourceFolder = devices.resourceFolder;
        options.makeModel = std::move(devices.makeModel);
        options.makeAudioBridge = devices.makeAudioBridge
                                      ? std::move(devices.makeAudioBridge)
                                      : HeadsetAudioFactory(devices.simBus != nullptr, {});
        options.onArrival = [this] {
            // Start-up shows the window once it has its size; later arrivals bring it up.
            if (shownOnce_)
                BringToFront();
        };
        options.endPanelWork = [this] {
            EndRecording();
            SetKeyCapture(false);
        };
        options.services = this;
        captureHelper_ = devices.captureHelper;
        followPrograms_ = devices.followPrograms;
        programDisplay_ = devices.inputDisplay;
        options.syncClock = devices.lightSyncClock;
        devices_ = std::make_unique<CDeviceManager>(*this, *devices.backend, std::move(options));
        if (devices.simBus == nullptr)
            WatchSoundCards();
    }
    setWindowTitle(QStringLiteral("MORVA TR510"));
    // Every window of the program, owned or not, shows its texts in the language chosen here.
    ui::CPaintManagerUI::SetDefaultLanguageResolver([this](const QString& key) -> QString {
        return language_.Table().Has(key) ? language_.Text(key) : QString();
    });
    BuildRouter();
    if (ipc_) {
        connect(ipc_, &CIpcEndpoint::MessageReceived, this, &CMainWnd::OnIpcMessage);
    }
    // A display change (resolution, monitor) adapts the window again.
    auto watch = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, [this] {
            if (started_)
                AdaptToDisplay();
        });
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, watch);
}

void CMainWnd::WatchSoundCards() {
    soundCards_ = std::make_unique<alsa::CSoundCardMonitor>();
    if (soundCards_->Fd() < 0) {
        DebugLog("sound cards are not watched: %s\n", soundCards_->Reason().c_str());
        return;
    }
    // A card brings its nodes one by one; the headsets look once they have all come.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(500);
    connect(settle, &QTimer::timeout, this, [this] {
        if (devices_)
            devices_->OnSoundCardsChanged();
    });
    auto* notifier = new QSocketNotifier(soundCards_->Fd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, settle] {
        if (soundCards_->TakeEvents())
            settle->start();
    });
}

CMainWnd::~CMainWnd() {
    // The helper is asked to quit while the pages it feeds still exist.
    music_.reset();
    // The monitor thread talks to the devices: it ends before they do.
    workers_.StopAll(std::chrono::milliseconds(1000));
    ui::CPaintManagerUI::SetDefaultLanguageResolver({});
    CSkinObserver::Instance().UnregisterReceiver(this);
}

ui::CControlUI* CMainWnd::CreateControl(const QString& tag) {
    if (devices_) {
        if (ui::CControlUI* page = devices_->CreatePageControl(tag))
            return page;
    }
    return ui::WindowImplBase::CreateControl(tag);
}

intptr_t CMainWnd::HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) {
    if (msg == kMsgActivateInstance) {
        handled = true;
        // Posted after the first discovery pass: what is connected is known now.
        if (devices_)
            devices_->SetSearching(false);
        DebugLog("软件标示 %d，%lld %lld\n", msg, static_cast<long long>(wParam),
                 static_cast<long long>(lParam));
        if (shownOnce_)
            BringToFront();
        return 0;
    }
    if (devices_ && devices_->HandleMessage(msg, wParam, lParam)) {
        handled = true;
        return 0;
    }
    handled = true;
    switch (msg) {
        case kMsgLanguageChanged:
            ApplyLanguage(static_cast<int>(wParam));
            // Even the language in use names the keys again.
            if (devices_) {
                for (ui::CDevicePageUI* page : devices_->AllPages()) {
                    if (dynamic_cast<ui::CMousePageUI*>(page) ||
                        dynamic_cast<ui::CKeyboardPageUI*>(page))
                        page->RefreshText();
                }
            }
            return 0;
        case kMsgHookEnable:
            // Never ends a recording: that would lose the macro being recorded.
            SetKeyCapture(wParam == 1);
            return 0;
        case kMsgSettingProgress:
            if (ui::CControlUI* progress = FindControl(QStringLiteral("setting_progress")))
                progress->SetVisible(true);
            return 0;
        case kMsgOpenSettingsCentred:
            OpenSettingsWindow(true);
            return 0;
        case kMsgClearUpdateBadge:
            if (auto* set = dynamic_cast<ui::CButtonUI*>(FindControl(QStringLiteral("setbtn"))))
                set->SetForeImage(QString());
            return 0;
        default:
            handled = false;
            break;
    }
    return ui::WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CMainWnd::changeEvent(QEvent* event) {
    ui::WindowImplBase::changeEvent(event);
    if (devices_ &&
        (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange)) {
        devices_->SetWindowState(isActiveWindow() && !isMinimized(), isVisible() && !isMinimized());
    }
    // Capturing a key is for the key edit in front of the user, not a window behind others.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        SetKeyCapture(false);
}

void CMainWnd::showEvent(QShowEvent* event) {
    ui::WindowImplBase::showEvent(event);
    if (devices_)
        devices_->SetWindowState(isActiveWindow() && !isMinimized(), !isMinimized());
}

void CMainWnd::hideEvent(QHideEvent* event) {
    ui::WindowImplBase::hideEvent(event);
    EndRecording();
    SetKeyCapture(false);
    if (devices_)
        devices_->SetWindowState(false, false);
}

bool CMainWnd::ReceiveChange(const SkinChangedParam& param) {
    ui::CControlUI* root = FindControl(QStringLiteral("root"));
    if (root != nullptr)
        ShowBackground(*root, param);
    return true;
}

bool CMainWnd::AnyDeviceConnected() const {
    return devices_ && devices_->CountConnectedDevices() > 0;
}

void CMainWnd::InitWindow() {
    DebugLog("InitWindow\n");
    setWindowTitle(QStringLiteral("MORVA TR510"));
    lightStatus_ = FindControl(QStringLiteral("control_light_status"));
    maxBtn_ = FindControl(QStringLiteral("maxbtn"));
    restoreBtn_ = FindControl(QStringLiteral("restorebtn"));
    CSkinObserver::Instance().RegisterReceiver(this);
    // The background last chosen; the layout's own when there is none.
    if (const std::optional<SkinChangedParam> shown = skin_.Shown())
        ReceiveChange(*shown);
    const QIcon icon(ui::CResourceManager::Instance().GetPath(QStringLiteral("image/logo.svg")));
    setWindowIcon(icon);
    tray_ = std::make_unique<ui::CTrayIcon>(this);
    tray_->SetOnLeftClick([this] { ToggleFromTray(); });
    tray_->SetOnRightClick([this] {
        if (GetRoot())
            ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerTrayMenu, 10);
    });
    if (ui::CTrayIcon::IsAvailable())
        tray_->Create(icon, QStringLiteral("MORVA TR510"));
}

void CMainWnd::Notify(const TNotifyUI& msg) {
    if (msg.sType == QLatin1String("timer")) {
        OnTimer(static_cast<int>(msg.wParam));
    } else {
        DebugLog("notify %s %s\n", msg.sType.toUtf8().constData(), SenderName(msg).c_str());
        if (msg.sType == QLatin1String("windowinit")) {
            WindowStart();
        } else if (msg.sType == QLatin1String("windowsize")) {
            // The display-changed flag is served by the display adaptation timer.
        } else if (msg.sType == QLatin1String("click_wpremove") ||
                   msg.sType == QLatin1String("click_wpedit")) {
            return;  // these two end here: not even the base gets them
        } else {
            Route(msg);
            // A choice on a lighting panel may start or end music lighting.
            if (music_)
                music_->Refresh();
        }
    }
    ui::WindowImplBase::Notify(msg);
}

bool CMainWnd::Route(const TNotifyUI& msg) {
    return router_.Dispatch(msg.sType.toStdString(), SenderName(msg), msg);
}

void CMainWnd::BuildRouter() {
    auto run = [](auto f) { return [f](const TNotifyUI&, int) { f(); }; };
    // The window's own entries.
    router_.AddExact(kClick, "closebtn", run([this] {
                         CloseSecondaryWindows();
                         HideToTray();
                     }));
    // Without a tray the window could not come back: minimise instead.
    router_.AddExact(kClick, "nodevice_ok_btn", run([this] { HideToTray(); }));
    router_.AddExact(kClick, "control_light_status", run([this] { ToggleLightControl(); }));
    router_.AddExact(kClick, "minbtn", run([this] { showMinimized(); }));
    router_.AddExact(kClick, "maxbtn", run([this] {
                         showMaximized();
                         if (maxBtn_)
                             maxBtn_->SetVisible(false);
                         if (restoreBtn_)
                             restoreBtn_->SetVisible(true);
                     }));
    router_.AddExact(kClick, "restorebtn", run([this] {
                         showNormal();
                         if (maxBtn_)
                             maxBtn_->SetVisible(true);
                         if (restoreBtn_)
                             restoreBtn_->SetVisible(false);
                     }));
    router_.AddExact(kClick, "device_select_prev", run([this] {
                         if (devices_)
                             devices_->SelectPreviousDevice();
                     }));
    router_.AddExact(kClick, "device_select_next", run([this] {
                         if (devices_)
                             devices_->SelectNextDevice();
                     }));
    router_.AddExact(kSelectChanged, "device_select", [this](const TNotifyUI& msg, int) {
        auto* option = dynamic_cast<ui::COptionUI*>(msg.pSender);
        if (devices_ && option != nullptr && option->IsSelected()) {
            SetKeyCapture(false);  // the key edit belongs to the page going away
            devices_->OnDeviceTabSelected(msg.pSender);
        }
    });
    router_.AddExact(kClick, "skinbtn", [this](const TNotifyUI& msg, int) {
        // Queued: the box would take the focus from the pop-up while it is still choosing.
        connect(
            CSkinFrame::Open(this, msg.pSender, skin_), &CSkinFrame::NotSaved, this,
            [this] { ShowMessage(QString::fromLatin1(kMsgSettingNotSaved)); },
            Qt::QueuedConnection);
    });
    router_.AddExact(kClick, "setbtn", run([this] { OpenSettingsWindow(false); }));

    // Entries of panels and device pages that arrive with later work.
    router_.AddLateExact(kClick, "music_setting_btn", run([this] { OpenMusicWindow(); }));
    router_.AddLateExact(kSelectChanged, "synchro_device_select", run([] {}));
    for (const char* name : {"R_light_slider", "G_light_slider", "B_light_slider"}) {
        router_.AddLateExact(kValueChanged, name,
                             [this](const TNotifyUI& msg, int) { OnColourChannel(msg); });
    }

    // The pages and panels of the device on screen.
    const ui::CurrentPage current = [this] {
        return devices_ ? devices_->CurrentDevice() : nullptr;
    };
    ui::AddProfileRoutes(router_, current);
    ui::AddMousePageRoutes(router_, current);
    ui::AddKeyboardPageRoutes(router_, current);
    ui::AddLightRoutes(router_, current);
    // Synchronised lighting takes every device, not only the one on screen.
    router_.AddLateExact(kClick, "deng_same_mode", run([this] {
                             if (devices_)
                                 devices_->ApplySameMode();
                         }));
    ui::AddKeySetRoutes(router_, current);
    ui::AddMacroRoutes(router_, current);
    ui::AddHeadsetRoutes(router_, current);
    // Recording and key capture need the window's hook.
    router_.AddExact(kClick, "macro_btn_starredio", [this](const TNotifyUI&, int) {
        ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
        if (page != nullptr && page->MacroPanel() != nullptr)
            BeginRecording(page->MacroPanel()->ButtonRecordMode(), RecordPlace::kEnd);
    });
    router_.AddExact(kClick, "macro_btn_stopredio", run([this] { EndRecording(); }));
    router_.AddExact(ui::kNotifyMacroRecord, "MacroControlItem", [this](const TNotifyUI& msg, int) {
        BeginRecording(static_cast<RecordMode>(msg.wParam), static_cast<RecordPlace>(msg.lParam));
    });
    router_.AddExact(ui::kNotifySetFocus, "keyset_keyboard_text_edit",
                     run([this] { SetKeyCapture(true); }));
    router_.AddExact(kKillFocus, "keyset_keyboard_text_edit",
                     run([this] { SetKeyCapture(false); }));
    ui::AddShootRoutes(router_, current);
}

void CMainWnd::WindowStart() {
    if (started_)
        return;
    BroadcastLightNotice();  // other programs learn whether the lighting is ours
    ApplyLanguage(language_.GetSavedLanguage());
    if (devicesAfterFirstFrame_ && !startHidden_) {
        if (devices_)
            devices_->SetSearching(true);
        firstPaint_ = std::make_unique<CFirstPaintHook>(*this, [this] { StartDevices(); });
    } else {
        StartDevices();
    }
    if (GetRoot())
        ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerAdaptDisplay, 100);
    started_ = true;
}

void CMainWnd::StartDevices() {
    if (devices_)
        devices_->Start(workers_, 0);
    StartMusicLighting();
    StartAppProfiles();
}

void CMainWnd::StartMusicLighting() {
    if (!devices_ || music_)
        return;
    const QString helper =
        captureHelper_.empty() ? CaptureHelperPath() : QString::fromStdString(captureHelper_);
    // One note, not one a second: the helper is started again quietly, waiting longer.
    music_ = std::make_unique<CMusicLighting>(
        *devices_, [this] { ShowNote(QStringLiteral("record_open_failed")); }, helper);
    music_->Start();
    SendStyleColour(audioStyles_->Current());
}

void CMainWnd::StartAppProfiles() {
    if (!devices_ || !followPrograms_ || appProfiles_)
        return;
    CAppProfileSwitcher::Options options;
    options.display = programDisplay_;
    appProfiles_ = std::make_unique<CAppProfileSwitcher>(
        [this] { return devices_->AllPages(); },
        [this](ui::CDevicePageUI& page) {
            // Unsaved edits and a recording belong to the profile they were begun on.
            return !IsRecording() && !(editingSaved_ == 0 && &page == devices_->CurrentDevice());
        },
        std::move(options));
    appProfiles_->SetEnabled(
        language_.Settings().value(QLatin1String(kFollowProgramsSetting), true).toBool());
}

void CMainWnd::SetFollowPrograms(bool on) {
    if (!ui::SaveSetting(language_.Settings(), QLatin1String(kFollowProgramsSetting), on))
        ShowMessage(QString::fromLatin1(kMsgSettingNotSaved));
    if (appProfiles_)
        appProfiles_->SetEnabled(on);
}

void CMainWnd::OnColourChannel(const TNotifyUI& msg) {
    auto* slider = dynamic_cast<ui::CSliderUI*>(msg.pSender);
    if (slider == nullptr)
        return;
    const std::string name = SenderName(msg);
    const char channel = name.empty() ? 'R' : name[0];
    const capture::Command command = channel == 'G'   ? capture::Command::Green
                                     : channel == 'B' ? capture::Command::Blue
                                                      : capture::Command::Red;
    const int value = slider->GetValue();
    if (music_)
        (void)music_->SendChannel(command, value);
    // The label follows the slider whether or not a helper heard it.
    const QString label = QString(QLatin1Char(channel)) + QStringLiteral("_light_label");
    if (ui::CControlUI* text = FindControl(label))
        text->SetText(QStringLiteral("%1 %2").arg(QLatin1Char(channel)).arg(value));
}

void CMainWnd::OnTimer(int id) {
    if (!GetRoot())
        return;
    ui::CPaintManagerUI::KillTimer(GetRoot(), id);  // every window timer fires once
    switch (id) {
        case kTimerAdaptDisplay:
            AdaptToDisplay();
            // The window opened at its size for this display; arrivals may raise it from now,
            // unless it starts in the tray: then only once the user has opened it.
            if (!shownOnce_ && !startHidden_)
                BringToFront();
            update();
            break;
        case kTimerTrayMenu:
            OpenTrayMenu();
            break;
        case kTimerProfileSwitch:
            if (ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr)
                page->OnProfileSwitch();
            break;
        case kTimerGameLightEnd:
            EndGameLight();
            break;
        default:
            break;
    }
}

int CMainWnd::DpiForMonitor(int width, int height) {
    return width > 1500 && height > 960 ? 144 : 96;
}

void CMainWnd::AdaptToDisplay() {
    // A hidden window knows its screen too: it is never shown just to learn it.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
    dpi_ = ui::CPaintManagerUI::NormalizeDpi(DpiForMonitor(monitor.width(), monitor.height()));
    // Rescaling every control and the style sheet is the expensive part: only for a new DPI.
    if (ui::CPaintManagerUI::GetDPI() != dpi_)
        ui::CPaintManagerUI::SetAllDPI(dpi_);
    // The design size in this DPI, whatever size the window had before.
    const QSize design(ui::CPaintManagerUI::Scale(1000), ui::CPaintManagerUI::Scale(640));
    if (size() != design)
        resize(design);
    CenterWindow();
    DebugLog("display %dx%d: DPI %d, window %dx%d\n", monitor.width(), monitor.height(), dpi_,
             width(), height());
}

void CMainWnd::ShowNoDeviceView() {
    if (devices_)
        return;  // the tab strip keeps it
    if (auto* view = FindControl(QStringLiteral("No_device_Link"))) {
        view->SetVisible(!AnyDeviceConnected());
    }
}

void CMainWnd::BringToFront() {
    shownOnce_ = true;
    ShowNoDeviceView();
    if (isMinimized() || !isVisible())
        showNormal();
    raise();
    activateWindow();
}

void CMainWnd::ToggleFromTray() {
    ShowNoDeviceView();
    if (isVisible() && !isMinimized()) {
        CloseSecondaryWindows();
        hide();
        return;
    }
    AdaptToDisplay();
    shownOnce_ = true;
    showNormal();
    raise();
    activateWindow();
}

void CMainWnd::CloseSecondaryWindows() {
    // The settings, about, palette and music windows close themselves here once they exist.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<ui::WindowImplBase*>(w);
        if (window && window != this && window->isVisible() && window->IsModalRunning()) {
            window->Close(0);
        }
    }
}

void CMainWnd::OpenTrayMenu() {
    trayMenu_.reset();  // a menu still open is replaced
    trayMenu_ = std::make_unique<ui::CMenuWnd>(this);
    if (!trayMenu_->LoadLayout(QStringLiteral("menu.xml")))
        return;
    trayMenu_->SetItemHandler([this](const ui::MenuCommand& c) { OnMenuItem(c.name); });
    // Open away from the screen edge the tray sits at.
    const QPoint cursor = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
    Qt::Alignment corner = (cursor.x() > area.center().x() ? Qt::AlignRight : Qt::AlignLeft) |
                           (cursor.y() > area.center().y() ? Qt::AlignBottom : Qt::AlignTop);
    trayMenu_->Popup(cursor, corner);
}

void CMainWnd::OnMenuItem(const QString& name) {
    if (name == QLatin1String("exit")) {
        CloseSecondaryWindows();
        hide();
        workers_.StopAll(std::chrono::milliseconds(1000));
        Close(0);
        emit ExitRequested();
    } else if (name == QLatin1String("about_menu")) {
        OpenAboutWindow(this, QString::fromUtf8(std::string(Models().back().versionText).c_str()));
    } else if (name == QLatin1String("setwnd_menu")) {
        OpenSettingsWindow(true);
    }
}

void CMainWnd::ToggleLightControl() {
    SetLightControl(lightControlFlag_ == 0 ? 1 : 0);
}

void CMainWnd::BroadcastLightNotice() {
    if (!ipc_)
        return;
    ipc::Message notice;
    notice.msg = ipc::kMsgLightControlNotice;
    notice.wParam = 1;
    notice.lParam = lightControlFlag_;
    ipc_->Broadcast(notice);
}

void CMainWnd::SetLightControl(int flag) {
    lightControlFlag_ = flag;
    BroadcastLightNotice();
    if (lightStatus_) {
        lightStatus_->SetText(flag ? QStringLiteral("light_control_on")
                                   : QStringLiteral("light_control_off"));
    }
    if (devices_)
        devices_->SetExternalLightControl(flag != 0);
}

void CMainWnd::SetAwake(bool awake) {
    const bool resumed = awake && !awake_;
    awake_ = awake;
    // Asleep, the devices keep their own lighting; awake, they get the user's choice back.
    if (devices_) {
        devices_->SetExternalLightControl(awake && lightControlFlag_ != 0);
        if (resumed)
            devices_->ReadAgainAfterSleep();
    }
}

void CMainWnd::OnIpcMessage(const ipc::Message& message, QLocalSocket* connection) {
    if (message.msg == ipc::kMsgActivateInstance) {
        DebugLog("软件标示 %s，%lld %lld\n", message.msg.c_str(), message.wParam, message.lParam);
        BringToFront();
    } else if (message.msg == ipc::kMsgLightControlRequest) {
        if (message.wParam == 1 && (message.lParam == 0 || message.lParam == 1)) {
            SetLightControl(static_cast<int>(message.lParam));
        }
    } else if (message.msg == ipc::kMsgWorkToolQuery) {
        ipc::Message report;
        report.msg = "WorkToolReport";
        for (int v : kAppVersion)
            report.data["version"].append(v);
        for (const SupportedInterface& row : SupportedInterfaces()) {
            Json::Value r(Json::arrayValue);
            r.append(row.vendorId);
            r.append(row.productId);
            r.append(row.interfaceNumber);
            report.data["interfaces"].append(r);
        }
        if (ipc_)
            ipc_->Reply(connection, report);
    } else if (message.msg == ipc::kMsgAppStatusQuery) {
        if (ipc_)
            ipc_->Reply(connection, StatusReport());
    } else if (message.msg == ipc::kMsgSimRequest) {
        if (ipc_)
            ipc_->Reply(connection, SimReply(message));
    } else if (message.msg == ipc::kMsgSettingsRelay) {
        // An outside updater's progress, for the update page while it is open.
        if (CSetWnd* settings = CSetWnd::Current())
            settings->PostMessage(kMsgSettingsRelayed, static_cast<intptr_t>(message.wParam),
                                  static_cast<intptr_t>(message.lParam));
    } else if (awake_ && (message.msg == ipc::kGameStart || message.msg == ipc::kGameEnd ||
                          message.msg == ipc::kGameKill || message.msg == ipc::kGameDeath)) {
        ShowGameLight(message.wParam, message.lParam);
    }
    // Anything else is not ours: ignored.
}

void CMainWnd::ShowGameLight(long long wParam, long long lParam) {
    // A game may ask for one of the current device's own light modes, for a while; nothing
    // else, and nothing that stays.
    if (wParam < 0 || wParam > 2 || lParam < 0 || lParam > 255 || !GetRoot())
        return;
    ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
    if (gameLightPage_ != nullptr && gameLightPage_ != page)
        EndGameLight();
    if (page == nullptr)
        return;
    if (!page->Model().ShowGameLight(static_cast<int>(lParam)).Ok())
        return;
    gameLightPage_ = page;
    // The user's lighting comes back five seconds after the last game message.
    ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerGameLightEnd, 5000);
}

void CMainWnd::EndGameLight() {
    if (gameLightPage_ == nullptr)
        return;
    const OpResult result = gameLightPage_->Model().EndGameLight();
    gameLightPage_ = nullptr;
    if (!result.Ok())
        DebugLog("game lighting: the user's lighting did not reach the device\n");
}

ipc::Message CMainWnd::StatusReport() const {
    ipc::Message report;
    report.msg = ipc::kMsgAppStatusReport;
    report.data["devices"] = Json::Value(Json::arrayValue);
    if (!devices_)
        return report;
    for (const DeviceStatus& line : devices_->Status()) {
        Json::Value d;
        d["kind"] = line.kind;
        d["link"] = line.link;
        d["connected"] = line.connected;
        d["shown"] = line.shown;
        d["selected"] = line.selected;
        report.data["devices"].append(d);
    }
    return report;
}

ipc::Message CMainWnd::SimReply(const ipc::Message& request) {
    ipc::Message reply;
    reply.msg = ipc::kMsgSimReply;
    std::string error;
    bool ok = false;
    if (simBus_ == nullptr) {
        error = "the program is not running on simulated devices (start it with --simulate)";
    } else {
        std::vector<std::string> args;
        const Json::Value& list = request.data["args"];
        if (list.isArray()) {
            for (const Json::Value& a : list)
                args.push_back(a.isString() ? a.asString() : std::string());
        }
        ok = sim::ApplySimCommand(*simBus_, args, error);
    }
    reply.data["ok"] = ok;
    if (!ok)
        reply.data["error"] = error;
    return reply;
}

QString CMainWnd::Translate(const QString& key) {
    ui::CControlUI* probe = FindControl(QStringLiteral("text_test"));
    if (!probe)
        return key;
    probe->SetText(key);
    return probe->GetText();
}

void CMainWnd::ResetFontTable(const QString& face) {
    ui::CPaintManagerUI::RemoveAllSharedFonts();
    struct Entry {
        int id, size;
        bool bold, underline;
    };
    const Entry entries[] = {{0, 15, false, false}, {1, 14, false, true},   {2, 18, false, false},
                             {3, 30, false, false}, {4, 16, false, false},  {5, 20, false, false},
                             {6, 22, false, false}, {7, 14, false, false},  {8, 12, false, false},
                             {9, 11, false, false}, {10, 10, false, false}, {11, 28, false, false},
                             {50, 18, true, false}, {51, 15, true, false}};
    for (const Entry& e : entries) {
        ui::CPaintManagerUI::AddSharedFont(e.id, ui::FontInfo{face, e.size, e.bold, e.underline});
    }
    ui::CPaintManagerUI::SetSharedDefaultFont(ui::FontInfo{face, 14});
}

void CMainWnd::ApplyLanguage(int position) {
    const ui::CLanguageManager::Applied applied = language_.ApplyLanguage(position);
    if (!applied.changed)
        return;
    if (applied.fontFace) {
        ResetFontTable(*applied.fontFace);
        GetPaintManager().ApplyFonts();
    }
    ReloadText();
    update();
    // At start the choice was read from the file; only the user's own is worth a box.
    if (!applied.saved && started_)
        ShowMessage(QString::fromLatin1(kMsgSettingNotSaved));
    // The secondary windows open now show their texts in the new language too.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<ui::WindowImplBase*>(w);
        if (window != nullptr && window != this && window->isVisible())
            window->SendMessage(kMsgLanguageChanged, 0, 0);
    }
}

}  // namespace morva::app
