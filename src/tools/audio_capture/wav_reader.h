// PCM WAV files for the capture helper's --file mode: 16-bit integer or 32-bit float, one or
// two channels, read as mono float samples. Every chunk is checked against the file's size
// before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morva::capture {

class CWavReader {
public:
    // Nothing, and `error` saying why, when the file is not one this reads.
    static std::optional<CWavReader> Open(const std::filesystem::path& path, std::string& error);

    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    std::uint64_t Frames() const { return frames_; }

    // Up to out.size() samples, channels averaged, non-finite values as 0; 0 at the end.
    std::size_t Read(std::span<float> out);
    // The data ended before its chunk said it would (the file changed while being read).
    bool Failed() const { return failed_; }

private:
    CWavReader() = default;

    std::ifstream file_;
    int rate_ = 0;
    int channels_ = 0;
    bool isFloat_ = false;
    int frameBytes_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t framesLeft_ = 0;
    std::vector<unsigned char> buffer_;
    bool failed_ = false;
};

}  // namespace morva::capture
