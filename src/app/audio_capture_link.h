// The program's side of morva-audio-capture: starts the helper, tells it what to send, reads
// its blocks, and starts it again when it ends, waiting longer after each quick failure. All of
// it runs on the thread that owns the link (the UI thread); nothing here blocks.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "base/capture_protocol.h"

namespace morva::app {

enum class CaptureStatus {
    Stopped,   // not asked to run
    Starting,  // the helper is starting or about to be started again
    Running,   // the helper hears the desktop's output
    Waiting,   // the helper runs but has no audio to listen to (yet)
    Failed,    // the helper could not be started or ended; retried later
};

struct CaptureEvents {
    std::function<void(const capture::Samples&)> onSamples;
    std::function<void(const capture::Levels&)> onLevels;
    std::function<void(CaptureStatus)> onStatus;
    // Once per link: the helper could not be started (or kept ending) the first time.
    std::function<void()> onFirstFailure;
};

// Where the helper is: base/install_paths.h's CaptureHelperPath().
QString CaptureHelperPath();

class CAudioCaptureLink {
public:
    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLongestRetry{30000};
    // A helper that ran this long before ending was working: the back-off starts again.
    static constexpr std::chrono::milliseconds kRanWell{10000};

    CAudioCaptureLink(QString program, QStringList arguments, CaptureEvents events);
    ~CAudioCaptureLink();
    CAudioCaptureLink(const CAudioCaptureLink&) = delete;
    CAudioCaptureLink& operator=(const CAudioCaptureLink&) = delete;

    void Start();
    // Asks the helper to stop and quit, then waits up to a second before killing it.
    void Stop();
    // Whether the helper is to send blocks; when not, it also lets go of the audio server.
    // Kept and given again whenever the helper starts.
    void SetSending(bool on);
    bool Sending() const { return sending_; }
    // Starts the helper at once when it is waiting for its next try.
    void RetryNow();

    // The style colour (levels 0..9); kept and sent again whenever the helper starts.
    void SendColour(int red, int green, int blue);
    // Commands 6, 7, 8: one channel of the colour; false (nothing sent) while no helper runs.
    bool SendChannel(capture::Command channel, int level);

    CaptureStatus Status() const { return status_; }
    bool HelperRunning() const;
    // The wait before the next start after a failure.
    std::chrono::milliseconds NextRetryDelay() const { return retryDelay_; }
    int Starts() const { return starts_; }

private:
    void Launch();
    void OnStarted();
    void OnReadable();
    void OnEnded();
    void HandleLine(std::string_view line);
    void SetStatus(CaptureStatus status);
    void Write(const std::string& line);
    void ScheduleRetry();

    QString program_;
    QStringList arguments_;
    CaptureEvents events_;
    QObject owner_;  // parent of the process and the timer, so they go with the link
    QPointer<QProcess> process_;
    QTimer retry_;
    std::string pending_;  // a line not yet ended
    std::array<int, 3> colour_{9, 9, 9};
    CaptureStatus status_ = CaptureStatus::Stopped;
    std::chrono::milliseconds retryDelay_ = kFirstRetry;
    std::chrono::steady_clock::time_point startedAt_{};
    bool wanted_ = false;
    bool sending_ = false;
    bool failureTold_ = false;
    int starts_ = 0;
};

}  // namespace morva::app
