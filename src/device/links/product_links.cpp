#include "device/links/product_links.h"

#include <condition_variable>

#include "base/debug_log.h"
#include "device/protocol/commands.h"

namespace morva {
namespace {

// False once stop is requested.
bool WaitFor(std::stop_token stop, std::chrono::milliseconds time) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    return !cv.wait_for(lock, stop, time, [] { return false; }) && !stop.stop_requested();
}

}  // namespace

CProductLinks::CProductLinks(CDeviceChannel& channel, ReachPoll poll)
    : channel_(channel), poll_(poll) {}

CProductLinks::~CProductLinks() {
    EndPoll();
}

bool CProductLinks::Open(ProductLink link, const std::string& path, std::string* error) {
    EndPoll();
    const bool receiver = link == ProductLink::Receiver;
    std::lock_guard lock(channel_.ioLock_);
    CHidDevice& iface = receiver ? channel_.receiver_ : channel_.wired_;
    if (!iface.Open(path, true, true)) {
        if (error != nullptr)
            *error = iface.LastError();
        return false;
    }
    channel_.SetLinkType(receiver ? kLinkReceiver : kLinkCable);
    channel_.SetOpen(true);
    return true;
}

void CProductLinks::Close() {
    // Closing the interfaces also cuts short a poll's exchange that is waiting for an answer.
    pollThread_.request_stop();
    {
        std::lock_guard lock(channel_.ioLock_);
        channel_.SetOpen(false);
        channel_.wired_.Close();
        channel_.receiver_.Close();
    }
    EndPoll();
}

std::optional<ProductLink> CProductLinks::Switch(const std::string& path, std::string* error) {
    pollThread_.request_stop();
    const bool toCable = channel_.ViaReceiver();
    bool opened = false;
    {
        std::lock_guard lock(channel_.ioLock_);
        channel_.SetOpen(false);
        CHidDevice& target = toCable ? channel_.wired_ : channel_.receiver_;
        target.Close();
        opened = !path.empty() && target.Open(path, true, true);
        if (!opened && error != nullptr)
            *error = path.empty() ? "no path" : target.LastError();
        if (opened) {
            channel_.SetLinkType(toCable ? kLinkCable : kLinkReceiver);
            // The cable being left is gone; its connection goes with it.
            if (!toCable)
                channel_.wired_.Close();
            channel_.SetOpen(true);
        } else if (toCable) {
            // The receiver was never closed: it keeps serving until the cable opens.
            channel_.SetOpen(channel_.receiver_.IsOpen());
        } else {
            channel_.wired_.Close();
        }
    }
    EndPoll();
    if (!opened)
        return std::nullopt;
    return toCable ? ProductLink::Cable : ProductLink::Receiver;
}

std::uint64_t CProductLinks::PollReachability(ReachDone done) {
    EndPoll();
    const std::uint64_t ticket = generation_.load();
    polling_ = true;
    pollThread_ = std::jthread([this, done = std::move(done), ticket](std::stop_token stop) {
        PollLoop(stop, done, ticket);
    });
    return ticket;
}

void CProductLinks::EndPoll() {
    ++generation_;
    if (pollThread_.joinable()) {
        pollThread_.request_stop();
        pollThread_.join();
    }
    polling_ = false;
}

void CProductLinks::PollLoop(std::stop_token stop, ReachDone done, std::uint64_t ticket) {
    bool reachable = false;
    for (int i = 0; i < poll_.polls && !stop.stop_requested(); ++i) {
        if (CmdQueryWireless(channel_)) {
            reachable = true;
            break;
        }
        DebugLog("获取2.4G模式失败\n");
        if (!WaitFor(stop, poll_.gap))
            return;
    }
    if (stop.stop_requested())
        return;
    polling_ = false;
    if (done)
        done(reachable, ticket);
}

}  // namespace morva
