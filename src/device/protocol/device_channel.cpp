#include "device/protocol/device_channel.h"

#include <algorithm>
#include <array>

#include "base/debug_log.h"

namespace morva {

namespace {

// Clears the busy flag on every way out of an exchange.
class BusyGuard {
public:
    explicit BusyGuard(std::atomic<bool>& busy) : busy_(busy) { busy_.store(true); }
    ~BusyGuard() { busy_.store(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::atomic<bool>& busy_;
};

void Trace(const char* title, std::span<const std::uint8_t, kReportSize> report) {
    if (!DebugLogEnabled())
        return;
    DebugLog("%s\n%s", title, FormatReportTrace(report).c_str());
}

}  // namespace

CDeviceChannel::CDeviceChannel(hid::IHidBackend& backend) : wired(backend), receiver(backend) {}

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
    CHidDevice& link = viaReceiver ? receiver : wired;
    const std::uint32_t timeout = viaReceiver ? receiverTimeoutMs : cableTimeoutMs;
    {
        std::lock_guard lock(ioLock);
        if (link.WriteReport(out.data(), kReportSize, nullptr, timeout) != 1) {
            return kResultWriteFailed;
        }
    }

    int result = kResultNoAnswer;
    bool echoed = false;
    {
        std::lock_guard lock(ioLock);
        for (int attempt = 0; attempt < 2; ++attempt) {
            result = link.ReadReport(answer, answerLength, transferred, timeout);
            if (result != 1 || answerLength < 4)
                break;
            if (answer[3] == out[3]) {
                echoed = true;
                break;
            }
            if (viaReceiver && answer[3] == kUnreachableEcho) {
                result = kResultUnreachable;
                break;
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
