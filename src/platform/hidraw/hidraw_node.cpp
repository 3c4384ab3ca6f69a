#include "platform/hidraw/hidraw_node.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <system_error>

#include "base/debug_log.h"

namespace morva::hid {

namespace {

using Clock = std::chrono::steady_clock;

// Largest report hidraw moves in one read, plus room for the id byte we may add.
constexpr std::size_t kMaxReport = 16384;

void Signal(int eventFd) {
    const std::uint64_t one = 1;
    while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

std::optional<Clock::time_point> DeadlineOf(std::uint32_t timeoutMs) {
    if (timeoutMs == kNoTimeout)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// poll() time-out for what is left until `deadline`: -1 without one, rounded up otherwise.
int RemainingMs(const std::optional<Clock::time_point>& deadline) {
    if (!deadline)
        return -1;
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, std::numeric_limits<int>::max()));
}

bool MeansGone(int error) {
    return error == ENODEV || error == EIO || error == EPIPE || error == ECONNRESET ||
           error == ENOTCONN || error == ESHUTDOWN || error == EBADF;
}

}  // namespace

class HidrawConnection final : public IHidConnection {
public:
    HidrawConnection(std::shared_ptr<HidrawNode> node, InterfaceInfo info, bool write)
        : node_(std::move(node)), info_(std::move(info)), write_(write) {}

    ~HidrawConnection() override {
        std::unique_lock lock(node_->mutex_);
        CancelLocked();
        cv_.wait(lock, [this] { return inside_ == 0; });
        std::erase(node_->connections_, this);
    }

    const InterfaceInfo& Info() const override { return info_; }

    IoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred,
                  std::uint32_t timeoutMs) override {
        transferred = 0;
        // Keeps the mutex alive until the lock below lets go, even if the connection is
        // destroyed the moment this call leaves it.
        const std::shared_ptr<HidrawNode> node = node_;
        std::unique_lock lock(node->mutex_);
        const Inside inside(*this);
        const std::uint64_t generation = cancelGeneration_;
        const auto deadline = DeadlineOf(timeoutMs);
        while (true) {
            if (cancelGeneration_ != generation)
                return IoResult::Cancelled;
            if (!queue_.empty()) {
                const std::vector<std::uint8_t>& report = queue_.front();
                transferred = std::min(report.size(), buffer.size());
                std::copy_n(report.begin(), transferred, buffer.begin());
                queue_.pop_front();
                return IoResult::Ok;
            }
            // Reports that came before the node went are still handed out.
            if (node->gone_)
                return IoResult::Failed;
            if (!deadline) {
                cv_.wait(lock);
                continue;
            }
            if (Clock::now() >= *deadline)
                return IoResult::Timeout;
            cv_.wait_until(lock, *deadline);
        }
    }

    IoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred,
                   std::uint32_t timeoutMs) override {
        transferred = 0;
        const std::shared_ptr<HidrawNode> node = node_;
        std::unique_lock lock(node->mutex_);
        const Inside inside(*this);
        const std::uint64_t generation = cancelGeneration_;
        if (!write_ || !node->writable_ || report.empty())
            return IoResult::Failed;
        const auto deadline = DeadlineOf(timeoutMs);
        // Made on the first wait only: a hidraw node is always writable (its write() blocks
        // in the kernel instead), so only other descriptors ever wait for room here.
        UniqueFd wake;
        const WaiterEntry entry(*this, wake);
        while (true) {
            if (cancelGeneration_ != generation)
                return IoResult::Cancelled;
            if (node->gone_)
                return IoResult::Failed;
            lock.unlock();
            const ssize_t n = node->Send(report);
            const int error = errno;
            lock.lock();
            if (n >= 0) {
                transferred = static_cast<std::size_t>(n);
                return transferred == report.size() ? IoResult::Ok : IoResult::Failed;
            }
            if (error == EINTR)
                continue;
            if (error != EAGAIN && error != EWOULDBLOCK) {
                DebugLog("hidraw: write to %s failed: %s\n", info_.path.c_str(),
                         std::strerror(error));
                if (MeansGone(error))
                    node->MarkGoneLocked("write failed");
                return IoResult::Failed;
            }
            if (cancelGeneration_ != generation)
                return IoResult::Cancelled;
            const int waitMs = RemainingMs(deadline);
            if (waitMs == 0)
                return IoResult::Timeout;
            if (!wake) {
                wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
                if (!wake)
                    return IoResult::Failed;
                waitingWriters_.push_back(wake.Get());
            }
            lock.unlock();
            pollfd fds[2] = {{node->fd_.Get(), POLLOUT, 0}, {wake.Get(), POLLIN, 0}};
            const int ready = ::poll(fds, 2, waitMs);
            const int pollError = errno;
            lock.lock();
            if (ready < 0 && pollError != EINTR)
                return IoResult::Failed;
            if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) &&
                !(fds[0].revents & POLLOUT)) {
                node->MarkGoneLocked("hung up");
                return IoResult::Failed;
            }
        }
    }

    void CancelPending() override {
        std::lock_guard lock(node_->mutex_);
        CancelLocked();
    }

    // The rest is called by the node's reader with the node mutex held.
    bool Owns(std::uint8_t reportId) const {
        const std::vector<std::uint8_t>& ids = info_.collection.reportIds;
        return ids.empty() || std::binary_search(ids.begin(), ids.end(), reportId);
    }
    void Push(std::span<const std::uint8_t> report) {
        if (queue_.size() >= HidrawNode::kQueueLimit)
            queue_.pop_front();
        queue_.emplace_back(report.begin(), report.end());
        cv_.notify_all();
    }
    void Wake() {
        cv_.notify_all();
        for (int fd : waitingWriters_)
            Signal(fd);
    }

