// Profiles that follow the program in front: when a window becomes active, every device page
// takes the profile its bindings give that program, through the page's own profile switch,
// and goes back to the user's choice when no bound program is in front. The X11 watcher's
// connection is read from the Qt event loop; no thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/active_window_watcher.h"
#include "profile/profile_bindings.h"

namespace morva::ui {
class CDevicePageUI;
}

namespace morva::app {

class CAppProfileSwitcher : public QObject {
    Q_OBJECT

public:
    struct Options {
        std::string display;  // empty: $DISPLAY
        // While the desktop cannot say which window is active (no window manager yet), it
        // is asked again after this, doubling up to the longest wait.
        int firstRetryMs = 2000;
        int longestRetryMs = 60000;
    };
    // The device pages of the moment.
    using PageList = std::function<std::vector<ui::CDevicePageUI*>()>;
    // False for a page that must keep its profile now (unsaved edits, a recording).
    using MayFollow = std::function<bool(ui::CDevicePageUI&)>;

    CAppProfileSwitcher(PageList pages, MayFollow mayFollow, Options options);
    ~CAppProfileSwitcher() override;

    // Off: every page goes back to the user's choice and the desktop is no longer watched.
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    bool Watching() const { return watcher_.IsOpen(); }
    // Why the program in front cannot be known; empty while watching or when switched off.
    const std::string& Problem() const { return problem_; }
    // The bindings or the pages changed: each page takes what the program in front asks now.
    void Reconsider();
    // The names to bind the programs with windows open now by: each one's window class (its
    // instance where it has none), sorted, once each; empty while not watching.
    std::vector<std::string> OpenProgramNames();
    // The program the pages follow now (tests, the status report).
    const ActiveProgramNames& Following() const { return following_; }
    // Switches that a device could not take (they are logged, not shown: a game is in front).
    int FailedSwitches() const { return failed_; }

private:
    void TryOpen();
    void ScheduleRetry();
    void OnReadable();
    void Follow(const x11::ActiveProgram& program);
    void Apply();
    void LetGo();

    PageList pages_;
    MayFollow mayFollow_;
    Options options_;
    x11::CActiveWindowWatcher watcher_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    int retryMs_ = 0;
    bool enabled_ = false;
    std::string problem_;
    ActiveProgramNames following_;
    int failed_ = 0;
};

}  // namespace morva::app
