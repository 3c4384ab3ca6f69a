#include "tools/morvactl/app_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

hid::UniqueFd Connect(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "bad socket path: " + path;
        return {};
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    hid::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return {};
    }
    int result;
    do {
        result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return fd;
    // A socket file left behind by a crashed program refuses connections.
    if (errno == ENOENT || errno == ECONNREFUSED)
        error = "the program is not running (no socket at " + path + ")";
    else
        error = "cannot connect to " + path + ": " + std::strerror(errno);
    return {};
}

bool SendAll(int fd, std::string_view bytes, std::string& error) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a program that just quit must give an error, not kill us with SIGPIPE.
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
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
    const hid::UniqueFd fd = Connect(socketPath, error);
    if (!fd || !SendAll(fd.Get(), lines, error))
        return std::nullopt;
    const Clock::time_point deadline = Clock::now() + timeout;
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
