#include "app/main_wnd.h"

#include "app/about_wnd.h"
#include "app/msg_wnd.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include "base/debug_log.h"
#include "device/device_tables.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "ui/controls/register_controls.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/pages/register_pages.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/file_dialog.h"
#include "ui/panels/light_control.h"
#include "ui/panels/register_panels.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::app {

using ui::TNotifyUI;

namespace {

const char* const kClick = "click";
const char* const kSelectChanged = "selectchanged";
const char* const kItemSelect = "itemselect";
const char* const kValueChanged = "valuechanged";
const char* const kMoveValueChanged = "movevaluechanged";
const char* const kKillFocus = "killfocus";
const char* const kColorChanged = "colorchanged";

std::string SenderName(const TNotifyUI& msg) {
    return msg.pSender ? msg.pSender->GetName().toStdString() : std::string();
}

// The size in pixels of the screen the window is on, as the mouse's setting block carries it.
QSize ScreenPixels(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    return screen->size() * screen->devicePixelRatio();
}

bool IsDpiStage(int n) {
    return n >= 0 && n < kMouseDpiStages;
}

// Stage n of the list, added (switched off, at the lowest value) when the list is shorter.
DpiStage& StageAt(std::vector<DpiStage>& stages, int n) {
    if (stages.size() <= static_cast<std::size_t>(n))
        stages.resize(static_cast<std::size_t>(n) + 1);
    return stages[static_cast<std::size_t>(n)];
}

void StoreStageValue(std::vector<DpiStage>& stages, int n, int value) {
    DpiStage& stage = StageAt(stages, n);
    stage.SetDpiX(value);
    // A stage without its own Y value moves both axes together.
    if (stage.stageXY == 0)
        stage.SetDpiY(value);
}

bool IsSelectedOption(const ui::CControlUI* control) {
    if (const auto* option = dynamic_cast<const ui::COptionUI*>(control))
        return option->IsSelected();
    if (const auto* check = dynamic_cast<const ui::CCheckBoxUI*>(control))
        return check->IsSelected();
    return true;
}

const char* const kOperationTabs[] = {"deng_Op_tab",   "key_Op_tab",       "macro_Op_tab",
                                      "system_Op_tab", "cursor_Op_tab",    "6533_voice_Op_tab",
                                      "magic_Op_tab",  "Virtual7.1_Op_tab"};
constexpr int kProfileSwitchDelayMs = 400;

ui::CDeviceProfileUI* ProfilePanelOf(ui::CDevicePageUI* page) {
    if (page == nullptr)
        return nullptr;
    return dynamic_cast<ui::CDeviceProfileUI*>(
        ui::CPaintManagerUI::FindSubControlByName(page, QStringLiteral("DeviceProfileItem")));
}

void ShowTextBox(CMainWnd& window, const char* key) {
    ShowMessageBox(&window, {}, window.Translate(QLatin1String(key)), window.Dpi(), false,
                   kMsgButtonsConfirm);
}

// A file operation the user asked for did not happen; saying nothing would look like success.
void ShowProfileFileError(CMainWnd& window) {
    ShowTextBox(window, "profile_file_error");
}

void HideKeySetLayout(ui::CDevicePageUI& page) {
    if (ui::CControlUI* keys =
            ui::CPaintManagerUI::FindSubControlByName(&page, QStringLiteral("keyset_layout")))
        keys->SetVisible(false);
}

// The device loads its current profile file again and gets all of it: the setting block, the
// macros its buttons use and the key table. A reset follows the factory order and leaves
// out the macro repair.
template <typename ReportMacros, typename Pending>
void LoadAndDownloadProfile(CMainWnd& window, ui::CDevicePageUI& page, bool reset,
                            ReportMacros reportMacros, Pending pending) {
    CTessaronUSBDevice& model = page.Model();
    model.LoadProfile();
    if (!reset)
        model.RepairMacroBindings();
    model.RefreshPage();
    const QSize screen = ScreenPixels(window);
    const int settings = model.DownloadSettings(0, 0, 1, screen.width(), screen.height());
    if (reset)
        pending("music lighting styles");
    const int type = model.DeviceType();
    const bool keyed = type == kDeviceTypeKeyboard || type == kDeviceTypeMouse;
    if (reset && !keyed)
        return;
    if (reset && type == kDeviceTypeKeyboard)
        HideKeySetLayout(page);
    const bool macros = reportMacros(model);
    // Without the key table the device would keep the previous profile's buttons.
    const int keys = model.DownloadCurrentKeyTable(0);
    if (reset && type == kDeviceTypeMouse)
        HideKeySetLayout(page);
    if (keyed && macros && (settings != kResultOk || keys != kResultOk))
        ShowTextBox(window, "message_text_7");
}

// Opens the desktop's own mouse (which 1) or keyboard (which 0) settings with the first known
// settings program that is installed, preferring those of the running desktop.
bool OpenDesktopSettings(int which) {
    struct Program {
        const char* desktop;
        const char* name;
        const char* keyboardArg;
        const char* mouseArg;
    };
    static const Program kPrograms[] = {
        {"GNOME", "gnome-control-center", "keyboard", "mouse"},
        {"KDE", "systemsettings", "kcm_keyboard", "kcm_mouse"},
        {"KDE", "systemsettings5", "kcm_keyboard", "kcm_mouse"},
        {"XFCE", "xfce4-keyboard-settings", nullptr, nullptr},
        {"XFCE", "xfce4-mouse-settings", nullptr, nullptr},
        {"MATE", "mate-keyboard-properties", nullptr, nullptr},
        {"MATE", "mate-mouse-properties", nullptr, nullptr},
        {"X-Cinnamon", "cinnamon-settings", "keyboard", "mouse"},
        {"LXQt", "lxqt-config-input", nullptr, nullptr},
    };
    if (which != 0 && which != 1)
        return false;
    // The single-purpose programs of a desktop serve one device each.
    auto serves = [which](const Program& p) {
        const QString name = QString::fromLatin1(p.name);
        if (name.contains(QLatin1String("-keyboard-")))
            return which == 0;
        if (name.contains(QLatin1String("-mouse-")))
            return which == 1;
        return true;
    };
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    for (const bool ownDesktop : {true, false}) {
        for (const Program& p : kPrograms) {
            const bool own = desktops.contains(QLatin1String(p.desktop), Qt::CaseInsensitive);
            if (own != ownDesktop || !serves(p))
                continue;
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(p.name));
            if (path.isEmpty())
                continue;
            const char* arg = which == 0 ? p.keyboardArg : p.mouseArg;
            QStringList args;
            if (arg != nullptr)
                args << QString::fromLatin1(arg);
            if (QProcess::startDetached(path, args))
                return true;
        }
    }
    DebugLog("no desktop settings program for the %s\n", which == 0 ? "keyboard" : "mouse");
    return false;
}

}  // namespace

