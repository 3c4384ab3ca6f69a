// The manual clock the device tests step the light thread with.
#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"

namespace morva {
namespace {

using namespace std::chrono_literals;

TEST(ManualClock, WaitsEndInDeadlineOrderEachAtItsOwnTime) {
    CManualClock clock;
    const IClock::TimePoint start = clock.Now();
    std::mutex mutex;
    std::vector<std::string> log;
    auto ticker = [&](std::string name, std::chrono::milliseconds period) {
        return std::jthread([&clock, &mutex, &log, start, name, period](std::stop_token stop) {
            while (clock.WaitFor(stop, period)) {
                const auto at =
                    std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now() - start);
                std::lock_guard lock(mutex);
                log.push_back(name + std::to_string(at.count()));
            }
        });
    };
    std::jthread slow = ticker("a", 30ms);
    std::jthread fast = ticker("b", 20ms);
    ASSERT_TRUE(clock.AwaitWaiters(2));
    ASSERT_TRUE(clock.Advance(59ms));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(log, (std::vector<std::string>{"b20", "a30", "b40"}));
    }
    // A stop ends the wait at once, with no time passing.
    slow.request_stop();
    slow.join();
    EXPECT_EQ(clock.Waiters(), 1u);
}

TEST(ManualClock, AdvanceGivesUpOnAThreadThatDoesNotWaitAgain) {
    CManualClock clock;
    std::latch release(1);
    std::jthread stuck([&](std::stop_token stop) {
        if (clock.WaitFor(stop, 5ms))
            release.wait();
    });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    EXPECT_FALSE(clock.Advance(10ms, 50ms));
    release.count_down();
}

}  // namespace
}  // namespace morva
