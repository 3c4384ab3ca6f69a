// Files may not grow past `bytes` while the object lives: a full disk, which binds root too
// (unlike a read-only folder). Writes then fail with EFBIG ("File too large").
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace morva::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit tiny = saved_;
        tiny.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int);
};

}  // namespace morva::test