CMainWnd::CMainWnd(ui::CLanguageManager& language, CIpcEndpoint* ipc, DeviceSetup devices)
    : language_(language), ipc_(ipc), simBus_(devices.simBus) {
    ui::RegisterDeviceControls();
    ui::RegisterPageControls();
    ui::RegisterPanelControls();
    if (devices.backend != nullptr) {
        CDeviceManager::Options options;
        options.localAppData = devices.localAppData;
        options.resourceFolder = devices.resourceFolder;
        options.makeModel = std::move(devices.makeModel);
        options.onArrival = [this] {
            // Start-up shows the window once it has its size; later arrivals bring it up.
            if (shownOnce_)
                BringToFront();
        };
        options.endPanelWork = [this] { NotBuiltYet("stop macro recording"); };
        devices_ = std::make_unique<CDeviceManager>(*this, *devices.backend, std::move(options));
    }
    setWindowTitle(QStringLiteral("MORVA TR510"));
    SetLanguageResolver([this](const QString& key) -> QString {
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

CMainWnd::~CMainWnd() {
    // The monitor thread talks to the devices: it ends before they do.
    workers_.StopAll(std::chrono::milliseconds(1000));
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
    return ui::WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CMainWnd::changeEvent(QEvent* event) {
    ui::WindowImplBase::changeEvent(event);
    if (devices_ &&
        (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange)) {
        devices_->SetWindowActive(isActiveWindow() && !isMinimized());
    }
}

void CMainWnd::hideEvent(QHideEvent* event) {
    ui::WindowImplBase::hideEvent(event);
    if (devices_)
        devices_->SetWindowActive(false);
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
        } else {
            Route(msg);
        }
    }
    ui::WindowImplBase::Notify(msg);
}

bool CMainWnd::Route(const TNotifyUI& msg) {
    return router_.Dispatch(msg.sType.toStdString(), SenderName(msg), msg);
}

void CMainWnd::NotBuiltYet(const std::string& feature) {
    ++pending_[feature];
    DebugLog("%s: not built yet\n", feature.c_str());
}

void CMainWnd::BuildRouter() {
    auto run = [](auto f) { return [f](const TNotifyUI&, int) { f(); }; };
    auto later = [this](std::string feature) {
        return [this, feature](const TNotifyUI&, int) { NotBuiltYet(feature); };
    };

    // The window's own entries.
    router_.AddExact(kClick, "closebtn", run([this] {
                         CloseSecondaryWindows();
                         // Without a tray the window could not come back: minimise instead.
                         if (tray_ && tray_->IsVisible()) {
                             hide();
                         } else {
                             showMinimized();
                         }
                     }));
    router_.AddExact(kClick, "nodevice_ok_btn", run([this] { hide(); }));
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
        if (devices_ && option != nullptr && option->IsSelected())
            devices_->OnDeviceTabSelected(msg.pSender);
    });
    router_.AddExact(kClick, "skinbtn", later("skin pop-up"));
    router_.AddExact(kClick, "setbtn", later("settings window"));

    // Entries of panels and device pages that arrive with later work.
    router_.AddPrefix(kClick, "windowdeviceset_",
                      [](const TNotifyUI&, int n) { OpenDesktopSettings(n); });
    router_.AddPrefix(kClick, "DPI_color_option_", later("palette dialog"));
    const std::pair<const char*, const char*> lateClicks[] = {
        {"reset_repeat_btn", "keyboard page"},
        {"macro_btn_starredio", "macro recording"},
        {"macro_btn_stopredio", "macro recording"},
        {"macro_btn_name_add", "macro panel"},
        {"macro_btn_name_sub", "macro panel"},
        {"macro_btn_name_edit", "macro panel"},
        {"macro_btn_save", "macro panel"},
        {"macro_btn_cancel", "macro panel"},
        {"macro_btn_export", "macro panel"},
        {"macro_btn_import", "macro panel"},
        {"macro_btn_up", "macro panel"},
        {"macro_btn_down", "macro panel"},
        {"macro_btn_uptop", "macro panel"},
        {"macro_btn_downbottom", "macro panel"},
        {"macro_btn_delete", "macro panel"},
        {"macro_btn_deleteall", "macro panel"},
        {"shootdate_save_btn", "shoot panel"},
        {"shootdate_reset_btn", "shoot panel"},
        {"shootdate_import_btn", "shoot panel"},
        {"shootdate_export_btn", "shoot panel"},
        {"bullet_selected_prev", "shoot panel"},
        {"bullet_selected_next", "shoot panel"},
        {"custom_bright_color_btn", "lighting panel"},
        {"custom_off_color_btn", "lighting panel"},
        {"deng_same_mode", "synchronised lighting"},
        {"hs_EQ_btn_save", "headset sound panels"},
        {"hs_EQ_btn_delete", "headset sound panels"},
        {"music_setting_btn", "music window"},
    };
    for (const auto& [name, feature] : lateClicks)
        router_.AddLateExact(kClick, name, later(feature));
    for (const char* name : {"macro_inset_moveleftkey_btn", "macro_inset_moverightkey_btn",
                             "macro_inset_moveupkey_btn", "macro_inset_movedownkey_btn"}) {
        router_.AddLateExact(kClick, name, later("macro panel"), true);
    }

    router_.AddExact(kItemSelect, "device_profile_combo", run([this] {
                         // A second choice within the delay restarts it: one switch, the last.
                         if (GetRoot())
                             ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerProfileSwitch,
                                                           kProfileSwitchDelayMs);
                     }));
    // The keyboard's lighting combos come with the keyboard page.
    for (const char* name : {"light_combo_custommodeSelect", "light_combo_ZZCCmodeSelect"})
        router_.AddExact(kItemSelect, name, later("lighting panel"));
    router_.AddExact(kItemSelect, "macro_name_list", later("macro panel"));
    router_.AddExact(kItemSelect, "custom_eq_name_combo", later("headset sound panels"));

    const std::pair<const char*, const char*> selectPrefixes[] = {
        {"repeat_delay_check_", "keyboard page"},
        {"shoot_gun_op_", "shoot panel"},
        {"bullet_op_", "shoot panel"},
        {"magic_option_", "headset sound panels"},
        {"6533_eq_option_", "headset sound panels"},
    };
    for (const auto& [prefix, feature] : selectPrefixes) {
        router_.AddPrefix(kSelectChanged, prefix, later(feature));
    }
    for (const char* name :
         {"winlockflag_option", "wflag_option", "6flag_option", "bullet_x_check", "bullet_y_check",
          "magic_enable_option", "6533_MicIn_option", "6533_MicMoniter_option", "keyset_fn"}) {
        router_.AddLateExact(kSelectChanged, name, later(std::string("device page: ") + name));
    }
    router_.AddLateExact(kSelectChanged, "synchro_device_select", run([] {}));

    router_.AddPrefix(kValueChanged, "6533_eq_hz_slider_", later("headset sound panels"));
    for (const char* name :
         {"repeat_rate_slider", "6533_MicIn_slider", "6533_MicMoniter_slider", "R_light_slider",
          "G_light_slider", "B_light_slider", "key_shake_slider"}) {
        router_.AddLateExact(kValueChanged, name, later(std::string("device page: ") + name));
    }
    for (const char* name :
         {"bullet_x_eidt", "bullet_y_eidt", "bullet_delay_eidt", "macro_delay"}) {
        router_.AddLateExact(kKillFocus, name, later(std::string("device page: ") + name));
    }

    // The profile panel of the current device.
    auto panelEntry = [this](auto f) {
        return [this, f](const TNotifyUI& msg, int n) {
            ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
            if (ui::CDeviceProfileUI* panel = ProfilePanelOf(page))
                f(*page, *panel, msg, n);
        };
    };
    // The device takes the panel's current profile, as after a switch.
    auto follow = [this](ui::CDevicePageUI& page, ui::CDeviceProfileUI& panel) {
        page.Model().SetProfileName(panel.GetCurrentProfileId());
        LoadAndDownloadProfile(
            *this, page, false, [this](CTessaronUSBDevice& d) { return ReportMacroDownload(d); },
            [this](const char* feature) { NotBuiltYet(feature); });
    };
    using Panel = ui::CDeviceProfileUI;
    using DevicePage = ui::CDevicePageUI;
    // Adding and deleting move the list's selection: the device follows it, or it would go on
    // with (and save into) a profile the list no longer marks, or no longer has.
    router_.AddLateExact(
        kClick, "device_add_btn",
        panelEntry([this, follow](DevicePage& page, Panel& panel, const TNotifyUI&, int) {
            if (panel.GetProfileCount() >= CProfileListStore::kMaxAddedProfiles)
                return;
            if (panel.AddProfile() < 0)
                ShowProfileFileError(*this);
            else
                follow(page, panel);
        }));
    router_.AddLateExact(
        kClick, "device_sub_btn",
        panelEntry([this, follow](DevicePage& page, Panel& panel, const TNotifyUI&, int) {
            if (panel.GetSelectedIndex() < 0 || panel.GetProfileCount() <= 1)
                return;
            if (panel.DeleteProfile() < 0)
                ShowProfileFileError(*this);
            else
                follow(page, panel);
        }));
    router_.AddLateExact(kClick, "device_copy_btn",
                         panelEntry([this](DevicePage&, Panel& panel, const TNotifyUI&, int) {
                             if (panel.GetSelectedIndex() >= 0 && panel.CopyProfile() < 0)
                                 ShowProfileFileError(*this);
                         }));
    const QString profileFilter = QStringLiteral("Profile Files(*.json)");
    const QString profilePattern = QStringLiteral("*.json;");
    router_.AddLateExact(kClick, "device_import_btn",
                         panelEntry([this, profileFilter, profilePattern](DevicePage&, Panel& panel,
                                                                          const TNotifyUI&, int) {
                             if (panel.GetSelectedIndex() < 0)
                                 return;
                             const QString path =
                                 ui::ShowOpenFileDialog(this, profileFilter, profilePattern);
                             if (path.isEmpty())
                                 return;
                             const Json::Value doc = ReadJsonFile(path.toStdString());
                             if (!json::Has(doc, "profilename") || !json::Has(doc, "profileUUID")) {
                                 ShowTextBox(*this, "profile_import_error");
                                 return;
                             }
                             if (panel.ImportProfile(path.toStdString()) < 0)
                                 ShowProfileFileError(*this);
                         }));
    router_.AddLateExact(kClick, "device_export_btn",
                         panelEntry([this, profileFilter, profilePattern](DevicePage&, Panel& panel,
                                                                          const TNotifyUI&, int) {
                             if (panel.GetSelectedIndex() < 0)
                                 return;
                             const QString path =
                                 ui::ShowSaveFileDialog(this, profileFilter, profilePattern);
                             if (!path.isEmpty() && panel.ExportProfile(path.toStdString()) < 0)
                                 ShowProfileFileError(*this);
                         }));
    router_.AddLateExact(kClick, "device_reset_btn", [this](const TNotifyUI&, int) {
        if (ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_22")), dpi_, false,
                           kMsgButtonsConfirmCancel) != CMsgWnd::kResultConfirm) {
            return;
        }
        // The box waited for the user: the device may have gone meanwhile.
        ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
        if (ui::CDeviceProfileUI* panel = ProfilePanelOf(page)) {
            if (panel->ResetProfile() < 0) {
                ShowProfileFileError(*this);
            } else {
                LoadAndDownloadProfile(
                    *this, *page, true,
                    [this](CTessaronUSBDevice& d) { return ReportMacroDownload(d); },
                    [this](const char* feature) { NotBuiltYet(feature); });
            }
        }
        SetEditingState(0, 0);  // the key assignment panel shows what was restored
    });
    router_.AddLateExact(kClick, "device_profile_edit_save_btn",
                         panelEntry([this](DevicePage&, Panel& panel, const TNotifyUI&, int) {
                             const QString name = panel.GetNameEditText();
                             if (name.isEmpty())
                                 return;
                             switch (panel.RenameProfile(name)) {
                                 case 0:
                                     ShowTextBox(*this, "message_text_5");
                                     break;
                                 case 2:
                                     ShowTextBox(*this, "message_text_25");
                                     break;
                                 case 1:
                                     break;
                                 default:
                                     ShowProfileFileError(*this);
                                     break;
                             }
                         }));
    router_.AddLateExact(kClick, "profile_fun_spread_btn",
                         panelEntry([](DevicePage&, Panel& panel, const TNotifyUI&, int) {
                             panel.ShowProfileMenu(!panel.IsProfileMenuShown());
                         }),
                         true);
    for (int page = 1; page <= ui::CDeviceProfileUI::kOperationPages; ++page) {
        router_.AddLateExact(
            kSelectChanged, kOperationTabs[page - 1], [this, page](const TNotifyUI& msg, int) {
                ui::CDevicePageUI* device = devices_ ? devices_->CurrentDevice() : nullptr;
                if (device == nullptr || !IsSelectedOption(msg.pSender))
                    return;
                device->SetFunctionType(page);
                if (ui::CDeviceProfileUI* panel = ProfilePanelOf(device))
                    panel->SelectOperationPage(page);
            });
    }
    BuildMouseRouter();
    BuildKeySetRouter();
}

