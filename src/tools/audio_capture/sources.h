// Where the capture helper's samples come from: the desktop's output through PulseAudio, or a
// WAV file.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/audio_capture/wav_reader.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace morva::capture {

struct SourceStatus {
    bool ok = true;
    std::string reason;  // one word for the state line
    std::string detail;  // for stderr
    bool fatal = false;  // retrying cannot help
};

class ISource {
public:
    virtual ~ISource() = default;
    virtual int SampleRate() const = 0;
    // Samples per Read: a block's worth for a file, the stream's fragment for PulseAudio.
    virtual std::size_t ChunkSize() const = 0;
    // A file is read faster than real time unless the helper paces it.
    virtual bool RealTime() const = 0;
    virtual SourceStatus Open() = 0;
    // Waits for out.size() samples; 0 with an ok status is the end of the input.
    virtual std::size_t Read(std::span<float> out, SourceStatus& status) = 0;
    virtual void Close() = 0;
};

// A record stream on PulseAudio's threaded main loop. Every fragment the server hands over is
// copied and released at once: a fragment still held when the server goes away would leave
// the library's own thread waiting for it forever (as pa_simple_read can).
class CPulseSource final : public ISource {
public:
    static constexpr int kRate = 44100;
    static constexpr int kFragmentMs = 30;

    explicit CPulseSource(std::string device);
    ~CPulseSource() override;

    int SampleRate() const override { return kRate; }
    std::size_t ChunkSize() const override { return kRate * kFragmentMs / 1000; }
    bool RealTime() const override { return true; }
    SourceStatus Open() override;
    std::size_t Read(std::span<float> out, SourceStatus& status) override;
    void Close() override;

private:
    // Called with the main loop locked.
    bool Ready() const;
    SourceStatus Failure() const;
    bool WaitFor(bool (*done)(const CPulseSource&));

    std::string device_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::vector<float> carry_;  // the part of the last fragment a read did not take
    std::size_t carryPos_ = 0;
};

// Keeps its place across Close and Open, so a release pauses the file.
class CFileSource final : public ISource {
public:
    explicit CFileSource(CWavReader reader) : reader_(std::move(reader)) {}

    int SampleRate() const override { return reader_.SampleRate(); }
    std::size_t ChunkSize() const override;
    bool RealTime() const override { return false; }
    SourceStatus Open() override { return {}; }
    std::size_t Read(std::span<float> out, SourceStatus& status) override;
    void Close() override {}

private:
    CWavReader reader_;
};

}  // namespace morva::capture
