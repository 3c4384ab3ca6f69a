// Where control timers run. The program uses Qt timers; a test installs a manual source and
// moves time on itself, so timer handlers run exactly when it says, on its own thread.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace morva::ui {

class CControlUI;

class ITimerSource {
public:
    virtual ~ITimerSource() = default;
    // Starts `control`'s timer `id`, or restarts it when it exists; it repeats every `ms`
    // and fires by calling control->OnTimer(id) on the UI thread.
    virtual void Start(CControlUI* control, int id, int ms) = 0;
    // False when that timer was not running. A stopped timer may be started again cheaply.
    virtual bool Stop(CControlUI* control, int id) = 0;
    // Ends every timer of the control (it is going away).
    virtual void StopAll(CControlUI* control) = 0;
};

// Control timers on time that moves only in Advance. The toolkit uses it from construction
// to destruction; create it on the UI thread before the windows whose timers it should run.
class CManualTimerSource final : public ITimerSource {
public:
    CManualTimerSource();
    ~CManualTimerSource() override;
    CManualTimerSource(const CManualTimerSource&) = delete;
    CManualTimerSource& operator=(const CManualTimerSource&) = delete;

    void Start(CControlUI* control, int id, int ms) override;
    bool Stop(CControlUI* control, int id) override;
    void StopAll(CControlUI* control) override;

    // Moves time on by `ms`. Every timer that comes due meanwhile fires here, synchronously,
    // in order of due time (of timers due together, the one started or last fired earliest
    // goes first), those that handlers start included. A 0 ms timer fires at most once a
    // millisecond.
    void Advance(int ms);
    // Milliseconds since the source was made.
    std::int64_t Now() const { return now_; }
    bool IsActive(const CControlUI* control, int id) const;
    // Milliseconds until the timer fires next; -1 when it is not running.
    int DueIn(const CControlUI* control, int id) const;

private:
    struct Timer {
        QPointer<QWidget> widget;  // the control's own widget; null once it is destroyed
        CControlUI* control;
        int id;
        int interval;
        std::int64_t due;
        std::uint64_t order;
        bool active;
    };
    Timer* Find(const CControlUI* control, int id);
    const Timer* Find(const CControlUI* control, int id) const;

    ITimerSource* previous_;
    std::vector<Timer> timers_;
    std::int64_t now_ = 0;
    std::uint64_t order_ = 0;
};

}  // namespace morva::ui
