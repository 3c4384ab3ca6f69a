// A private X server for a test, on a display number it picks itself, and xdotool to type
// and click on it. No Xlib here, so Qt tests can use it too.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace morva::test {

// Descriptors opened without O_CLOEXEC are inherited.
inline pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Only async-signal-safe calls between fork and exec: other threads may be running.
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // no server outlives a crashed test
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

class XvfbServer {
public:
    static bool Available() {
        return std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") == 0;
    }
    ~XvfbServer() { Stop(); }

    // Extra arguments: "-extension NAME" to leave one out, ":N" for a given display.
    // Sets $DISPLAY for the programs the test starts.
    bool Start(const std::vector<std::string>& extra = {}) {
        Stop();
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        // No reset when the last client leaves: a test's connections come and go.
        std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                         "-nolisten", "tcp",        "-noreset"};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = Spawn(args);
        close(fds[1]);
        // The number comes once the server accepts connections.
        std::string number;
        char c = 0;
        pollfd readable{fds[0], POLLIN, 0};
        while (pid_ > 0 && poll(&readable, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);
        return !number.empty();
    }
    void Stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    const std::string& Display() const { return display_; }

    bool Xdotool(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {"xdotool"};
        all.insert(all.end(), args.begin(), args.end());
        const pid_t pid = Spawn(all);
        int status = 0;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace morva::test
