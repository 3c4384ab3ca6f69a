#include "base/worker_table.h"

#include <gtest/gtest.h>

#include <atomic>

namespace morva {
namespace {

using namespace std::chrono_literals;

TEST(WorkerTable, WorkersThatWaitForStopEndAtOnce) {
    CWorkerTable table;
    std::atomic<int> stopped{0};
    for (int slot : {0, 1, 8}) {
        ASSERT_TRUE(table.Start(slot, [&](std::stop_token stop) {
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait(lock, stop, [] { return false; });  // sleeps until told to stop
            ++stopped;
        }));
    }
    EXPECT_FALSE(table.Start(0, [](std::stop_token) {})) << "slot in use";
    EXPECT_FALSE(table.Start(CWorkerTable::kSlots, [](std::stop_token) {}));
    EXPECT_TRUE(table.Running(8));

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(table.StopAll(1000ms), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 500ms);
    EXPECT_EQ(stopped.load(), 3);
    EXPECT_FALSE(table.Running(0));
    EXPECT_TRUE(table.Start(0, [](std::stop_token) {})) << "a stopped slot can be used again";
}

TEST(WorkerTable, AnOverrunningWorkerIsDetachedNotWaitedFor) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        CWorkerTable table;
        ASSERT_TRUE(table.Start(3, [release, finished](std::stop_token) {
            while (!*release)
                std::this_thread::sleep_for(1ms);  // ignores the stop request
            *finished = true;
        }));
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(table.StopAll(50ms), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 400ms);
        EXPECT_FALSE(table.Running(3));
    }
    // The table is gone; the detached worker still finishes safely with what it owns.
    *release = true;
    for (int i = 0; i < 200 && !*finished; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*finished);
}

}  // namespace
}  // namespace morva
