#include "device/protocol/device_channel.h"

#include <algorithm>
#include <array>

#include "base/debug_log.h"

namespace morva {

namespace {

// Counts an exchange as in progress on every way out of it.
class BusyGuard {
public:
    explicit BusyGuard(std::atomic<int>& busy) : busy_(busy) { ++busy_; }
    ~BusyGuard() { --busy_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::atomic<int>& busy_;
};

constexpr std::size_t kMaxStrayAnswers = 4;

void Trace(const char* title, std::span<const std::uint8_t, kReportSize> report) {
    if (!DebugLogEnabled())
        return;
    DebugLog("%s\n%s", title, FormatReportTrace(report).c_str());
}

}  // namespace

CDeviceChannel::CDeviceChannel(hid::IHidBackend& backend) : wired_(backend), receiver_(backend) {}

void CDeviceChannel::SetLinkType(int type) {
    const bool viaReceiver = type == kLinkReceiver;
    viaReceiver_.store(viaReceiver);
    chunkSize_.store(viaReceiver ? 24 : 56);
}

int CDeviceChannel::SetTransferSize(std::uint16_t size) {
    if (size > kMaxTransferSize)
        return 0;
    transferSize_.store(size);
    return 1;
}

int CDeviceChannel::Transact(const std::uint8_t* request, std::size_t requestLength,
                             std::uint8_t* answer, std::uint32_t answerLength,
                             std::uint32_t* transferred) {
    return Exchange(request, requestLength, answer, answerLength, transferred, true);
}

int CDeviceChannel::TransactQuiet(const std::uint8_t* request, std::size_t requestLength,
                                  std::uint8_t* answer, std::uint32_t answerLength,
                                  std::uint32_t* transferred) {
    return Exchange(request, requestLength, answer, answerLength, transferred, false);
}

int CDeviceChannel::WriteOutputReport(std::span<const std::uint8_t> report) {
    // Not an exchange: it leaves Busy() alone, so frame chunks are not dropped for it.
    if (!open_.load() || viaReceiver_.load())
        return kResultNoAnswer;
    std::lock_guard lock(ioLock_);
    if (wired_.WriteReport(report.data(), static_cast<std::uint32_t>(report.size()), nullptr,
                           cableTimeoutMs) != 1) {
        return kResultWriteFailed;
    }
    return kResultOk;
}

int CDeviceChannel::Exchange(const std::uint8_t* request, std::size_t requestLength,
                             std::uint8_t* answer, std::uint32_t answerLength,
                             std::uint32_t* transferred, bool trace) {
    BusyGuard busy(busy_);
    if (transferred)
        *transferred = 0;
    if (!open_.load())
        return kResultNoAnswer;

    std::array<std::uint8_t, kReportSize> out{};
    std::copy_n(request, std::min(requestLength, kReportSize), out.begin());
    if (trace)
        Trace("命令", out);

    const bool viaReceiver = viaReceiver_.load();
    CHidDevice& link = viaReceiver ? receiver_ : wired_;
    const std::uint32_t timeout = viaReceiver ? receiverTimeoutMs : cableTimeoutMs;
    const std::uint8_t command = out[3];
    {
        std::lock_guard lock(ioLock_);
        if (link.WriteReport(out.data(), kReportSize, nullptr, timeout) != 1) {
            return kResultWriteFailed;
        }
        waiting_.push_back(command);
    }

    int result = kResultNoAnswer;
    bool echoed = false;
    {
        std::lock_guard lock(ioLock_);
        waiting_.erase(std::find(waiting_.begin(), waiting_.end(), command));
        const auto stray = std::find_if(strayAnswers_.begin(), strayAnswers_.end(),
                                        [&](const auto& a) { return a[3] == command; });
        if (stray != strayAnswers_.end()) {
            // Another exchange read our answer while we waited for the lock.
            const std::uint32_t n = std::min<std::uint32_t>(answerLength, kReportSize);
            std::copy_n(stray->begin(), n, answer);
            if (transferred)
                *transferred = n;
            strayAnswers_.erase(stray);
            result = kResultOk;
            echoed = true;
        }
        for (int attempt = 0; !echoed && attempt < 2; ++attempt) {
            result = link.ReadReport(answer, answerLength, transferred, timeout);
            if (result != 1 || answerLength < 4)
                break;
            if (answer[3] == command) {
                echoed = true;
                break;
            }
            if (viaReceiver && answer[3] == kUnreachableEcho) {
                result = kResultUnreachable;
                break;
            }
            if (answerLength >= kReportSize &&
                std::find(waiting_.begin(), waiting_.end(), answer[3]) != waiting_.end()) {
                if (strayAnswers_.size() >= kMaxStrayAnswers)
                    strayAnswers_.erase(strayAnswers_.begin());
                auto& kept = strayAnswers_.emplace_back();
                std::copy_n(answer, kReportSize, kept.begin());
            }
        }
    }
    // An answer that never echoed belongs to another exchange: never hand it back as ours.
    if (result == 1 && !echoed) {
        DebugLog("answer to command %02x did not echo it\n", out[3]);
        if (transferred)
            *transferred = 0;
        result = kResultNoAnswer;
    }
    if (trace && answerLength >= kReportSize) {
        Trace("返回", std::span<const std::uint8_t, kReportSize>(answer, kReportSize));
    }
    return result;
}

}  // namespace morva
