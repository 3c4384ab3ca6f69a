// The capture helper's run: commands from the input descriptor on a thread of their own,
// samples from a source through the analyser, every line out whole and at once.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "base/capture_protocol.h"
#include "tools/audio_capture/sources.h"

namespace morva::capture {

struct HelperOptions {
    bool fileMode = false;  // sends at once, ends with the input, ignores the input closing
    bool paced = true;      // holds a file to real time
    std::chrono::milliseconds firstRetry{250};
    std::chrono::milliseconds lastRetry{4000};
};

class CCaptureHelper {
public:
    CCaptureHelper(ISource& source, int inputFd, int outputFd, HelperOptions options);

    // Until command 5, the input closing (not in file mode), the output closing or the end of
    // the file; the exit code.
    int Run();

private:
    struct Settings {
        bool quit = false;
        bool released = false;
        bool sending = false;
        bool reset = false;
        std::array<int, 3> colour{};
    };

    int Capture();
    void ReadCommands(int wakeFd);
    void Apply(const Line& line);
    bool Write(std::string_view first, std::string_view second = {});
    void SetState(bool running, const SourceStatus& status = {});
    Settings Take();
    // Waits until `deadline` unless quit or release comes first; false then.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    void Quit();

    ISource& source_;
    int inputFd_;
    int outputFd_;
    HelperOptions options_;

    std::mutex outputMutex_;
    bool outputClosed_ = false;

    std::mutex mutex_;  // taken before outputMutex_ when both are held
    std::condition_variable changed_;
    bool quit_ = false;
    bool released_ = false;
    bool sending_ = false;
    bool reset_ = false;
    std::array<int, 3> colour_{kColourLevelMax, kColourLevelMax, kColourLevelMax};
    std::string state_;  // the last state line written; empty before the first
};

}  // namespace morva::capture
