// An exclusive lock (flock) on a file, held while the object lives: processes that change
// the same files take turns. The kernel lets go of it however the holder ends.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace morva {

class CFileLock {
public:
    // Creates `path` (0600) when missing and waits up to `wait` for the lock. Nothing, with
    // the reason in `error`, when the file cannot be opened or someone else keeps the lock.
    static std::optional<CFileLock> Acquire(const std::string& path, std::chrono::milliseconds wait,
                                            std::string& error);

    CFileLock(CFileLock&& other) noexcept;
    CFileLock& operator=(CFileLock&& other) noexcept;
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    ~CFileLock();

private:
    explicit CFileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace morva
