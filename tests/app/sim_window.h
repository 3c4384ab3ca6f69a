// The main window on a simulated bus, built as the program builds it, for tests that drive
// pages and panels through the window's router. Its control timers run on `timers`: time
// moves only when the test advances it.
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTest>

#include "app/main_wnd.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/keyboard_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/toolkit/resource_manager.h"
#include "ui/toolkit/timer_source.h"

namespace morva::test {

inline QString ResDir() {
    return QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath(QStringLiteral("../../res"));
}

// The program's resources, a language manager on a settings file of the test's own and the
// main window, built as main.cpp builds them; false when the layouts could not be built.
inline bool BuildMainWindow(const TempDir& dir, std::unique_ptr<QSettings>& settings,
                            std::unique_ptr<ui::CLanguageManager>& language,
                            std::unique_ptr<app::CMainWnd>& window, app::DeviceSetup setup = {}) {
    ui::CResourceManager::Instance().SetResourcePath(ResDir() + "/skin");
    if (!ui::CResourceManager::Instance().LoadResource())
        return false;
    settings = std::make_unique<QSettings>(QString::fromStdString(dir.File("s.ini")),
                                           QSettings::IniFormat);
    // The program's own files go to the test's folder, never to the user's.
    if (setup.localAppData.empty())
        setup.localAppData = dir.path().string();
    if (setup.resourceFolder.empty())
        setup.resourceFolder = (ResDir() + "/").toStdString();
    language = std::make_unique<ui::CLanguageManager>(ResDir() + "/DefaultData", ResDir() + "/skin",
                                                      *settings);
    window = std::make_unique<app::CMainWnd>(*language, nullptr, std::move(setup));
    return window->Create();
}

struct SimWindow {
    using CMainWnd = app::CMainWnd;
    using CDeviceManager = app::CDeviceManager;
    using ModelMaker = std::function<std::unique_ptr<CTessaronUSBDevice>(hid::IHidBackend&)>;

    // Builds the window with `plugged` links (or on `backend` when given) and its fixed pages;
    // false when the layouts could not be built. The data folder is `dataDir` below the
    // temporary folder, or the folder itself.
    bool Start(std::vector<sim::Link> plugged, hid::IHidBackend* backend = nullptr,
               ModelMaker makeModel = {}, const std::string& dataDir = {}) {
        sim::SimBusOptions options;
        options.plugged = std::move(plugged);
        bus = std::make_unique<sim::SimBus>(options);
        app::DeviceSetup setup;
        setup.backend = backend != nullptr ? backend : bus.get();
        setup.simBus = bus.get();
        setup.localAppData = dataDir.empty() ? dir.path().string() : dir.File(dataDir);
        setup.resourceFolder = (ResDir() + "/").toStdString();
        setup.makeModel = std::move(makeModel);
        // A test never grabs the keyboard of the desktop it runs on.
        setup.desktopInput = desktopInput;
        setup.followPrograms = followPrograms;
        setup.inputDisplay = inputDisplay;
        setup.makeAudioBridge = makeAudioBridge;
        setup.lightSyncClock = lightSyncClock;
        if (!BuildMainWindow(dir, settings, language, window, std::move(setup)))
            return false;
        window->ApplyLanguage(0);
        devices = window->Devices();
        if (devices == nullptr)
            return false;
        if (startsAsTheProgram) {
            // As the program starts: the window's start, the devices after its first frame.
            window->SetDevicesAfterFirstFrame(true);
            window->SendWindowInit();
            return true;
        }
        devices->CreateFixedPages();
        return true;
    }
    // Lets the monitor find the plugged links and runs the start-up timer of the mouse's
    // entry; true when the mouse page has read the mouse and is the current device.
    bool ConnectMouse() {
        devices->PollDevicesOnce();
        QCoreApplication::processEvents();
        auto* page = dynamic_cast<ui::CMousePageUI*>(devices->PageOfKind(kKindMouse));
        if (page == nullptr || !FireEntryTimer(page->TabEntry(), kEntryTimerStartup))
            return false;
        QCoreApplication::processEvents();
        return page->Mouse().Sensor().maxSlider > 0 && devices->CurrentDevice() == page;
    }
    // The same for the keyboard: true when its page has read the key positions and is the
    // current device.
    bool ConnectKeyboard() {
        devices->PollDevicesOnce();
        QCoreApplication::processEvents();
        auto* page = dynamic_cast<ui::CKeyboardPageUI*>(devices->PageOfKind(kKindKeyboard));
        if (page == nullptr || !FireEntryTimer(page->TabEntry(), kEntryTimerStartup))
            return false;
        QCoreApplication::processEvents();
        return page->Keyboard().KeyPositions() > 0 && devices->CurrentDevice() == page;
    }
    // Moves time on until the entry's timer `id` fires; false when it is not running.
    bool FireEntryTimer(ui::CDeviceOptionUI* entry, int id) {
        const int due = entry != nullptr ? timers.DueIn(entry, id) : -1;
        if (due < 0)
            return false;
        timers.Advance(due);
        return true;
    }
    // The same for a timer a device thread asks for: waits (events processed) until it runs.
    bool FireEntryTimerOnceStarted(ui::CDeviceOptionUI* entry, int id, int limitMs = 3000) {
        return QTest::qWaitFor([&] { return timers.IsActive(entry, id); }, limitMs) &&
               FireEntryTimer(entry, id);
    }

    bool desktopInput = false;
    // Nor does it follow the program in front there, unless it brings its own display.
    bool followPrograms = false;
    // Start as the program does (windowinit, devices after the first frame) instead of
    // building the fixed pages at once.
    bool startsAsTheProgram = false;
    std::string inputDisplay;
    // The headsets' sound; empty: what the program gives a simulated bus.
    app::AudioBridgeFactory makeAudioBridge;
    // The synchronised lighting's time; null: the steady clock.
    IClock* lightSyncClock = nullptr;

    // The window goes first: its pages hold connections of the bus.
    ~SimWindow() { window.reset(); }

    bool Route(const char* type, ui::CControlUI* sender, intptr_t wParam = 0) {
        return window->Route(ui::TNotifyUI{QString::fromLatin1(type), sender, wParam, 0});
    }

    ui::CManualTimerSource timers;
    TempDir dir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<ui::CLanguageManager> language;
    std::unique_ptr<sim::SimBus> bus;
    std::unique_ptr<CMainWnd> window;
    CDeviceManager* devices = nullptr;
};

}  // namespace morva::test
