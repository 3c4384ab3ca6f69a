#include "tools/audio_capture/wav_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace morva::capture {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kBufferFrames = 4096;

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string ChunkName(const unsigned char* p) {
    std::string name;
    for (int i = 0; i < 4; ++i)
        name += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
    return "'" + name + "'";
}

bool ReadAt(std::ifstream& file, std::uint64_t offset, unsigned char* out, std::size_t count) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return file.gcount() == static_cast<std::streamsize>(count);
}

}  // namespace

std::optional<CWavReader> CWavReader::Open(const std::filesystem::path& path, std::string& error) {
    std::error_code ec;
    const std::uint64_t fileSize = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot read " + path.string() + ": " + ec.message();
        return std::nullopt;
    }
    CWavReader reader;
    reader.file_.open(path, std::ios::binary);
    if (!reader.file_) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    auto fail = [&](const std::string& why) {
        error = path.string() + ": " + why;
        return std::nullopt;
    };

    std::array<unsigned char, 12> riff{};
    if (fileSize < riff.size() || !ReadAt(reader.file_, 0, riff.data(), riff.size()))
        return fail("too short for a RIFF header");
    if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
        return fail("not a RIFF WAVE file");
    // A RIFF size beyond the file is a cut file: the chunk walk then names the chunk cut short.
    const std::uint64_t end = std::min<std::uint64_t>(fileSize, 8ull + Le32(riff.data() + 4));

    bool haveFormat = false;
    std::uint16_t format = 0;
    std::uint16_t bits = 0;
    std::uint16_t blockAlign = 0;
    std::uint64_t pos = riff.size();
    while (true) {
        if (pos + 8 > end)
            return fail(haveFormat ? "no data chunk" : "no fmt chunk");
        std::array<unsigned char, 8> header{};
        if (!ReadAt(reader.file_, pos, header.data(), header.size()))
            return fail("read error at offset " + std::to_string(pos));
        const std::uint64_t size = Le32(header.data() + 4);
        const std::uint64_t body = pos + 8;
        if (size > end - body) {
            return fail("chunk " + ChunkName(header.data()) + " at offset " + std::to_string(pos) +
                        " claims " + std::to_string(size) + " bytes, only " +
                        std::to_string(end - body) + " left (truncated file?)");
        }
        if (std::memcmp(header.data(), "fmt ", 4) == 0) {
            if (size < 16)
                return fail("fmt chunk of " + std::to_string(size) + " bytes, needs 16");
            std::array<unsigned char, 40> fmt{};
            const std::size_t take = std::min<std::size_t>(size, fmt.size());
            if (!ReadAt(reader.file_, body, fmt.data(), take))
                return fail("read error in the fmt chunk");
            format = Le16(fmt.data());
            if (format == kFormatExtensible) {
                if (take < 26)
                    return fail("extensible fmt chunk too short for its sub-format");
                format = Le16(fmt.data() + 24);
            }
            reader.channels_ = Le16(fmt.data() + 2);
            reader.rate_ =
                static_cast<int>(std::min<std::uint32_t>(Le32(fmt.data() + 4), 1u << 30));
            blockAlign = Le16(fmt.data() + 12);
            bits = Le16(fmt.data() + 14);
            haveFormat = true;
        } else if (std::memcmp(header.data(), "data", 4) == 0) {
            if (!haveFormat)
                return fail("data chunk before the fmt chunk");
            if (!((format == kFormatPcm && bits == 16) || (format == kFormatFloat && bits == 32)))
                return fail("format " + std::to_string(format) + " with " + std::to_string(bits) +
                            " bits; only 16-bit PCM and 32-bit float are read");
            if (reader.channels_ != 1 && reader.channels_ != 2)
                return fail(std::to_string(reader.channels_) + " channels; only 1 or 2 are read");
            if (reader.rate_ < 8000 || reader.rate_ > 384000)
                return fail("sample rate " + std::to_string(reader.rate_) + " Hz out of range");
            reader.frameBytes_ = reader.channels_ * bits / 8;
            if (blockAlign != reader.frameBytes_)
                return fail("block align " + std::to_string(blockAlign) + ", expected " +
                            std::to_string(reader.frameBytes_));
            if (size % reader.frameBytes_ != 0)
                return fail("data chunk is not a whole number of frames");
            reader.isFloat_ = format == kFormatFloat;
            reader.frames_ = reader.framesLeft_ = size / reader.frameBytes_;
            reader.buffer_.resize(kBufferFrames * reader.frameBytes_);
            reader.file_.clear();
            reader.file_.seekg(static_cast<std::streamoff>(body));
            return reader;
        }
        pos = body + size + (size & 1);  // chunks are padded to even sizes
    }
}

std::size_t CWavReader::Read(std::span<float> out) {
    const std::size_t frames =
        static_cast<std::size_t>(std::min<std::uint64_t>({out.size(), framesLeft_, kBufferFrames}));
    if (frames == 0)
        return 0;
    file_.read(reinterpret_cast<char*>(buffer_.data()),
               static_cast<std::streamsize>(frames * frameBytes_));
    const std::size_t got = static_cast<std::size_t>(file_.gcount()) / frameBytes_;
    if (got < frames) {
        failed_ = true;
        framesLeft_ = 0;
    } else {
        framesLeft_ -= got;
    }
    const unsigned char* p = buffer_.data();
    for (std::size_t i = 0; i < got; ++i) {
        float sum = 0.f;
        for (int c = 0; c < channels_; ++c) {
            if (isFloat_) {
                const float v = std::bit_cast<float>(Le32(p));
                sum += std::isfinite(v) ? v : 0.f;
                p += 4;
            } else {
                sum += static_cast<float>(static_cast<std::int16_t>(Le16(p))) / 32768.f;
                p += 2;
            }
        }
        out[i] = sum / static_cast<float>(channels_);
    }
    return got;
}

}  // namespace morva::capture
