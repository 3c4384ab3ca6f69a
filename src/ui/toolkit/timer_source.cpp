#include "ui/toolkit/timer_source.h"

#include <algorithm>

#include "ui/toolkit/control.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

CManualTimerSource::CManualTimerSource() : previous_(CPaintManagerUI::SetTimerSource(this)) {}

CManualTimerSource::~CManualTimerSource() {
    CPaintManagerUI::SetTimerSource(previous_);
}

namespace {

template <typename Timers>
auto FindIn(Timers& timers, const CControlUI* control, int id) -> decltype(&timers.front()) {
    for (auto& t : timers) {
        if (t.control == control && t.id == id && t.widget != nullptr)
            return &t;
    }
    return nullptr;
}

}  // namespace

CManualTimerSource::Timer* CManualTimerSource::Find(const CControlUI* control, int id) {
    return FindIn(timers_, control, id);
}

const CManualTimerSource::Timer* CManualTimerSource::Find(const CControlUI* control, int id) const {
    return FindIn(timers_, control, id);
}

void CManualTimerSource::Start(CControlUI* control, int id, int ms) {
    // A widget at the address of a destroyed one must not inherit its timers.
    std::erase_if(timers_, [](const Timer& t) { return t.widget == nullptr; });
    Timer* timer = Find(control, id);
    if (timer == nullptr) {
        timers_.push_back(Timer{control->GetWidget(), control, id, 0, 0, 0, false});
        timer = &timers_.back();
    }
    timer->interval = ms;
    timer->due = now_ + ms;
    timer->order = ++order_;
    timer->active = true;
}

bool CManualTimerSource::Stop(CControlUI* control, int id) {
    Timer* timer = Find(control, id);
    if (timer == nullptr || !timer->active)
        return false;
    timer->active = false;
    return true;
}

void CManualTimerSource::StopAll(CControlUI* control) {
    std::erase_if(timers_, [control](const Timer& t) { return t.control == control; });
}

void CManualTimerSource::Advance(int ms) {
    const std::int64_t target = now_ + std::max(ms, 0);
    for (;;) {
        Timer* next = nullptr;
        for (Timer& t : timers_) {
            if (!t.active || t.widget == nullptr || t.due > target)
                continue;
            if (next == nullptr || t.due < next->due ||
                (t.due == next->due && t.order < next->order))
                next = &t;
        }
        if (next == nullptr)
            break;
        now_ = next->due;
        next->due = now_ + std::max(next->interval, 1);
        next->order = ++order_;
        // The handler may start, stop or destroy timers and controls: nothing is held across.
        CControlUI* control = next->control;
        const int id = next->id;
        control->OnTimer(id);
    }
    now_ = target;
}

bool CManualTimerSource::IsActive(const CControlUI* control, int id) const {
    const Timer* timer = Find(control, id);
    return timer != nullptr && timer->active;
}

int CManualTimerSource::DueIn(const CControlUI* control, int id) const {
    const Timer* timer = Find(control, id);
    return timer != nullptr && timer->active ? static_cast<int>(timer->due - now_) : -1;
}

}  // namespace morva::ui
