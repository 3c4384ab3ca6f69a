// System-wide key and mouse button events on X11, seen through the RECORD extension: the
// events reach their windows as usual, the hook only watches them (macro recording, key
// capture outside our window).
#pragma once

#include <atomic>
#include <bitset>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/x11/x11_display.h"

namespace morva::x11 {

struct InputEvent {
    enum class Kind { Key, Button } kind = Kind::Key;
    bool press = false;
    int keycode = 0;  // X keycode (Linux key code + 8); Key only
    int button = 0;   // X button 1..9, 4..7 being the wheel; Button only
    int rootX = 0;
    int rootY = 0;
    unsigned long serverTime = 0;  // ms, the server's clock
};
using InputSink = std::function<void(const InputEvent&)>;

// The server's auto-repeat comes through RECORD as further presses of a held key with no
// release between them. This keeps one press per physical press; releases always pass,
// also of keys that were held before anything was seen.
class CKeyRepeatFilter {
public:
    bool Accept(const InputEvent& event);
    void Reset() { held_.reset(); }

private:
    std::bitset<256> held_;
};

// True when the display opens and offers RECORD (not so on Wayland without XWayland).
bool X11InputAvailable(const std::string& displayName = {});

class CX11InputHook {
public:
    enum class Repeats { Drop, Deliver };
    // Empty name: $DISPLAY.
    explicit CX11InputHook(std::string displayName = {}, Repeats repeats = Repeats::Drop);
    ~CX11InputHook();
    CX11InputHook(const CX11InputHook&) = delete;
    CX11InputHook& operator=(const CX11InputHook&) = delete;

    enum class StartResult { Started, NoDisplay, NoRecordExtension, Failed };
    // The sink is called on the hook's thread for every event from the moment Start returns
    // Started until Stop. It must not throw. Failed also when already running.
    StartResult Start(InputSink sink);
    // After it returns the sink is not called again. Idempotent. From inside the sink it
    // only stops delivery; the thread is joined by the next Start, Stop or the destructor.
    void Stop();
    bool IsRunning() const;

private:
    void Run();
    void Deliver(const unsigned char* wire);
    void DisableRecording();
    void StopLocked();

    const std::string displayName_;
    const Repeats repeats_;
    std::mutex mutex_;  // Start and Stop, the thread and the connections' lifetimes
    DisplayPtr control_;
    DisplayPtr data_;  // the thread's, while it runs
    unsigned long context_ = 0;
    std::thread thread_;
    InputSink sink_;
    CKeyRepeatFilter filter_;  // the thread's
    std::atomic<bool> delivering_{false};
    std::atomic<std::thread::id> hookThread_;  // set by the thread itself, before any sink call

    // The control connection is also used from the sink (Stop there), which must not wait
    // for mutex_ while another thread holds it to join.
    std::mutex controlMutex_;
    bool disabled_ = false;

    // The thread reports whether recording began.
    std::mutex phaseMutex_;
    std::condition_variable phaseChanged_;
    enum class Phase { Starting, Recording, Ended } phase_ = Phase::Starting;
};

}  // namespace morva::x11
