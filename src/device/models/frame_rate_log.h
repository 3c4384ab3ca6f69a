// With the debug log on, how many lighting frames went to a device each second and how long
// the link took for each: what the link allows is one frame per send time plus the frame
// timer's wait.
#pragma once

#include <chrono>

namespace morva {

class CFrameRateLog {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit CFrameRateLog(int deviceType) : deviceType_(deviceType) {}
    void SetDeviceType(int deviceType) { deviceType_ = deviceType; }
    // One frame sent from `start` to `end`; the line goes out once a second.
    void Sent(TimePoint start, TimePoint end);

private:
    int deviceType_;
    int frames_ = 0;
    std::chrono::steady_clock::duration sending_{};
    TimePoint since_{};
};

}  // namespace morva