void CMainWnd::BuildMouseRouter() {
    // Entries of the mouse page act on the current device when it is the mouse.
    using Page = ui::CMousePageUI;
    auto mouse = [this](auto f) {
        return [this, f](const TNotifyUI& msg, int n) {
            if (auto* page = devices_ ? dynamic_cast<Page*>(devices_->CurrentDevice()) : nullptr)
                f(*page, msg, n);
        };
    };
    // Every change goes into the profile; what the mouse itself keeps is also sent to it.
    auto commit = [this](Page& page, bool download) {
        page.Mouse().SaveProfile();
        if (!download)
            return;
        const QSize screen = ScreenPixels(*this);
        if (page.Mouse().DownloadSettings(0, 0, 1, screen.width(), screen.height()) != kResultOk)
            DebugLog("mouse: the settings did not reach the mouse\n");
    };
    auto storeStages = [commit](Page& page, auto change) {
        std::vector<DpiStage> stages = page.Mouse().GetDpiStages();
        change(stages);
        page.Mouse().SetDpiStages(stages);
        commit(page, true);
    };
    auto storeSystem = [commit](Page& page, auto change) {
        MouseSystemStages values = page.Mouse().GetSystemValues();
        change(values);
        page.Mouse().SetSystemValues(values);
        commit(page, false);
    };

    router_.AddPrefix(kSelectChanged, "DPI_enable_check_",
                      mouse([storeStages](Page& page, const TNotifyUI&, int n) {
                          if (!IsDpiStage(n))
                              return;
                          const bool on = page.IsDpiStageEnabled(n);
                          if (!on && !page.CanDisableDpiStage(n)) {
                              page.SetDpiStageEnabled(n, true);
                              return;
                          }
                          page.SetDpiStageEnabled(n, on);
                          storeStages(page, [&](std::vector<DpiStage>& stages) {
                              StageAt(stages, n).stageActive = on ? 1 : 0;
                          });
                      }));
    router_.AddPrefix(
        kSelectChanged, "DPI_select_check_",
        mouse([storeStages](Page& page, const TNotifyUI&, int n) {
            if (!IsDpiStage(n))
                return;
            // A stage that is switched off cannot be the one in use.
            page.SelectDpiStage(page.IsDpiStageEnabled(n) ? n : page.Mouse().ActiveDpiStage());
            storeStages(page, [&](std::vector<DpiStage>& stages) {
                for (int i = 0; i < kMouseDpiStages; ++i) {
                    const int value = page.GetDpiSliderValue(i);
                    page.SetDpiSliderValue(i, value);
                    StoreStageValue(stages, i, page.GetDpiSliderValue(i));
                }
            });
        }));
    router_.AddPrefix(kValueChanged, "DPI_slider_",
                      mouse([storeStages](Page& page, const TNotifyUI&, int n) {
                          if (!IsDpiStage(n))
                              return;
                          page.SetDpiSliderValue(n, page.GetDpiSliderValue(n));
                          storeStages(page, [&](std::vector<DpiStage>& stages) {
                              StoreStageValue(stages, n, page.GetDpiSliderValue(n));
                          });
                      }));
    router_.AddPrefix(kMoveValueChanged, "DPI_slider_",
                      mouse([](Page& page, const TNotifyUI& msg, int n) {
                          if (IsDpiStage(n))
                              page.SetDpiSliderValue(n, static_cast<int>(msg.wParam));
                      }));
    router_.AddPrefix(kKillFocus, "DPI_edit_",
                      mouse([storeStages](Page& page, const TNotifyUI&, int n) {
                          if (!IsDpiStage(n))
                              return;
                          page.SetDpiSliderValue(n, page.GetDpiEditValue(n));
                          storeStages(page, [&](std::vector<DpiStage>& stages) {
                              StoreStageValue(stages, n, page.GetDpiSliderValue(n));
                          });
                      }));
    router_.AddPrefix(kMoveValueChanged, "kaldo_DPI_slider_",
                      mouse([](Page& page, const TNotifyUI& msg, int n) {
                          page.ShowKaldoDpiValue(n, static_cast<int>(msg.wParam));
                      }));
    router_.AddPrefix(kKillFocus, "kaldo_DPI_edit_", mouse([](Page& page, const TNotifyUI&, int n) {
                          page.CommitKaldoDpiEdit(n);
                      }));

    router_.AddPrefix(
        kSelectChanged, "polling_rate_option_", [this, commit](const TNotifyUI& msg, int n) {
            if (!devices_ || devices_->CurrentDevice() == nullptr || !IsSelectedOption(msg.pSender))
                return;
            auto* page = dynamic_cast<Page*>(devices_->CurrentDevice());
            if (page == nullptr) {
                NotBuiltYet("device settings");
                return;
            }
            page->SetPollingRate(n);
            page->Mouse().SetPollingRate(n);
            commit(*page, true);
        });
    router_.AddLateExact(kSelectChanged, "pointer_precision_check",
                         mouse([storeSystem](Page& page, const TNotifyUI&, int) {
                             storeSystem(page, [&](MouseSystemStages& v) {
                                 v.pointerPrecision = page.IsPointerPrecision() ? 1 : 0;
                             });
                         }));
    router_.AddLateExact(kSelectChanged, "scrolls_page_check",
                         mouse([storeSystem](Page& page, const TNotifyUI&, int) {
                             page.SetScroll(page.IsScrollByPage(), page.GetScrollLines());
                             storeSystem(page, [&](MouseSystemStages& v) {
                                 v.scorllPage = page.IsScrollByPage() ? 1 : 0;
                                 v.wheelScorlllinse =
                                     static_cast<std::uint16_t>(page.GetScrollLines());
                             });
                         }));
    router_.AddLateExact(kValueChanged, "pointer_speed_slider",
                         mouse([storeSystem](Page& page, const TNotifyUI&, int) {
                             storeSystem(page, [&](MouseSystemStages& v) {
                                 v.mouseSpeed = static_cast<std::uint16_t>(page.GetPointerSpeed());
                             });
                         }));
    router_.AddLateExact(kValueChanged, "scroll_speed_slider",
                         mouse([storeSystem](Page& page, const TNotifyUI&, int) {
                             storeSystem(page, [&](MouseSystemStages& v) {
                                 v.wheelScorlllinse =
                                     static_cast<std::uint16_t>(page.GetScrollLines());
                             });
                         }));
    router_.AddLateExact(kValueChanged, "double_click_slider",
                         mouse([storeSystem](Page& page, const TNotifyUI&, int) {
                             storeSystem(page, [&](MouseSystemStages& v) {
                                 v.doubleClickTime =
                                     static_cast<std::uint16_t>(page.GetDoubleClickTime());
                             });
                         }));
    router_.AddPrefix(kSelectChanged, "mouse_device_seting_option_",
                      mouse([](Page& page, const TNotifyUI& msg, int n) {
                          if (IsSelectedOption(msg.pSender))
                              page.SelectSettingsPage(n);
                      }));
    router_.AddLateExact(kClick, "default_btn", [this](const TNotifyUI&, int) {
        if (!devices_ || devices_->CurrentDevice() == nullptr)
            return;
        if (dynamic_cast<Page*>(devices_->CurrentDevice()) == nullptr) {
            NotBuiltYet("device defaults");
            return;
        }
        // Texts are translated here: the box has no language of its own.
        if (ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_22")), dpi_, false,
                           kMsgButtonsConfirmCancel) != CMsgWnd::kResultConfirm) {
            return;
        }
        // The box waited for the user: the mouse may have gone meanwhile.
        auto* page = dynamic_cast<Page*>(devices_->CurrentDevice());
        if (page == nullptr)
            return;
        CTessaronMouseDevice& model = page->Mouse();
        model.LoadDefaultProfile();
        const bool macros = ReportMacroDownload(model);
        const QSize screen = ScreenPixels(*this);
        const bool keys = model.DownloadCurrentKeyTable(0) == kResultOk;
        const bool settings =
            model.DownloadSettings(0, 0, 1, screen.width(), screen.height()) == kResultOk;
        // The defaults are in the profile either way; the user learns the mouse missed them.
        if (macros && !(keys && settings)) {
            ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_7")), dpi_, false,
                           kMsgButtonsConfirm);
        }
    });
    router_.AddExact("click_select_end", "mouse_device_key_light",
                     mouse([this](Page& page, const TNotifyUI& msg, int) {
                         page.OnLedSelectionEnd(msg.pSender, ScreenPixels(*this));
                     }));

    // The lighting panel of the current mouse: each choice goes into the model's light state,
    // the profile, the preview and the mouse.
    using Light = ui::CLightControlUI;
    auto light = [this](auto f) {
        return [this, f](const TNotifyUI& msg, int n) {
            auto* page = devices_ ? dynamic_cast<Page*>(devices_->CurrentDevice()) : nullptr;
            if (Light* panel = page != nullptr ? page->LightPanel() : nullptr)
                f(*page, *panel, msg, n);
        };
    };
    // ApplyLightSettings takes the light state from the profile: the profile gets it first, or
    // the change would be undone at once.
    auto storeLight = [](Page& page, const LightInfo& info) {
        CTessaronMouseDevice& mouse = page.Mouse();
        mouse.SetLightInfo(info);
        mouse.Profile().WriteLightInfo(info);
        mouse.SaveProfile();
        mouse.ApplyLightSettings();
    };
    auto downloadLight = [this](Page& page) {
        const QSize screen = ScreenPixels(*this);
        if (page.Mouse().DownloadSettings(0, 0, 1, screen.width(), screen.height()) != kResultOk)
            DebugLog("mouse: the lighting did not reach the mouse\n");
    };
    // A choice of the user ends the synchronised lighting of this device.
    auto changeLight = [storeLight, downloadLight](Page& page, auto edit) {
        LightInfo info = page.Mouse().LightState();
        page.Mouse().CommandChannel().externalColour = false;
        edit(info);
        storeLight(page, info);
        downloadLight(page);
    };
    auto byte = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    router_.AddExact(kItemSelect, "light_combo_modeSelect",
                     light([changeLight, byte](Page& page, Light& panel, const TNotifyUI&, int) {
                         const int n = panel.GetMode();
                         if (n < 0)
                             return;
                         panel.SelectMode(n);
                         changeLight(page, [&](LightInfo& l) { l.selectItem = byte(n); });
                     }));
    router_.AddLateExact(
        kValueChanged, "deng_light_slider",
        light([changeLight, byte](Page& page, Light& panel, const TNotifyUI&, int) {
            const int v = panel.GetBrightness();
            panel.SetBrightness(v);
            changeLight(page, [&](LightInfo& l) { l.light = byte(v); });
        }));
    router_.AddLateExact(
        kValueChanged, "deng_speed_slider",
        light([changeLight, byte](Page& page, Light& panel, const TNotifyUI&, int) {
            const int v = panel.GetSpeed();
            panel.SetSpeed(v);
            changeLight(page, [&](LightInfo& l) { l.speed = byte(v); });
        }));
    router_.AddLateExact(kSelectChanged, "deng_7color_check",
                         light([changeLight](Page& page, Light& panel, const TNotifyUI&, int) {
                             const bool on = panel.GetMulticolour();
                             panel.SetMulticolour(on);
                             changeLight(page, [&](LightInfo& l) { l.multiColor = on ? 1 : 0; });
                         }));
    for (const auto& [name, direction] : {std::pair{"deng_FXL_check", 1}, {"deng_FXR_check", 0}}) {
        router_.AddLateExact(
            kSelectChanged, name,
            light([changeLight, d = direction](Page& page, Light& panel, const TNotifyUI&, int) {
                panel.SetDirection(d);
                changeLight(page, [&](LightInfo& l) { l.fx = static_cast<std::uint8_t>(d); });
            }));
    }
    // A swatch keeps the synchronised lighting going; the palette and the edits end it.
    auto takeColour = [storeLight, downloadLight](Page& page, Light& panel, std::uint32_t colour,
                                                  bool endsSync) {
        LightInfo info = page.Mouse().LightState();
        info.red = static_cast<std::uint8_t>(colour >> 16 & 0xFF);
        info.green = static_cast<std::uint8_t>(colour >> 8 & 0xFF);
        info.blue = static_cast<std::uint8_t>(colour & 0xFF);
        info.multiColor = 0;
        if (endsSync)
            page.Mouse().CommandChannel().externalColour = false;
        storeLight(page, info);
        panel.SetColourText(Light::kRed, QString::number(info.red));
        panel.SetColourText(Light::kGreen, QString::number(info.green));
        panel.SetColourText(Light::kBlue, QString::number(info.blue));
        panel.SetMulticolour(false);
        panel.SetPaletteColour(Light::Argb(info.red, info.green, info.blue));
        downloadLight(page);
    };
    router_.AddExact(kColorChanged, "deng_Color_Pallet",
                     light([takeColour](Page& page, Light& panel, const TNotifyUI&, int) {
                         takeColour(page, panel, panel.GetPaletteColour(), true);
                     }));
    router_.AddPrefix(kClick, "color_option_",
                      light([takeColour](Page& page, Light& panel, const TNotifyUI&, int n) {
                          takeColour(page, panel, panel.GetOptionColour(n), false);
                      }));
    const char* const colourEdits[] = {"deng_edit_R", "deng_edit_G", "deng_edit_B"};
    for (int channel = Light::kRed; channel <= Light::kBlue; ++channel) {
        router_.AddLateExact(
            kKillFocus, colourEdits[channel],
            light([takeColour, channel](Page& page, Light& panel, const TNotifyUI&, int) {
                const LightInfo& l = page.Mouse().LightState();
                std::array<int, 3> rgb = {l.red, l.green, l.blue};
                // Takes the number the edit starts with; the edit then shows what was stored.
                rgb[static_cast<std::size_t>(channel)] =
                    ui::ColourChannelOf(panel.GetColourText(channel));
                takeColour(page, panel, Light::Argb(rgb[0], rgb[1], rgb[2]), true);
            }));
    }

    // Music lighting: the model keeps no music record of its own, so the profile does.
    auto storeAudio = [](Page& page, Light& panel, const AudioLightInfo& record) {
        const auto [a, b] = Light::PackAudioLightInfo(record);
        CTessaronMouseDevice& mouse = page.Mouse();
        mouse.SetLightSelection(static_cast<int>(a), static_cast<int>(b), record.colorTypeFlags);
        mouse.Profile().WriteAudioLightInfo(record);
        mouse.SaveProfile();
        mouse.ApplyLightSettings();
        // The controls show the colour being edited, or the next pick would take the other one.
        panel.ShowAudioLightInfo(record);
    };
    auto audioAsShown = [storeAudio](bool takeColour) {
        return [storeAudio, takeColour](Page& page, Light& panel, const TNotifyUI&, int) {
            storeAudio(page, panel, panel.ReadAudioLightInfo(takeColour));
        };
    };
    router_.AddExact(kItemSelect, "light_combo_audiomodeSelect", light(audioAsShown(true)));
    router_.AddLateExact(kSelectChanged, "deng_7audiocolor_check", light(audioAsShown(true)));
    router_.AddLateExact(kClick, "Close_bkColor_btn", light(audioAsShown(true)));
    router_.AddLateExact(kSelectChanged, "audio_BkColor_check", light(audioAsShown(false)));
    router_.AddLateExact(kSelectChanged, "audio_FgColor_check", light(audioAsShown(false)));
    auto setAudioColour = [](AudioLightInfo& r, std::uint32_t colour, bool clearsMulticolour) {
        const auto red = static_cast<std::uint8_t>(colour >> 16 & 0xFF);
        const auto green = static_cast<std::uint8_t>(colour >> 8 & 0xFF);
        const auto blue = static_cast<std::uint8_t>(colour & 0xFF);
        if (r.colorTypeFlags == 1) {
            r.fgColorR = red, r.fgColorG = green, r.fgColorB = blue;
            if (clearsMulticolour)
                r.sevenColorFlags = 0;
        } else {
            r.bkColorR = red, r.bkColorG = green, r.bkColorB = blue;
        }
    };
    router_.AddExact(
        kColorChanged, "deng_audioColor_Pallet",
        light([storeAudio, setAudioColour](Page& page, Light& panel, const TNotifyUI&, int) {
            const std::uint32_t colour = panel.GetAudioPaletteColour();
            AudioLightInfo record = panel.ReadAudioLightInfo(true);
            setAudioColour(record, colour, false);
            storeAudio(page, panel, record);
        }));
    router_.AddPrefix(
        kClick, "audiocolor_option_",
        light([storeAudio, setAudioColour](Page& page, Light& panel, const TNotifyUI&, int n) {
            const std::uint32_t colour = panel.GetAudioOptionColour(n);
            AudioLightInfo record = panel.ReadAudioLightInfo(true);
            setAudioColour(record, colour, true);
            storeAudio(page, panel, record);
        }));
    const char* const audioEdits[] = {"deng_audioedit_R", "deng_audioedit_G", "deng_audioedit_B"};
    for (int channel = 0; channel < 3; ++channel) {
        router_.AddLateExact(
            kKillFocus, audioEdits[channel],
            light([storeAudio, channel](Page& page, Light& panel, const TNotifyUI&, int) {
                const auto v = static_cast<std::uint8_t>(
                    ui::ColourChannelOf(panel.GetAudioColourText(channel)));
                AudioLightInfo r = panel.ReadAudioLightInfo(false);
                if (r.colorTypeFlags == 1) {
                    (channel == 0 ? r.fgColorR : channel == 1 ? r.fgColorG : r.fgColorB) = v;
                    r.sevenColorFlags = 0;
                } else {
                    (channel == 0 ? r.bkColorR : channel == 1 ? r.bkColorG : r.bkColorB) = v;
                }
                storeAudio(page, panel, r);
            }));
    }
}

