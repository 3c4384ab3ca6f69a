// The program's long-lived worker threads in fixed slots, stopped in bounded time: a worker
// that does not end within the limit is logged and detached, never killed. Bodies must own
// (or share) everything they touch, so detaching one frees nothing under it.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace morva {

class CWorkerTable {
public:
    static constexpr int kSlots = 20;
    using Body = std::function<void(std::stop_token)>;

    CWorkerTable() = default;
    ~CWorkerTable();
    CWorkerTable(const CWorkerTable&) = delete;
    CWorkerTable& operator=(const CWorkerTable&) = delete;

    // False when the slot is out of range or still holds a worker.
    bool Start(int slot, Body body);
    bool Running(int slot) const;
    // Asks every worker to stop, then waits up to `limit` for each in slot order. Returns how
    // many overran and were detached.
    int StopAll(std::chrono::milliseconds limit = std::chrono::milliseconds(1000));

private:
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
    };
    struct Slot {
        std::jthread thread;
        std::shared_ptr<Done> done;
    };
    std::array<Slot, kSlots> slots_;
};

}  // namespace morva
