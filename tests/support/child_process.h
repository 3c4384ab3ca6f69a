// A program a test starts with pipes on its stdin and stdout, read line by line with a
// deadline; killed and reaped when the object goes. No gtest here.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace morva::test {

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        // "NAME=VALUE" sets a variable for the child, "NAME" alone removes it.
        std::vector<std::string> env;
        bool pipeStdin = true;
        bool pipeStdout = true;
        // Where stderr goes; empty: the test's own stderr.
        std::string stderrPath;
    };

    ChildProcess() = default;
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The child dies with the thread that started it, so nothing outlives a crashed test.
    bool Start(const std::vector<std::string>& args) { return Start(args, Options{}); }
    bool Start(const std::vector<std::string>& args, const Options& options) {
        Kill();
        std::vector<std::string> envStrings = MergedEnvironment(options.env);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        if ((options.pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) ||
            (options.pipeStdout && ::pipe2(out, O_CLOEXEC) != 0)) {
            CloseAll({in[0], in[1], out[0], out[1]});
            return false;
        }
        const char* errPath = options.stderrPath.empty() ? nullptr : options.stderrPath.c_str();
        const pid_t parent = ::getpid();
        // Only async-signal-safe calls between fork and exec: other threads may be running.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);
            const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
            ::dup2(options.pipeStdin ? in[0] : devNull, STDIN_FILENO);
            ::dup2(options.pipeStdout ? out[1] : devNull, STDOUT_FILENO);
            if (errPath) {
                const int err = ::open(errPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
                ::dup2(err, STDERR_FILENO);
            }
            ::execvpe(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        CloseAll({in[0], out[1]});
        if (pid < 0) {
            CloseAll({in[1], out[0]});
            return false;
        }
        pid_ = pid;
        stdin_ = in[1];
        stdout_ = out[0];
        buffer_.clear();
        eof_ = false;
        status_.reset();
        return true;
    }

    pid_t Pid() const { return pid_; }

    bool Running() {
        if (pid_ <= 0)
            return false;
        Reap(WNOHANG);
        return !status_;
    }

    bool Write(std::string_view text) {
        while (stdin_ >= 0 && !text.empty()) {
            const ssize_t n = ::write(stdin_, text.data(), text.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
        return stdin_ >= 0;
    }

    void CloseStdin() { CloseFd(stdin_); }

    // The next line of stdout without its '\n'; nothing when `deadline` passes first or the
    // output ends.
    std::optional<std::string> ReadLine(Clock::time_point deadline) {
        while (true) {
            const std::size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            if (stdout_ < 0 || eof_)
                return std::nullopt;
            pollfd p{stdout_, POLLIN, 0};
            const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t n = ::read(stdout_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                eof_ = true;
                continue;
            }
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // The exit code (128 + N after signal N) once the child ended, unless `deadline` passes.
    std::optional<int> Wait(Clock::time_point deadline) {
        if (pid_ <= 0)
            return status_;
        const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        while (!Reap(WNOHANG) && Clock::now() < deadline) {
            if (pidFd >= 0) {
                pollfd p{pidFd, POLLIN, 0};
                ::poll(&p, 1, MillisecondsUntil(deadline));
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));  // no pidfd: poll
            }
        }
        if (pidFd >= 0)
            ::close(pidFd);
        return status_;
    }

    // Until the child is reaped; Wait collects it.
    void Signal(int signal) {
        if (pid_ > 0 && !status_)
            ::kill(pid_, signal);
    }

    void Kill() {
        if (pid_ > 0) {
            Signal(SIGKILL);
            Reap(0);
        }
        CloseFd(stdin_);
        CloseFd(stdout_);
        pid_ = -1;
    }

    static int MillisecondsUntil(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60'000));
    }

private:
    static std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes) {
        auto name = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view entry(*e);
            const bool changed = std::any_of(changes.begin(), changes.end(),
                                             [&](const auto& c) { return name(c) == name(entry); });
            if (!changed)
                env.emplace_back(entry);
        }
        for (const auto& c : changes) {
            if (c.find('=') != std::string::npos)
                env.push_back(c);
        }
        return env;
    }

    static void CloseAll(std::initializer_list<int> fds) {
        for (int fd : fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    static void CloseFd(int& fd) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    // True once the child's status is known.
    bool Reap(int flags) {
        if (status_)
            return true;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, flags);
        } while (r < 0 && errno == EINTR);
        if (r != pid_)
            return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffer_;
    bool eof_ = false;
    std::optional<int> status_;
};

}  // namespace morva::test
