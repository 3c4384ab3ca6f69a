#include "app/audio_capture_link.h"

#include <algorithm>

#include "base/debug_log.h"
#include "base/install_paths.h"

namespace morva::app {

QString CaptureHelperPath() {
    return QString::fromStdString(morva::CaptureHelperPath());
}

CAudioCaptureLink::CAudioCaptureLink(QString program, QStringList arguments, CaptureEvents events)
    : program_(std::move(program)), arguments_(std::move(arguments)), events_(std::move(events)) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, &owner_, [this] { Launch(); });
}

CAudioCaptureLink::~CAudioCaptureLink() {
    events_ = {};  // the owner is going: tell it nothing more
    Stop();
}

void CAudioCaptureLink::Start() {
    if (wanted_)
        return;
    wanted_ = true;
    retryDelay_ = kFirstRetry;
    Launch();
}

void CAudioCaptureLink::Stop() {
    wanted_ = false;
    retry_.stop();
    if (process_ != nullptr) {
        QPointer<QProcess> process = process_;
        if (process->state() == QProcess::Running) {
            Write(capture::CommandLine(capture::Command::Stop));
            Write(capture::CommandLine(capture::Command::Release));
            Write(capture::CommandLine(capture::Command::Quit));
            process->closeWriteChannel();
            if (!process->waitForFinished(1000) && process != nullptr) {
                process->kill();
                process->waitForFinished(500);
            }
        }
        delete process.data();
        process_ = nullptr;
    }
    SetStatus(CaptureStatus::Stopped);
}

void CAudioCaptureLink::SetSending(bool on) {
    if (sending_ == on)
        return;
    sending_ = on;
    if (on) {
        Write(capture::CommandLine(capture::Command::Start));
    } else {
        Write(capture::CommandLine(capture::Command::Stop));
        Write(capture::CommandLine(capture::Command::Release));
    }
}

void CAudioCaptureLink::RetryNow() {
    if (wanted_ && retry_.isActive()) {
        retry_.stop();
        Launch();
    }
}

bool CAudioCaptureLink::HelperRunning() const {
    return process_ != nullptr && process_->state() == QProcess::Running;
}

void CAudioCaptureLink::SendColour(int red, int green, int blue) {
    colour_ = {std::clamp(red, 0, capture::kColourLevelMax),
               std::clamp(green, 0, capture::kColourLevelMax),
               std::clamp(blue, 0, capture::kColourLevelMax)};
    if (HelperRunning())
        Write(capture::ColourLine(colour_[0], colour_[1], colour_[2]));
}

bool CAudioCaptureLink::SendChannel(capture::Command channel, int level) {
    const int index = static_cast<int>(channel) - static_cast<int>(capture::Command::Red);
    if (index < 0 || index > 2 || !HelperRunning())
        return false;
    const int value = std::clamp(level, 0, capture::kColourLevelMax);
    colour_[static_cast<std::size_t>(index)] = value;
    Write(capture::CommandLine(channel, value));
    return true;
}

void CAudioCaptureLink::Launch() {
    if (!wanted_ || process_ != nullptr)
        return;
    ++starts_;
    pending_.clear();
    SetStatus(CaptureStatus::Starting);
    auto* process = new QProcess(&owner_);
    process_ = process;
    process->setProgram(program_);
    process->setArguments(arguments_);
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::started, &owner_, [this] { OnStarted(); });
    QObject::connect(process, &QProcess::readyReadStandardOutput, &owner_,
                     [this] { OnReadable(); });
    QObject::connect(process, &QProcess::finished, &owner_, [this] { OnEnded(); });
    QObject::connect(process, &QProcess::errorOccurred, &owner_, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            OnEnded();
    });
    startedAt_ = std::chrono::steady_clock::now();
    process->start(QIODevice::ReadWrite);
}

void CAudioCaptureLink::OnStarted() {
    Write(capture::CommandLine(capture::Command::Hello));
    Write(capture::CommandLine(capture::Command::Reset));
    Write(capture::ColourLine(colour_[0], colour_[1], colour_[2]));
    // Until some light mode follows the music the helper keeps no hold on the audio server.
    Write(capture::CommandLine(sending_ ? capture::Command::Start : capture::Command::Release));
}

void CAudioCaptureLink::OnReadable() {
    if (process_ == nullptr)
        return;
    const QByteArray bytes = process_->readAllStandardOutput();
    pending_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::size_t start = 0;
    for (std::size_t end = pending_.find('\n'); end != std::string::npos;
         end = pending_.find('\n', start)) {
        HandleLine(std::string_view(pending_).substr(start, end - start));
        start = end + 1;
    }
    pending_.erase(0, start);
    // A helper that never ends a line must not grow the buffer without bound.
    if (pending_.size() > 64 * 1024)
        pending_.clear();
}

void CAudioCaptureLink::HandleLine(std::string_view text) {
    const std::optional<capture::Line> line = capture::ParseLine(text);
    if (!line)
        return;
    switch (line->kind) {
        case capture::Line::Kind::Samples:
            if (events_.onSamples)
                events_.onSamples(line->samples);
            break;
        case capture::Line::Kind::Levels:
            if (events_.onLevels)
                events_.onLevels(line->levels);
            break;
        case capture::Line::Kind::State:
            SetStatus(line->running ? CaptureStatus::Running : CaptureStatus::Waiting);
            if (line->running)
                retryDelay_ = kFirstRetry;
            else
                DebugLog("audio capture waiting: %s\n", line->reason.c_str());
            break;
        default:
            break;
    }
}

void CAudioCaptureLink::OnEnded() {
    if (process_ == nullptr)
        return;
    process_->deleteLater();
    process_ = nullptr;
    if (!wanted_)
        return;
    const auto ran = std::chrono::steady_clock::now() - startedAt_;
    if (ran >= kRanWell)
        retryDelay_ = kFirstRetry;
    SetStatus(CaptureStatus::Failed);
    DebugLog("audio capture helper ended; next start in %lld ms\n",
             static_cast<long long>(retryDelay_.count()));
    ScheduleRetry();
    if (!failureTold_) {
        failureTold_ = true;
        if (events_.onFirstFailure)
            events_.onFirstFailure();
    }
}

void CAudioCaptureLink::ScheduleRetry() {
    if (!wanted_)
        return;
    retry_.start(retryDelay_);
    retryDelay_ = std::min(retryDelay_ * 2, kLongestRetry);
}

void CAudioCaptureLink::SetStatus(CaptureStatus status) {
    if (status_ == status)
        return;
    status_ = status;
    if (events_.onStatus)
        events_.onStatus(status);
}

void CAudioCaptureLink::Write(const std::string& line) {
    if (process_ != nullptr && process_->state() == QProcess::Running)
        process_->write(line.data(), static_cast<qint64>(line.size()));
}

}  // namespace morva::app