bool CMainWnd::ReportMacroDownload(CTessaronUSBDevice& device) {
    const int result = device.DownloadMacros(device.GetUsedMacros());
    ShowMacroDownloadResult(result);
    return result == 0;
}

void CMainWnd::ShowMacroDownloadResult(int result) {
    if (result < 0) {
        ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_7")), dpi_, false,
                       kMsgButtonsConfirm);
    } else if (result > 0) {
        // The translation is a format with "%d"; it is filled in as text, never as a format.
        QString text = Translate(QStringLiteral("message_text_16"));
        text.replace(QLatin1String("%d"), QString::number(result));
        ShowMessageBox(this, {}, text, dpi_, false, kMsgButtonsConfirm);
    }
}

void CMainWnd::WindowStart() {
    if (started_)
        return;
    BroadcastLightNotice();  // other programs learn whether the lighting is ours
    ApplyLanguage(language_.GetSavedLanguage());
    hide();
    if (devices_)
        devices_->Start(workers_, 0);
    NotBuiltYet("audio capture");
    NotBuiltYet("light sync thread");
    if (GetRoot())
        ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerAdaptDisplay, 100);
    started_ = true;
}

void CMainWnd::OnTimer(int id) {
    if (!GetRoot())
        return;
    ui::CPaintManagerUI::KillTimer(GetRoot(), id);  // every window timer fires once
    switch (id) {
        case kTimerAdaptDisplay:
            AdaptToDisplay();
            // Start-up hides the window until it has its size for this display; then it shows.
            if (!shownOnce_) {
                shownOnce_ = true;
                if (!startHidden_)
                    BringToFront();
            }
            update();
            break;
        case kTimerTrayMenu:
            OpenTrayMenu();
            break;
        case kTimerProfileSwitch: {
            ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
            ui::CDeviceProfileUI* panel = ProfilePanelOf(page);
            if (panel == nullptr || panel->GetSelectedIndex() < 0)
                break;
            if (panel->SelectProfile(panel->GetSelectedIndex(), false) < 0) {
                ShowProfileFileError(*this);
                break;
            }
            page->Model().SetProfileName(panel->GetCurrentProfileId());
            LoadAndDownloadProfile(
                *this, *page, false,
                [this](CTessaronUSBDevice& d) { return ReportMacroDownload(d); },
                [this](const char* feature) { NotBuiltYet(feature); });
            break;
        }
        case kTimerGameLightEnd:
            NotBuiltYet("game lighting");
            break;
        default:
            break;
    }
}

