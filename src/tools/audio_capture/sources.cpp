#include "tools/audio_capture/sources.h"

#include <pulse/error.h>
#include <pulse/pulseaudio.h>

#include <algorithm>

#include "base/capture_protocol.h"

namespace morva::capture {

namespace {

SourceStatus FailureFor(int error) {
    SourceStatus status;
    status.ok = false;
    status.detail = pa_strerror(error);
    switch (error) {
        case PA_ERR_CONNECTIONREFUSED:
        case PA_ERR_INVALIDSERVER:
        case PA_ERR_TIMEOUT:
        case PA_ERR_CONNECTIONTERMINATED:  // one state while the server is away
            status.reason = "no-server";
            break;
        case PA_ERR_NOENTITY:
            status.reason = "no-output";
            break;
        case PA_ERR_ACCESS:
        case PA_ERR_AUTHKEY:
            status.reason = "access-denied";
            break;
        default:
            status.reason = "stream-failed";
            break;
    }
    return status;
}

void Signal(void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

bool Ended(pa_context_state_t state) {
    return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

bool Ended(pa_stream_state_t state) {
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

}  // namespace

CPulseSource::CPulseSource(std::string device) : device_(std::move(device)) {
    carry_.reserve(16384);
}

CPulseSource::~CPulseSource() {
    Close();
}

bool CPulseSource::Ready() const {
    return context_ && stream_ && pa_context_get_state(context_) == PA_CONTEXT_READY &&
           pa_stream_get_state(stream_) == PA_STREAM_READY;
}

SourceStatus CPulseSource::Failure() const {
    const int error = context_ ? pa_context_errno(context_) : PA_ERR_INTERNAL;
    return FailureFor(error == PA_OK ? PA_ERR_CONNECTIONTERMINATED : error);
}

// Waits on the main loop until `done` holds or the context or stream has ended; false then.
bool CPulseSource::WaitFor(bool (*done)(const CPulseSource&)) {
    while (!done(*this)) {
        if (Ended(pa_context_get_state(context_)) ||
            (stream_ && Ended(pa_stream_get_state(stream_))))
            return false;
        pa_threaded_mainloop_wait(loop_);
    }
    return true;
}

SourceStatus CPulseSource::Open() {
    Close();
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return FailureFor(PA_ERR_INTERNAL);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "morva-audio-capture");
    if (!context_)
        return FailureFor(PA_ERR_INTERNAL);
    pa_context_set_state_callback(
        context_, [](pa_context*, void* loop) { Signal(loop); }, loop_);
    // The helper listens to a server; starting one is not its business.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0)
        return Failure();

    pa_threaded_mainloop_lock(loop_);
    SourceStatus status;
    if (!WaitFor([](const CPulseSource& s) {
            return pa_context_get_state(s.context_) == PA_CONTEXT_READY;
        })) {
        status = Failure();
    } else {
        pa_sample_spec format{};
        format.format = PA_SAMPLE_FLOAT32NE;
        format.rate = kRate;
        format.channels = 1;
        stream_ = pa_stream_new(context_, "desktop spectrum", &format, nullptr);
        if (!stream_) {
            status = Failure();
        } else {
            pa_stream_set_state_callback(
                stream_, [](pa_stream*, void* loop) { Signal(loop); }, loop_);
            pa_stream_set_read_callback(
                stream_, [](pa_stream*, std::size_t, void* loop) { Signal(loop); }, loop_);
            // Fragments of ~30 ms: data comes about as often as blocks go out.
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<std::uint32_t>(-1);
            attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
            attr.fragsize = static_cast<std::uint32_t>(ChunkSize() * sizeof(float));
            if (pa_stream_connect_record(stream_, device_.c_str(), &attr,
                                         PA_STREAM_ADJUST_LATENCY) < 0 ||
                !WaitFor([](const CPulseSource& s) {
                    return pa_stream_get_state(s.stream_) == PA_STREAM_READY;
                })) {
                status = Failure();
            }
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    if (!status.ok)
        Close();
    return status;
}

std::size_t CPulseSource::Read(std::span<float> out, SourceStatus& status) {
    status = {};
    if (!loop_) {
        status = FailureFor(PA_ERR_BADSTATE);
        return 0;
    }
    std::size_t got = std::min(out.size(), carry_.size() - carryPos_);
    std::copy_n(carry_.begin() + static_cast<std::ptrdiff_t>(carryPos_), got, out.begin());
    carryPos_ += got;

    pa_threaded_mainloop_lock(loop_);
    while (got < out.size()) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (!Ready() || pa_stream_peek(stream_, &data, &bytes) < 0) {
            status = Failure();
            break;
        }
        if (bytes == 0) {
            pa_threaded_mainloop_wait(loop_);
            continue;
        }
        // A hole (no data) counts as silence, so time keeps its pace.
        const auto* samples = static_cast<const float*>(data);
        const std::size_t frames = bytes / sizeof(float);
        const std::size_t take = std::min(frames, out.size() - got);
        if (samples)
            std::copy_n(samples, take, out.begin() + static_cast<std::ptrdiff_t>(got));
        else
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(got), take, 0.f);
        carryPos_ = 0;
        if (samples)
            carry_.assign(samples + take, samples + frames);
        else
            carry_.assign(frames - take, 0.f);
        pa_stream_drop(stream_);
        got += take;
    }
    pa_threaded_mainloop_unlock(loop_);
    return status.ok ? got : 0;
}

void CPulseSource::Close() {
    if (loop_)
        pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    if (loop_) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
    carry_.clear();
    carryPos_ = 0;
}

std::size_t CFileSource::ChunkSize() const {
    return static_cast<std::size_t>(std::max(1, reader_.SampleRate() / kCaptureBlocksPerSecond));
}

std::size_t CFileSource::Read(std::span<float> out, SourceStatus& status) {
    status = {};
    std::size_t got = 0;
    while (got < out.size()) {
        const std::size_t n = reader_.Read(out.subspan(got));
        if (n == 0)
            break;
        got += n;
    }
    if (got == 0 && reader_.Failed()) {
        status.ok = false;
        status.reason = "file-failed";
        status.detail = "the WAV data ended early";
        status.fatal = true;
    }
    return got;
}

}  // namespace morva::capture
