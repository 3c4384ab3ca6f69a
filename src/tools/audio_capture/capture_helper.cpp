#include "tools/audio_capture/capture_helper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/audio_capture/spectrum.h"

namespace morva::capture {

namespace {

using Clock = std::chrono::steady_clock;

// After quit, the capture gets this long to end; a read stuck on a hung server would hold the
// helper forever.
constexpr int kQuitGraceMs = 2000;
constexpr std::size_t kMaxCommandLine = 4096;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// Signals the command reader to end before its thread is joined.
class Wake {
public:
    explicit Wake(int fd) : fd_(fd) {}
    ~Wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
    }
    Wake(const Wake&) = delete;
    Wake& operator=(const Wake&) = delete;

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

CCaptureHelper::CCaptureHelper(ISource& source, int inputFd, int outputFd, HelperOptions options)
    : source_(source),
      inputFd_(inputFd),
      outputFd_(outputFd),
      options_(options),
      sending_(options.fileMode) {}

int CCaptureHelper::Run() {
    const Fd wake(::eventfd(0, EFD_CLOEXEC));
    if (wake.Get() < 0) {
        std::perror("morva-audio-capture: eventfd");
        return 1;
    }
    int code = 0;
    {
        const std::jthread reader([this, &wake] { ReadCommands(wake.Get()); });
        const Wake ending(wake.Get());
        code = Capture();
        Quit();
    }
    return code;
}

void CCaptureHelper::Quit() {
    const std::lock_guard lock(mutex_);
    quit_ = true;
    changed_.notify_all();
}

bool CCaptureHelper::Write(std::string_view first, std::string_view second) {
    const std::lock_guard lock(outputMutex_);
    if (outputClosed_)
        return false;
    if (!WriteAll(outputFd_, first) || !WriteAll(outputFd_, second)) {
        outputClosed_ = true;
        return false;
    }
    return true;
}

void CCaptureHelper::SetState(bool running, const SourceStatus& status) {
    const std::string line = StateLine(running, status.reason);
    const std::lock_guard lock(mutex_);
    if (line == state_)
        return;
    state_ = line;
    if (!status.detail.empty())
        std::fprintf(stderr, "morva-audio-capture: %s\n", status.detail.c_str());
    if (!Write(line)) {
        quit_ = true;
        changed_.notify_all();
    }
}

CCaptureHelper::Settings CCaptureHelper::Take() {
    const std::lock_guard lock(mutex_);
    Settings s{quit_, released_, sending_, reset_, colour_};
    reset_ = false;
    return s;
}

bool CCaptureHelper::WaitUntil(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_until(lock, deadline, [this] { return quit_ || released_; });
}

void CCaptureHelper::Apply(const Line& line) {
    if (line.kind == Line::Kind::Colour) {
        const std::lock_guard lock(mutex_);
        colour_ = line.colour;
        return;
    }
    if (line.kind != Line::Kind::Command)
        return;
    std::unique_lock lock(mutex_);
    switch (line.command) {
        case Command::Hello: {
            // The protocol has no formatter for this answer; ParseLine reads it back.
            const std::string hello = "hello " + std::to_string(kCaptureVersion) + "\n";
            const std::string state = state_.empty() ? StateLine(false, "starting") : state_;
            if (!Write(hello, state))
                quit_ = true;
            break;
        }
        case Command::Start:
            sending_ = true;
            released_ = false;
            break;
        case Command::Stop:
            sending_ = false;
            break;
        case Command::Reset:
            reset_ = true;
            break;
        case Command::Release:
            sending_ = false;
            released_ = true;
            break;
        case Command::Quit:
            quit_ = true;
            break;
        case Command::Red:
        case Command::Green:
        case Command::Blue:
            colour_[static_cast<int>(line.command) - static_cast<int>(Command::Red)] = line.value;
            break;
    }
    changed_.notify_all();
}

void CCaptureHelper::ReadCommands(int wakeFd) {
    std::vector<char> buffer(4096);
    std::string pending;
    bool discarding = false;  // inside a line too long to be a command
    bool inputOpen = true;
    bool quitting = false;
    while (true) {
        pollfd fds[2] = {{inputOpen ? inputFd_ : -1, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, quitting ? kQuitGraceMs : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if (ready == 0)
            std::_Exit(0);  // quit was asked and the capture is stuck in a read
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(inputFd_, buffer.data(), buffer.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            inputOpen = false;
            if (!options_.fileMode) {
                Quit();
                quitting = true;
            }
            continue;
        }
        pending.append(buffer.data(), static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (discarding) {
                discarding = false;
                continue;
            }
            if (const auto line = ParseLine(std::string_view(pending).substr(start, end - start)))
                Apply(*line);
        }
        pending.erase(0, start);
        if (pending.size() > kMaxCommandLine) {
            pending.clear();
            discarding = true;
        }
        const std::lock_guard lock(mutex_);
        quitting = quit_;
    }
}

int CCaptureHelper::Capture() {
    CSpectrumAnalyser analyser(source_.SampleRate());
    std::vector<float> chunk(source_.ChunkSize());
    std::array<int, 3> colour{kColourLevelMax, kColourLevelMax, kColourLevelMax};
    auto retry = options_.firstRetry;
    auto send = [&] {
        return Write(SamplesLine(analyser.LastSamples()), LevelsLine(analyser.LastLevels()));
    };
    auto fatal = [](const SourceStatus& status) {
        std::fprintf(stderr, "morva-audio-capture: %s\n", status.detail.c_str());
        return 2;
    };
    auto backOff = [&](const SourceStatus& status) {
        SetState(false, status);
        WaitUntil(Clock::now() + retry);
        retry = std::min(retry * 2, options_.lastRetry);
    };

    while (true) {
        Settings settings = Take();
        if (settings.quit)
            return 0;
        if (settings.released) {
            SetState(false, {false, "released", {}});
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return quit_ || !released_; });
            continue;
        }
        SourceStatus status = source_.Open();
        if (!status.ok) {
            if (status.fatal)
                return fatal(status);
            backOff(status);
            continue;
        }
        bool running = false;
        const auto paceStart = Clock::now();
        std::uint64_t paced = 0;
        while (true) {
            settings = Take();
            if (settings.quit || settings.released)
                break;
            if (settings.reset)
                analyser.Reset();
            if (settings.colour != colour) {
                colour = settings.colour;
                analyser.SetColour(colour);
            }
            const std::size_t n = source_.Read(chunk, status);
            if (!status.ok)
                break;
            if (!running) {
                // Running once samples arrive: a stream that opens and then fails keeps
                // backing off.
                running = true;
                retry = options_.firstRetry;
                SetState(true);
            }
            std::span<const float> rest(chunk.data(), n);
            while (!rest.empty()) {
                rest = rest.subspan(analyser.Consume(rest));
                if (analyser.Ready() && settings.sending && !send())
                    return 0;
            }
            if (n == 0) {
                if (analyser.Flush() && settings.sending)
                    send();
                source_.Close();
                return 0;
            }
            if (options_.paced && !source_.RealTime()) {
                paced += n;
                WaitUntil(paceStart +
                          std::chrono::microseconds(paced * 1'000'000 / source_.SampleRate()));
            }
        }
        source_.Close();
        if (!status.ok) {
            if (status.fatal)
                return fatal(status);
            backOff(status);
        }
    }
}

}  // namespace morva::capture
