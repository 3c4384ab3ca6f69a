#include "platform/x11/x11_input_hook.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <chrono>
#include <cstring>
#include <utility>

namespace morva::x11 {
namespace {

// Long enough for a loaded server; only a server that never answers reaches it.
constexpr auto kStartTimeout = std::chrono::seconds(5);

bool HasRecord(Display* display) {
    int major = 0;
    int minor = 0;
    return XRecordQueryVersion(display, &major, &minor) != 0;
}

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};

}  // namespace

bool CKeyRepeatFilter::Accept(const InputEvent& event) {
    if (event.kind != InputEvent::Kind::Key || event.keycode < 0 ||
        event.keycode >= static_cast<int>(held_.size()))
        return true;
    const auto code = static_cast<std::size_t>(event.keycode);
    if (!event.press) {
        held_.reset(code);
        return true;
    }
    if (held_.test(code))
        return false;
    held_.set(code);
    return true;
}

bool X11InputAvailable(const std::string& displayName) {
    const DisplayPtr display = OpenDisplay(displayName);
    return display && HasRecord(display.get());
}

CX11InputHook::CX11InputHook(std::string displayName, Repeats repeats)
    : displayName_(std::move(displayName)), repeats_(repeats) {}

CX11InputHook::~CX11InputHook() {
    Stop();
}

CX11InputHook::StartResult CX11InputHook::Start(InputSink sink) {
    std::lock_guard lock(mutex_);
    if (delivering_)
        return StartResult::Failed;
    StopLocked();  // joins a thread stopped from inside its sink

    DisplayPtr control = OpenDisplay(displayName_);
    if (!control)
        return StartResult::NoDisplay;
    if (!HasRecord(control.get()))
        return StartResult::NoRecordExtension;
    // RECORD sends its data on a connection of its own, which is then blocked in the thread.
    DisplayPtr data = OpenDisplay(displayName_);
    if (!data)
        return StartResult::NoDisplay;

    const std::unique_ptr<XRecordRange, XFreeDeleter> range(XRecordAllocRange());
    if (!range)
        return StartResult::Failed;
    range->device_events.first = KeyPress;
    range->device_events.last = ButtonRelease;
    XRecordClientSpec clients = XRecordAllClients;
    XRecordRange* ranges[] = {range.get()};
    const XRecordContext context = XRecordCreateContext(control.get(), 0, &clients, 1, ranges, 1);
    if (!context)
        return StartResult::Failed;
    XSync(control.get(), False);

    control_ = std::move(control);
    data_ = std::move(data);
    context_ = context;
    sink_ = std::move(sink);
    filter_.Reset();
    disabled_ = false;
    phase_ = Phase::Starting;
    delivering_ = true;
    thread_ = std::thread([this] { Run(); });

    // Events are recorded only from the server's start of data on: waiting for it means
    // input made after Start returns is seen.
    std::unique_lock phaseLock(phaseMutex_);
    phaseChanged_.wait_for(phaseLock, kStartTimeout, [&] { return phase_ != Phase::Starting; });
    const bool recording = phase_ == Phase::Recording;
    phaseLock.unlock();
    if (!recording) {
        StopLocked();
        return StartResult::Failed;
    }
    return StartResult::Started;
}

void CX11InputHook::Stop() {
    if (std::this_thread::get_id() == hookThread_.load()) {
        // Inside the sink: mutex_ may be held by a Stop waiting for this very thread.
        delivering_ = false;
        DisableRecording();
        return;
    }
    std::lock_guard lock(mutex_);
    StopLocked();
}

bool CX11InputHook::IsRunning() const {
    return delivering_;
}

void CX11InputHook::DisableRecording() {
    std::lock_guard lock(controlMutex_);
    if (disabled_)
        return;
    disabled_ = true;
    XRecordDisableContext(control_.get(), context_);
    XSync(control_.get(), False);
}

void CX11InputHook::StopLocked() {
    if (!thread_.joinable())
        return;
    delivering_ = false;
    bool ended = false;
    {
        std::lock_guard phaseLock(phaseMutex_);
        ended = phase_ == Phase::Ended;
    }
    // A context that never got enabled must not be disabled: the server would answer with
    // an error, which Xlib turns into exit().
    if (!ended)
        DisableRecording();
    thread_.join();
    hookThread_ = std::thread::id();
    XRecordFreeContext(control_.get(), context_);
    XSync(control_.get(), False);
    data_.reset();
    control_.reset();
    context_ = 0;
    sink_ = nullptr;
}

void CX11InputHook::Run() {
    hookThread_ = std::this_thread::get_id();
    // Defined here to reach the private members; RECORD calls it on this thread.
    auto onRecord = [](XPointer self, XRecordInterceptData* data) {
        auto* hook = reinterpret_cast<CX11InputHook*>(self);
        if (data->category == XRecordStartOfData) {
            {
                std::lock_guard lock(hook->phaseMutex_);
                hook->phase_ = Phase::Recording;
            }
            hook->phaseChanged_.notify_all();
        } else if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
            hook->Deliver(data->data);
        }
        XRecordFreeData(data);
    };
    XRecordEnableContext(data_.get(), context_, onRecord, reinterpret_cast<XPointer>(this));
    delivering_ = false;  // stopped, or the server went away
    {
        std::lock_guard lock(phaseMutex_);
        phase_ = Phase::Ended;
    }
    phaseChanged_.notify_all();
}

void CX11InputHook::Deliver(const unsigned char* wire) {
    xEvent event;
    std::memcpy(&event, wire, sizeof event);
    InputEvent out;
    const int type = event.u.u.type & 0x7F;  // without the sent-by-a-client bit
    switch (type) {
        case KeyPress:
        case KeyRelease:
            out.kind = InputEvent::Kind::Key;
            out.keycode = event.u.u.detail;
            break;
        case ButtonPress:
        case ButtonRelease:
            out.kind = InputEvent::Kind::Button;
            out.button = event.u.u.detail;
            break;
        default:
            return;
    }
    out.press = type == KeyPress || type == ButtonPress;
    out.rootX = event.u.keyButtonPointer.rootX;
    out.rootY = event.u.keyButtonPointer.rootY;
    out.serverTime = event.u.keyButtonPointer.time;
    if (repeats_ == Repeats::Drop && !filter_.Accept(out))
        return;
    if (delivering_)
        sink_(out);
}

}  // namespace morva::x11
