#include "platform/x11/active_window_watcher.h"

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace morva::x11 {
namespace {

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};

// The 32-bit items of a property of type `type`; empty when it is missing, of another type
// or format, or the window is gone (inside a CIgnoreBadWindow).
std::vector<unsigned long> ReadLongs(Display* display, Window window, Atom property, Atom type,
                                     long maxItems) {
    std::vector<unsigned long> values;
    long offset = 0;
    while (offset < maxItems) {
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int status =
            XGetWindowProperty(display, window, property, offset, maxItems - offset, False, type,
                               &actualType, &format, &count, &after, &data);
        const std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
        if (status != Success || actualType != type || format != 32 || data == nullptr)
            return {};
        // Format 32 comes as an array of long, whatever the size of long.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.insert(values.end(), items, items + count);
        if (after == 0 || count == 0)
            break;
        offset += static_cast<long>(count);
    }
    return values;
}

// The window's WM_CLIENT_MACHINE is this host, or the window does not say.
bool OnThisMachine(Display* display, Window window) {
    XTextProperty machine{};
    if (XGetWMClientMachine(display, window, &machine) == 0 || machine.value == nullptr)
        return true;
    const std::unique_ptr<unsigned char, XFreeDeleter> owned(machine.value);
    if (machine.format != 8)
        return false;
    const auto* text = reinterpret_cast<const char*>(machine.value);
    const std::string name(text, strnlen(text, machine.nitems));
    std::array<char, HOST_NAME_MAX + 1> host{};
    return gethostname(host.data(), host.size() - 1) == 0 && name == host.data();
}

std::string ExecutableOf(unsigned long pid) {
    std::error_code ec;
    const std::filesystem::path target =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    if (ec)
        return {};
    std::string name = target.filename().string();
    // The file was replaced (an upgrade) while the process runs.
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.ends_with(kDeleted))
        name.resize(name.size() - kDeleted.size());
    return name;
}

}  // namespace

bool CActiveWindowWatcher::Open(const std::string& display, std::string* why) {
    Close();
    std::string reason;
    DisplayPtr connection = OpenDisplay(display);
    if (!connection) {
        const char* fromEnvironment = std::getenv("DISPLAY");
        const std::string name = !display.empty()  ? display
                                 : fromEnvironment ? fromEnvironment
                                                   : std::string();
        reason = name.empty() ? "no X display ($DISPLAY is not set)"
                              : "cannot open the X display " + name;
    } else {
        Display* d = connection.get();
        const Window root = DefaultRootWindow(d);
        const Atom supportedAtom = XInternAtom(d, "_NET_SUPPORTED", False);
        const Atom activeAtom = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
        // A window manager lists a few dozen hints; this bounds a hostile list.
        const std::vector<unsigned long> supported =
            ReadLongs(d, root, supportedAtom, XA_ATOM, 1 << 16);
        if (std::find(supported.begin(), supported.end(), activeAtom) == supported.end()) {
            reason = "the window manager does not report the active window";
        } else {
            // Selected before the first read: no change falls between the two.
            XSelectInput(d, root, PropertyChangeMask);
            display_ = std::move(connection);
            root_ = root;
            activeAtom_ = activeAtom;
            pidAtom_ = XInternAtom(d, "_NET_WM_PID", False);
            reported_ = ReadActiveWindow();
            return true;
        }
    }
    if (why)
        *why = reason;
    return false;
}

void CActiveWindowWatcher::Close() {
    display_.reset();
    root_ = activeAtom_ = pidAtom_ = reported_ = 0;
}

int CActiveWindowWatcher::Fd() const {
    return display_ ? ConnectionNumber(display_.get()) : -1;
}

void CActiveWindowWatcher::Pump() {
    // Each round reads what came in meanwhile: the property reads and the handler may leave
    // events in Xlib's queue, which the descriptor would not announce again.
    while (display_) {
        Display* d = display_.get();
        bool changed = false;
        while (!IsLost(d) && XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            changed |= event.type == PropertyNotify && event.xproperty.window == root_ &&
                       event.xproperty.atom == activeAtom_;
        }
        if (IsLost(d)) {
            Close();
            return;
        }
        if (!changed)
            return;
        const unsigned long window = ReadActiveWindow();
        if (window == reported_)
            continue;
        reported_ = window;
        const ActiveProgram program = ReadProgram(window);
        if (handler_) {
            const Handler handler = handler_;  // it may replace itself
            handler(program);
        }
    }
}

std::optional<ActiveProgram> CActiveWindowWatcher::Current() {
    if (!display_ || IsLost(display_.get()))
        return std::nullopt;
    reported_ = ReadActiveWindow();
    return ReadProgram(reported_);
}

std::vector<ActiveProgram> CActiveWindowWatcher::OpenPrograms() {
    std::vector<ActiveProgram> programs;
    if (!display_ || IsLost(display_.get()))
        return programs;
    Display* d = display_.get();
    // A desktop has a few hundred windows at most; this bounds a hostile list.
    const std::vector<unsigned long> windows =
        ReadLongs(d, root_, XInternAtom(d, "_NET_CLIENT_LIST", False), XA_WINDOW, 4096);
    programs.reserve(windows.size());
    for (const unsigned long window : windows)
        programs.push_back(ReadProgram(window));
    return programs;
}

unsigned long CActiveWindowWatcher::ReadActiveWindow() const {
    const std::vector<unsigned long> window =
        ReadLongs(display_.get(), root_, activeAtom_, XA_WINDOW, 1);
    return window.empty() ? 0 : window[0];
}

ActiveProgram CActiveWindowWatcher::ReadProgram(unsigned long window) const {
    ActiveProgram program;
    program.window = window;
    if (window == 0)
        return program;
    Display* d = display_.get();
    // The window belongs to another client, which may destroy it at any moment.
    const CIgnoreBadWindow ignore(d);
    XClassHint hint{};
    if (XGetClassHint(d, window, &hint) != 0) {
        const std::unique_ptr<char, XFreeDeleter> name(hint.res_name);
        const std::unique_ptr<char, XFreeDeleter> windowClass(hint.res_class);
        program.instance = name ? name.get() : "";
        program.windowClass = windowClass ? windowClass.get() : "";
    }
    const std::vector<unsigned long> pid = ReadLongs(d, window, pidAtom_, XA_CARDINAL, 1);
    if (!pid.empty() && pid[0] > 0 && pid[0] <= INT_MAX && OnThisMachine(d, window))
        program.executable = ExecutableOf(pid[0]);
    return program;
}

}  // namespace morva::x11
