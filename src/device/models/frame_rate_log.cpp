#include "device/models/frame_rate_log.h"

#include "base/debug_log.h"

namespace morva {

void CFrameRateLog::Sent(TimePoint start, TimePoint end) {
    ++frames_;
    sending_ += end - start;
    if (start - since_ < std::chrono::seconds(1))
        return;
    if (since_ != TimePoint{}) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(sending_).count();
        DebugLog("light frames: device type %d, %d sent in the last second, %lld us each\n",
                 deviceType_, frames_, static_cast<long long>(us / frames_));
    }
    frames_ = 0;
    sending_ = {};
    since_ = start;
}

}  // namespace morva
