// The links of one product's command channel: opening its cable or its receiver, closing
// both, switching between them, and asking a wireless device behind the receiver whether it
// answers, on a thread of its own so that the caller never waits through the polls.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "device/protocol/device_channel.h"

namespace morva {

enum class ProductLink { Cable, Receiver };

// How a wireless device behind its receiver is asked whether it answers.
struct ReachPoll {
    int polls = 25;
    std::chrono::milliseconds gap{50};
};

class CProductLinks {
public:
    // Runs on the poll thread once the wireless device answered or every poll missed.
    // `ticket` is the one PollReachability returned.
    using ReachDone = std::function<void(bool reachable, std::uint64_t ticket)>;

    explicit CProductLinks(CDeviceChannel& channel, ReachPoll poll = {});
    // A poll in progress ends without its callback.
    ~CProductLinks();
    CProductLinks(const CProductLinks&) = delete;
    CProductLinks& operator=(const CProductLinks&) = delete;

    // Opens `link` on `path` and serves the channel through it. False, with the reason in
    // `error`, when it cannot be opened; the channel stays closed then.
    bool Open(ProductLink link, const std::string& path, std::string* error = nullptr);
    // Closes both links and the channel.
    void Close();
    // Serves the channel through its other link, opened on `path`: the link now serving, or
    // nothing when it cannot be opened. A receiver being left keeps serving then; a cable
    // being left is gone, so the channel stays closed.
    std::optional<ProductLink> Switch(const std::string& path, std::string* error = nullptr);

    // Asks the device behind the receiver until it answers or the polls are spent, `gap`
    // apart. Any Open, Close or Switch ends a poll in progress, and its ticket stops being
    // current, so a result already on its way can be told apart.
    std::uint64_t PollReachability(ReachDone done);
    bool IsCurrent(std::uint64_t ticket) const { return ticket == generation_.load(); }
    bool Polling() const { return polling_.load(); }

private:
    void EndPoll();
    void PollLoop(std::stop_token stop, ReachDone done, std::uint64_t ticket);

    CDeviceChannel& channel_;
    ReachPoll poll_;
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<bool> polling_{false};
    std::jthread pollThread_;
};

}  // namespace morva