private:
    // Counts a call in progress; built and destroyed with the node mutex held. The last one
    // out notifies under the mutex, so a destructor waiting for it cannot free the condition
    // variable before the notification is done.
    class Inside {
    public:
        explicit Inside(HidrawConnection& c) : c_(c) { ++c_.inside_; }
        ~Inside() {
            if (--c_.inside_ == 0)
                c_.cv_.notify_all();
        }
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;

    private:
        HidrawConnection& c_;
    };

    // Withdraws a waiting write's wake-up descriptor before it is closed (both under the
    // mutex, so a cancel never signals a closed descriptor).
    class WaiterEntry {
    public:
        WaiterEntry(HidrawConnection& c, const UniqueFd& fd) : c_(c), fd_(fd) {}
        ~WaiterEntry() {
            if (fd_)
                std::erase(c_.waitingWriters_, fd_.Get());
        }
        WaiterEntry(const WaiterEntry&) = delete;
        WaiterEntry& operator=(const WaiterEntry&) = delete;

    private:
        HidrawConnection& c_;
        const UniqueFd& fd_;
    };

    void CancelLocked() {
        ++cancelGeneration_;
        Wake();
    }

    const std::shared_ptr<HidrawNode> node_;
    const InterfaceInfo info_;
    const bool write_;

    // Guarded by the node mutex.
    std::deque<std::vector<std::uint8_t>> queue_;
    std::uint64_t cancelGeneration_ = 0;  // calls that began under an older one are cancelled
    int inside_ = 0;
    std::vector<int> waitingWriters_;  // wake-up descriptors of writes waiting for room
    std::condition_variable cv_;
};

std::shared_ptr<HidrawNode> HidrawNode::Start(UniqueFd fd, bool usesReportIds, bool writable,
                                              std::string syspath, std::string* error) {
    const auto fail = [&](const char* what, int code) -> std::shared_ptr<HidrawNode> {
        if (error)
            *error = std::string(what) + ": " + std::strerror(code);
        return nullptr;
    };
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK) < 0)
        return fail("cannot use the device node", errno);
    UniqueFd stopEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopEvent)
        return fail("cannot start the report reader", errno);
    struct stat st {};
    const bool isSocket = ::fstat(fd.Get(), &st) == 0 && S_ISSOCK(st.st_mode);
    auto node = std::make_shared<HidrawNode>(Key{}, std::move(fd), std::move(stopEvent),
                                             usesReportIds, writable, isSocket, std::move(syspath));
    try {
        node->reader_ =
            std::jthread([raw = node.get()](std::stop_token stop) { raw->ReadLoop(stop); });
    } catch (const std::system_error& e) {
        return fail("cannot start the report reader", e.code().value());
    }
    return node;
}

HidrawNode::HidrawNode(Key, UniqueFd fd, UniqueFd stopEvent, bool usesReportIds, bool writable,
                       bool isSocket, std::string syspath)
    : fd_(std::move(fd)),
      stopEvent_(std::move(stopEvent)),
      usesReportIds_(usesReportIds),
      writable_(writable),
      isSocket_(isSocket),
      syspath_(std::move(syspath)) {}

HidrawNode::~HidrawNode() {
    reader_.request_stop();
    Signal(stopEvent_.Get());
}

std::unique_ptr<IHidConnection> HidrawNode::Connect(InterfaceInfo info, bool write) {
    auto connection =
        std::make_unique<HidrawConnection>(shared_from_this(), std::move(info), write);
    std::lock_guard lock(mutex_);
    connections_.push_back(connection.get());
    return connection;
}

bool HidrawNode::Gone() const {
    std::lock_guard lock(mutex_);
    return gone_;
}

ssize_t HidrawNode::Send(std::span<const std::uint8_t> report) const {
    // A socket stands in for the node in tests; a closed peer must not raise SIGPIPE.
    if (isSocket_)
        return ::send(fd_.Get(), report.data(), report.size(), MSG_NOSIGNAL);
    return ::write(fd_.Get(), report.data(), report.size());
}

void HidrawNode::ReadLoop(std::stop_token stop) {
    // Byte 0 is kept free for the id byte of descriptors without report ids.
    std::vector<std::uint8_t> buffer(kMaxReport + 1);
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{fd_.Get(), POLLIN, 0}, {stopEvent_.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            MarkGone("poll failed");
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(fd_.Get(), buffer.data() + 1, buffer.size() - 1);
            if (n > 0) {
                const std::size_t size = static_cast<std::size_t>(n);
                if (usesReportIds_) {
                    Dispatch(std::span(buffer).subspan(1, size));
                } else {
                    buffer[0] = 0;
                    Dispatch(std::span(buffer).first(size + 1));
                }
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            MarkGone(n == 0 ? "end of file" : std::strerror(errno));
            return;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            MarkGone("hung up");
            return;
        }
    }
}

void HidrawNode::Dispatch(std::span<const std::uint8_t> report) {
    std::lock_guard lock(mutex_);
    for (HidrawConnection* connection : connections_) {
        if (connection->Owns(report[0]))
            connection->Push(report);
    }
}

void HidrawNode::MarkGone(const char* why) {
    std::lock_guard lock(mutex_);
    MarkGoneLocked(why);
}

void HidrawNode::MarkGoneLocked(const char* why) {
    if (gone_)
        return;
    gone_ = true;
    DebugLog("hidraw: node %s is gone (%s)\n", syspath_.c_str(), why);
    for (HidrawConnection* connection : connections_)
        connection->Wake();
}

}  // namespace morva::hid
