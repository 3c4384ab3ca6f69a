#include "base/worker_table.h"

#include "base/debug_log.h"

namespace morva {

CWorkerTable::~CWorkerTable() {
    StopAll();
}

bool CWorkerTable::Start(int slot, Body body) {
    if (slot < 0 || slot >= kSlots || slots_[slot].thread.joinable())
        return false;
    auto done = std::make_shared<Done>();
    slots_[slot].done = done;
    slots_[slot].thread = std::jthread([body = std::move(body), done](std::stop_token stop) {
        body(stop);
        std::lock_guard lock(done->mutex);
        done->finished = true;
        done->cv.notify_all();
    });
    return true;
}

bool CWorkerTable::Running(int slot) const {
    return slot >= 0 && slot < kSlots && slots_[slot].thread.joinable();
}

int CWorkerTable::StopAll(std::chrono::milliseconds limit) {
    for (Slot& s : slots_) {
        if (s.thread.joinable())
            s.thread.request_stop();
    }
    int detached = 0;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = slots_[i];
        if (!s.thread.joinable())
            continue;
        bool finished = false;
        {
            std::unique_lock lock(s.done->mutex);
            finished = s.done->cv.wait_for(lock, limit, [&] { return s.done->finished; });
        }
        if (finished) {
            s.thread.join();
        } else {
            DebugLog("worker %d did not stop within %lld ms: detached\n", i,
                     static_cast<long long>(limit.count()));
            s.thread.detach();
            ++detached;
        }
        s.done.reset();
    }
    return detached;
}

}  // namespace morva
