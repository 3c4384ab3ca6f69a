#include "base/file_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace morva {

std::optional<CFileLock> CFileLock::Acquire(const std::string& path, std::chrono::milliseconds wait,
                                            std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    CFileLock lock(fd);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return lock;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock " + path + ": " + std::strerror(errno);
            return std::nullopt;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = path + " stays locked by another process";
            return std::nullopt;
        }
        // flock has no timed wait.
        ::poll(nullptr, 0, static_cast<int>(std::min<long long>(left.count(), 5)));
    }
}

CFileLock::CFileLock(CFileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

CFileLock& CFileLock::operator=(CFileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

CFileLock::~CFileLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace morva
