// Process entry of the desktop program.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScreen>
#include <QSettings>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/first_paint.h"
#include "app/ipc_endpoint.h"
#include "app/main_wnd.h"
#include "app/sleep_watcher.h"
#include "base/debug_log.h"
#include "base/file_lock.h"
#include "base/install_paths.h"
#include "device/device_folders.h"
#include "platform/hidraw/hidraw_backend.h"
#include "profile/json_file.h"
#include "profile/profile_list_store.h"
#include "sim/sim_bus.h"
#include "ui/language/language_manager.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace {

QElapsedTimer g_sinceMain;

const char* kUsage =
    "usage: morva-tr510 [--simulate LIST] [--sim-state FILE] [--data-dir DIR] [--tray]\n"
    "  --simulate LIST   simulated devices instead of the HID bus (mouse, mouse-receiver,\n"
    "                    keyboard, keyboard-receiver, pad, headset; comma-separated)\n"
    "  --sim-state FILE  keep the simulated devices' memory in FILE\n"
    "  --data-dir DIR    use DIR as the local application data folder\n"
    "  --tray            start hidden in the tray (the autostart entry uses it)\n";

// Private fonts shipped with the program; missing ones are skipped.
void LoadFonts(const QString& res) {
    for (const char* name : {"Simplified_Chinese.ttf", "Corvane-Regular.otf",
                             "NotoSansThai-Regular.ttf", "NotoSansCJKtc-Regular.otf"}) {
        const QString path = QDir(res).filePath(QStringLiteral("Font/") + name);
        if (QFileInfo::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
}

// --help among the arguments (not as an option's value): answered before QApplication,
// which needs a display.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h")
            return true;
        if (a == "--simulate" || a == "--sim-state" || a == "--data-dir")
            ++i;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    g_sinceMain.start();
    if (AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MORVA TR510"));
    QApplication::setOrganizationName(QStringLiteral("MORVA TR510 Device"));
    QApplication::setQuitOnLastWindowClosed(false);  // it lives on in the tray

    const QStringList args = QApplication::arguments();
    bool simulate = false;
    std::vector<morva::sim::Link> links;
    std::string simState;
    std::string dataDir;
    bool startHidden = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--simulate" && i + 1 < args.size()) {
            std::string error;
            if (!morva::sim::ParseLinkList(args[++i].toStdString(), links, error)) {
                std::fprintf(stderr, "morva-tr510: %s\n", error.c_str());
                return 2;
            }
            simulate = true;
            continue;
        }
        if (a == "--tray") {
            startHidden = true;
            continue;
        }
        if (a == "--sim-state" && i + 1 < args.size()) {
            simState = args[++i].toStdString();
            continue;
        }
        if (a == "--data-dir" && i + 1 < args.size()) {
            dataDir = args[++i].toStdString();
            continue;
        }
        std::fprintf(stderr, "morva-tr510: unknown argument %s\n%s", a.toLocal8Bit().constData(),
                     kUsage);
        return 2;
    }

    const QString res = QString::fromStdString(morva::ResourceFolder());
    morva::DebugLog("resources: %s\n", res.toLocal8Bit().constData());
    LoadFonts(res);

    std::string socketError;
    const std::string socketPath = morva::ipc::SocketPath(socketError);
    morva::app::CIpcEndpoint ipc(QString::fromStdString(socketPath));
    switch (ipc.ClaimInstance()) {
        case morva::app::CIpcEndpoint::Claim::AlreadyRunning:
            return 0;  // the running instance comes to the front
        case morva::app::CIpcEndpoint::Claim::Failed:
            std::fprintf(stderr, "morva-tr510: running without the local socket: %s %s\n",
                         socketError.c_str(), ipc.Error().toLocal8Bit().constData());
            break;
        case morva::app::CIpcEndpoint::Claim::First:
            break;
    }

    // The data folder is the program's while it runs: morvactl's writers of the same folder
    // wait for it or refuse. Writes killed part-way leave their temporary files, and profiles
    // killed between their file and their list leave files no list names; with the lock
    // held, no writer of ours or morvactl's can be half-way through one.
    std::optional<morva::CFileLock> dataLock;
    if (const std::string data = morva::GetProgramDataFolder(morva::LocalAppDataFolder(dataDir));
        !data.empty()) {
        std::string lockError;
        dataLock = morva::CFileLock::Acquire(data + morva::kDataLockFileName,
                                             std::chrono::milliseconds(5000), lockError);
        if (dataLock)
            morva::TidyAfterKilledWrites(data);
        else
            morva::DebugLog("the data folder is not locked: %s\n", lockError.c_str());
    }

    morva::ui::CResourceManager::Instance().SetResourcePath(QDir(res).filePath("skin"));
    morva::ui::CResourceManager::Instance().LoadResource();
    morva::ui::CLanguageManager::InstallFontSubstitutions();
    QSettings settings(QStringLiteral("MORVA TR510 Device"), QStringLiteral("MORVA TR510"));
    // The one instance runs now, and nothing else writes the settings file.
    morva::ui::RemoveStaleSettingsLock(settings);
    morva::ui::CLanguageManager language(QDir(res).filePath("DefaultData"),
                                         QDir(res).filePath("skin"), settings);

    // The HID bus, or the simulated one with the links named on the command line.
    std::unique_ptr<morva::hid::IHidBackend> backend;
    morva::app::DeviceSetup devices;
    if (simulate) {
        morva::sim::SimBusOptions options;
        options.plugged = links;
        options.stateFile = simState;
        options.latency = morva::sim::kUsbLatency;
        auto bus = std::make_unique<morva::sim::SimBus>(options);
        devices.simBus = bus.get();
        backend = std::move(bus);
    } else {
        backend = std::make_unique<morva::hid::HidrawBackend>();
    }
    devices.backend = backend.get();
    devices.makeAudioBridge = morva::app::HeadsetAudioFactory(simulate, simState);
    devices.localAppData = dataDir;
    devices.resourceFolder = res.toStdString();

    // The window opens centred on the primary screen: its DPI is chosen before the layout is
    // built, so the pages are built once at their final scale instead of being rescaled.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect monitor = screen->geometry();
        morva::ui::CPaintManagerUI::SetAllDPI(
            morva::app::CMainWnd::DpiForMonitor(monitor.width(), monitor.height()));
    }
    morva::app::CMainWnd window(language, &ipc, devices);
    QObject::connect(&window, &morva::app::CMainWnd::ExitRequested, &app, &QApplication::quit);
    window.SetStartHidden(startHidden);
    window.Create();  // at the design size in this DPI
    window.CenterWindow();
    // The window maps once, at its size; the device pages follow its first frame.
    window.SetDevicesAfterFirstFrame(true);
    window.SendWindowInit();
    // With MORVA_DEBUG: when the window painted its first frame, in ms since the epoch (to set
    // against the time the process was started) and since main() began. Watching from
    // after the window's own watch (which starts the devices), it is told first.
    std::optional<morva::app::CFirstPaintHook> firstFrame;
    if (morva::DebugLogEnabled()) {
        firstFrame.emplace(window, [&window] {
            morva::DebugLog(
                "window: first frame %dx%d at %lld ms since the epoch, %lld ms "
                "after main\n",
                window.width(), window.height(),
                static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                static_cast<long long>(g_sinceMain.elapsed()));
        });
    }
    if (!startHidden)
        window.ShowWindow(true);

    morva::app::CSleepWatcher sleep;
    QObject::connect(&sleep, &morva::app::CSleepWatcher::Suspending,
                     [&window] { window.SetAwake(false); });
    QObject::connect(&sleep, &morva::app::CSleepWatcher::Resumed,
                     [&window] { window.SetAwake(true); });
    return QApplication::exec();
}
