// One open hidraw node, shared by every connection on the collections of its interface.
//
// The kernel hands every open descriptor of a node all input reports of the interface and
// drops new ones once 64 are waiting, so a command connection that reads only during an
// exchange would lose its answers behind keyboard traffic. Hence one descriptor and one reader
// thread per node: the reader drains the node at once and sorts each report by its id into the
// queues of the connections whose collection owns that id.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "device/hid/hid_backend.h"
#include "platform/hidraw/unique_fd.h"

namespace morva::hid {

class HidrawConnection;

class HidrawNode : public std::enable_shared_from_this<HidrawNode> {
    struct Key {};

public:
    // Reports a connection keeps unread; the oldest goes when another arrives.
    static constexpr std::size_t kQueueLimit = 64;

    // Takes `fd` (anything with hidraw's message boundaries: a hidraw node, or one end of a
    // SOCK_SEQPACKET pair in tests), makes it non-blocking and starts the reader. When
    // `usesReportIds` is false a 0 byte is put in front of every input report, so that each
    // report handed up starts with its id byte. Null, with a reason, when the reader cannot
    // start.
    static std::shared_ptr<HidrawNode> Start(UniqueFd fd, bool usesReportIds, bool writable,
                                             std::string syspath, std::string* error);

    HidrawNode(Key, UniqueFd fd, UniqueFd stopEvent, bool usesReportIds, bool writable,
               bool isSocket, std::string syspath);
    // Runs when the last connection closes: stops and joins the reader.
    ~HidrawNode();
    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    // A connection on one collection of this node. It receives the reports that arrive from
    // now on whose id the collection owns (every report when it owns none), and keeps the node
    // alive. Destroying it cancels its calls in progress and waits until none is inside, so
    // a thread still blocked in Read or Write when another thread destroys it comes back
    // with Cancelled; a call must not start after destruction began.
    std::unique_ptr<IHidConnection> Connect(InterfaceInfo info, bool write);

    // The node failed (unplugged); every read and write fails from now on.
    bool Gone() const;
    bool Writable() const { return writable_; }
    const std::string& Syspath() const { return syspath_; }

private:
    friend class HidrawConnection;

    void ReadLoop(std::stop_token stop);
    void Dispatch(std::span<const std::uint8_t> report);
    void MarkGone(const char* why);
    void MarkGoneLocked(const char* why);
    ssize_t Send(std::span<const std::uint8_t> report) const;

    const UniqueFd fd_;
    const UniqueFd stopEvent_;
    const bool usesReportIds_;
    const bool writable_;
    const bool isSocket_;
    const std::string syspath_;

    mutable std::mutex mutex_;  // the fields below and every connection's queue and counters
    std::vector<HidrawConnection*> connections_;
    bool gone_ = false;

    std::jthread reader_;  // last: joined before anything it uses goes away
};

}  // namespace morva::hid
