#include "tools/morvactl/app_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/hidraw/unique_fd.h"

namespace morva::cli {

namespace {

using Clock = std::chrono::steady_clock;

std::string Duration(std::chrono::milliseconds timeout) {
    if (timeout.count() % 1000 == 0)
        return std::to_string(timeout.count() / 1000) + " s";
    return std::to_string(timeout.count()) + " ms";
}

// Time left until `deadline`, in whole milliseconds for poll; 0 once it has passed.
int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Non-blocking: a program whose UI thread hangs stops accepting, and once its listen queue
// is full a blocking connect would wait for ever.
hid::UniqueFd Connect(const std::string& path, Clock::time_point deadline, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "bad socket path: " + path;
        return {};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    hid::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return {};
    }
    for (;;) {
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        if (errno == EINTR)
            continue;
        // A full queue refuses at once; it may drain, so look again until the deadline.
        if (errno == EAGAIN && MsLeft(deadline) > 0) {
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, std::min(10, MsLeft(deadline)));
            continue;
        }
        break;
    }
    // A socket file left behind by a crashed program refuses connections.
    if (errno == ENOENT || errno == ECONNREFUSED)
        error = "the program is not running (no socket at " + path + ")";
    else if (errno == EAGAIN)
        error = "the program takes no connections (its queue at " + path + " stays full)";
    else
        error = "cannot connect to " + path + ": " + std::strerror(errno);
    return {};
}

bool SendAll(int fd, std::string_view bytes, Clock::time_point deadline, std::string& error) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a program that just quit must give an error, not kill us with SIGPIPE.
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (MsLeft(deadline) > 0 && ::poll(&p, 1, MsLeft(deadline)) >= 0)
                continue;
            error = "the program does not read what is sent to it";
            return false;
        }
        if (n <= 0) {
            error = std::string("cannot send to the program: ") + std::strerror(errno);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

namespace {

std::optional<ipc::Message> Exchange(const std::string& socketPath, const std::string& lines,
                                     std::string_view reply, std::chrono::milliseconds timeout,
                                     std::string& error) {
    // One limit for the whole exchange: connecting, sending and the answer.
    const Clock::time_point deadline = Clock::now() + timeout;
    const hid::UniqueFd fd = Connect(socketPath, deadline, error);
    if (!fd || !SendAll(fd.Get(), lines, deadline, error))
        return std::nullopt;
    ipc::LineSplitter splitter;
    std::optional<ipc::Message> answer;
    char buffer[4096];
    while (!answer) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            error = "no answer from the program within " + Duration(timeout);
            return std::nullopt;
        }
        pollfd p{fd.Get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            error = std::string("waiting for the program failed: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (ready == 0)
            continue;  // the deadline check above reports it
        const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            error = std::string("reading from the program failed: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0) {
            error = "the program closed the connection without answering";
            return std::nullopt;
        }
        splitter.Feed(std::string_view(buffer, static_cast<std::size_t>(n)),
                      [&](std::string_view line) {
                          if (answer)
                              return;
                          std::optional<ipc::Message> m = ipc::Decode(line);
                          if (m && m->msg == reply)
                              answer = std::move(m);
                      });
    }
    return answer;
}

}  // namespace

std::optional<ipc::Message> AskApp(const std::string& socketPath, const ipc::Message& request,
                                   std::string_view reply, std::chrono::milliseconds timeout,
                                   std::string& error) {
    return Exchange(socketPath, ipc::Encode(request), reply, timeout, error);
}

bool SendToApp(const std::string& socketPath, const ipc::Message& message,
               std::chrono::milliseconds timeout, std::string& error) {
    // The program answers a connection's lines in order: once the status report is back, the
    // message has been handled.
    ipc::Message query;
    query.msg = ipc::kMsgAppStatusQuery;
    return Exchange(socketPath, ipc::Encode(message) + ipc::Encode(query), ipc::kMsgAppStatusReport,
                    timeout, error)
        .has_value();
}

}  // namespace morva::cli