int CMainWnd::DpiForMonitor(int width, int height) {
    return width > 1500 && height > 960 ? 144 : 96;
}

void CMainWnd::AdaptToDisplay() {
    const bool wasShown = isVisible() && !isMinimized();
    if (!wasShown)
        showNormal();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
    dpi_ = ui::CPaintManagerUI::NormalizeDpi(DpiForMonitor(monitor.width(), monitor.height()));
    ui::CPaintManagerUI::SetAllDPI(96);
    setGeometry(0, 0, 1000, 640);
    ui::CPaintManagerUI::SetAllDPI(dpi_);
    // The design size in this DPI, whatever size the window had before.
    resize(ui::CPaintManagerUI::Scale(1000), ui::CPaintManagerUI::Scale(640));
    CenterWindow();
    DebugLog("display %dx%d: DPI %d, window %dx%d\n", monitor.width(), monitor.height(), dpi_,
             width(), height());
    if (wasShown) {
        show();
    } else {
        hide();
    }
}

void CMainWnd::ShowNoDeviceView() {
    if (devices_)
        return;  // the tab strip keeps it
    if (auto* view = FindControl(QStringLiteral("No_device_Link"))) {
        view->SetVisible(!AnyDeviceConnected());
    }
}

void CMainWnd::BringToFront() {
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
        NotBuiltYet("settings window");
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
    awake_ = awake;
    // Asleep, the devices keep their own lighting; awake, they get the user's choice back.
    if (devices_)
        devices_->SetExternalLightControl(awake && lightControlFlag_ != 0);
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
        NotBuiltYet("settings window");
    } else if (awake_ && (message.msg == ipc::kGameStart || message.msg == ipc::kGameEnd ||
                          message.msg == ipc::kGameKill || message.msg == ipc::kGameDeath)) {
        NotBuiltYet("game lighting");
    }
    // Anything else is not ours: ignored.
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
}

}  // namespace morva::app
