#include "base/clock.h"

#include <algorithm>

namespace morva {
namespace {

class CSteadyClock final : public IClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    bool WaitFor(std::stop_token stop, std::chrono::milliseconds time) override {
        std::mutex mutex;
        std::condition_variable_any cv;
        std::unique_lock lock(mutex);
        return !cv.wait_for(lock, stop, time, [] { return false; }) && !stop.stop_requested();
    }
};

}  // namespace

std::uint32_t IClock::NowMs() const {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(Now().time_since_epoch()).count());
}

IClock& SteadyClock() {
    static CSteadyClock clock;
    return clock;
}

IClock::TimePoint CManualClock::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

bool CManualClock::WaitFor(std::stop_token stop, std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    running_.erase(self);
    const TimePoint deadline = now_ + time;
    waiters_.push_back({self, deadline});
    changed_.notify_all();
    changed_.wait(lock, stop, [&] { return now_ >= deadline; });
    std::erase_if(waiters_, [&](const Waiter& w) { return w.thread == self; });
    const bool passed = !stop.stop_requested();
    if (passed)
        running_.insert(self);
    changed_.notify_all();
    return passed;
}

bool CManualClock::Settled() const {
    return running_.empty() && std::none_of(waiters_.begin(), waiters_.end(),
                                            [&](const Waiter& w) { return w.deadline <= now_; });
}

bool CManualClock::Advance(std::chrono::milliseconds time, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    const TimePoint target = now_ + time;
    for (;;) {
        if (!changed_.wait_for(lock, limit, [&] { return Settled(); }))
            return false;
        const auto next = std::min_element(
            waiters_.begin(), waiters_.end(),
            [](const Waiter& a, const Waiter& b) { return a.deadline < b.deadline; });
        if (next == waiters_.end() || next->deadline > target) {
            now_ = target;
            return true;
        }
        now_ = next->deadline;
        changed_.notify_all();
    }
}

bool CManualClock::AwaitWaiters(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return waiters_.size() >= count; });
}

std::size_t CManualClock::Waiters() const {
    std::lock_guard lock(mutex_);
    return waiters_.size();
}

}  // namespace morva
