#include "app/app_profile_switcher.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/debug_log.h"
#include "ui/pages/device_page.h"
#include "ui/panels/device_profile.h"

namespace morva::app {

CAppProfileSwitcher::CAppProfileSwitcher(PageList pages, MayFollow mayFollow, Options options)
    : pages_(std::move(pages)), mayFollow_(std::move(mayFollow)), options_(std::move(options)) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &CAppProfileSwitcher::TryOpen);
    watcher_.SetHandler([this](const x11::ActiveProgram& program) { Follow(program); });
}

CAppProfileSwitcher::~CAppProfileSwitcher() = default;

void CAppProfileSwitcher::SetEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on) {
        retryMs_ = 0;
        TryOpen();
        return;
    }
    retry_.stop();
    notifier_.reset();
    watcher_.Close();
    problem_.clear();
    LetGo();
}

void CAppProfileSwitcher::TryOpen() {
    if (!enabled_ || watcher_.IsOpen())
        return;
    std::string why;
    if (!watcher_.Open(options_.display, &why)) {
        if (why != problem_)
            DebugLog("profiles do not follow programs: %s\n", why.c_str());
        problem_ = why;
        ScheduleRetry();
        return;
    }
    problem_.clear();
    retryMs_ = 0;
    notifier_ = std::make_unique<QSocketNotifier>(watcher_.Fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CAppProfileSwitcher::OnReadable);
    if (const std::optional<x11::ActiveProgram> current = watcher_.Current())
        Follow(*current);
    // What the reads above left in Xlib's queue is not announced on the descriptor again.
    OnReadable();
}

void CAppProfileSwitcher::ScheduleRetry() {
    retryMs_ =
        retryMs_ == 0 ? options_.firstRetryMs : std::min(retryMs_ * 2, options_.longestRetryMs);
    retry_.start(retryMs_);
}

void CAppProfileSwitcher::OnReadable() {
    watcher_.Pump();
    if (watcher_.IsOpen() || !notifier_)
        return;
    // The display went away; a desktop that comes back is watched again.
    notifier_.reset();
    problem_ = "the X display went away";
    LetGo();
    ScheduleRetry();
}

void CAppProfileSwitcher::Follow(const x11::ActiveProgram& program) {
    following_ = {program.instance, program.windowClass, program.executable};
    Apply();
}

void CAppProfileSwitcher::Reconsider() {
    Apply();
}

std::vector<std::string> CAppProfileSwitcher::OpenProgramNames() {
    std::error_code ec;
    // Our own windows are no game to bind.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).filename();
    std::vector<std::string> names;
    for (const x11::ActiveProgram& program : watcher_.OpenPrograms()) {
        if (!self.empty() && program.executable == self)
            continue;
        const std::string& shown =
            program.windowClass.empty() ? program.instance : program.windowClass;
        if (std::optional<std::string> name = ProgramName(shown))
            names.push_back(*std::move(name));
    }
    OnReadable();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void CAppProfileSwitcher::LetGo() {
    following_ = {};
    Apply();
}

void CAppProfileSwitcher::Apply() {
    for (ui::CDevicePageUI* page : pages_()) {
        ui::CDeviceProfileUI* panel = page->ProfilePanel();
        CProfileListStore* store = panel != nullptr ? panel->Store() : nullptr;
        if (store == nullptr || (mayFollow_ && !mayFollow_(*page)))
            continue;
        CProfileBindings bindings(store->UserDataFolder());
        const std::optional<std::string> bound = bindings.ProfileFor(following_, *store);
        const std::optional<OpResult> result = page->FollowProgram(bound.value_or(std::string()));
        if (result && !result->Ok()) {
            ++failed_;
            DebugLog("a device could not take the profile of %s: %d\n",
                     following_.windowClass.c_str(), result->code);
        }
    }
}

}  // namespace morva::app
