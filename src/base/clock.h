// Where the light thread and the effects take the time from and how they wait between steps.
// The program runs on the steady clock; tests drive a manual clock, so an effect steps exactly
// when the test moves time on, however busy the machine is.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <stop_token>
#include <thread>
#include <vector>

namespace morva {

class IClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~IClock() = default;
    virtual TimePoint Now() const = 0;
    // Waits until `time` has passed or stop is requested; false on stop.
    virtual bool WaitFor(std::stop_token stop, std::chrono::milliseconds time) = 0;

    // Now() in milliseconds, wrapping, for time sources that count in them.
    std::uint32_t NowMs() const;
};

// The steady clock; every model that is given no other clock runs on it.
IClock& SteadyClock();

// Time that moves only when Advance is called.
class CManualClock final : public IClock {
public:
    TimePoint Now() const override;
    bool WaitFor(std::stop_token stop, std::chrono::milliseconds time) override;

    // Moves time on by `time`, from one due wait to the next in deadline order: a thread whose
    // wait ends runs until it waits on this clock again before time moves any further. False
    // when such a thread did not wait again within `limit` of real time.
    bool Advance(std::chrono::milliseconds time,
                 std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Until `count` threads wait on this clock; false after `limit` of real time. A thread
    // that was just started is unknown to Advance until it waits.
    bool AwaitWaiters(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    std::size_t Waiters() const;

private:
    struct Waiter {
        std::thread::id thread;
        TimePoint deadline;
    };
    bool Settled() const;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
    std::vector<Waiter> waiters_;
    // Threads whose wait ended and that have not waited again yet.
    std::set<std::thread::id> running_;
};

}  // namespace morva
