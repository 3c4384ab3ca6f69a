// A child process killed with SIGKILL part-way through its work: `work` runs in a forked child
// and calls the `begins` it is given each time a step (a file write) begins; once `steps`
// steps have begun the child is killed and reaped. No gtest here.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace morva::test {

// False when the child could not be started or ended before `steps` steps began.
inline bool KillPartWay(const std::function<void(const std::function<void()>& begins)>& work,
                        int steps) {
    int ready[2];
    if (pipe(ready) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        work([fd = ready[1]] { (void)!write(fd, "s", 1); });
        _exit(0);
    }
    close(ready[1]);
    bool begun = child > 0;
    char seen = 0;
    for (int n = 0; begun && n < steps; ++n)
        begun = read(ready[0], &seen, 1) == 1;
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    close(ready[0]);
    return begun;
}

}  // namespace morva::test
