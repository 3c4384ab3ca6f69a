// The line protocol between the program and morva-audio-capture, its audio capture helper.
// The program starts the helper with its stdin and stdout as pipes; every message is one line
// of ASCII words separated by single spaces, ended by '\n'.
//
// Program -> helper (stdin):
//   "command N"            N = 0 hello: the helper answers "hello VERSION" and its "state";
//                          N = 3 reset the analysis (levels and history back to silence);
//                          N = 1 start sending blocks;
//                          N = 2 stop sending blocks (capture stays open);
//                          N = 4 release the audio server (capture closed until N = 1);
//                          N = 5 quit (the helper also quits when stdin closes).
//   "command N V"          N = 6, 7, 8: the style colour's red, green or blue level V (0..9).
//   "colour R G B"         the style colour, each channel a level 0..9.
//
// Helper -> program (stdout):
//   "hello VERSION"        answer to command 0.
//   "state running"        capturing from the desktop's output.
//   "state waiting REASON" no audio server or no output to listen to yet; the helper retries
//                          by itself with back-off (REASON is one word, for the log:
//                          no-server, no-output, access-denied, stream-failed; "released"
//                          after command 4). Sent when the state changes, not per retry.
//   "samples V0 ... V499"  kCaptureSamples values, 0..kCaptureFullScale: the first
//                          kCaptureSpectrumSamples are the spectrum's magnitudes from low to
//                          high frequency on a logarithmic scale, five to each of the 25 bands
//                          (band j is samples 5j..5j+4); the others are 0. About
//                          kCaptureBlocksPerSecond a second while sending.
//   "levels A B C D E F"   six values after each samples block: red, green, blue (0..255) of
//                          the style colour at the loudness, the loudness (0..255: the frame's
//                          RMS from -60 to 0 dB, a full-scale sine being 0 dB), the loudest of
//                          the 25 bands, and 0.
//
// Lines that do not parse are ignored by both sides.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morva::capture {

inline constexpr int kCaptureSamples = 500;
inline constexpr int kCaptureSpectrumSamples = 125;  // 25 bands of five
inline constexpr int kCaptureLevels = 6;
inline constexpr std::int32_t kCaptureFullScale = 8192;
inline constexpr int kCaptureBlocksPerSecond = 30;
inline constexpr int kCaptureVersion = 1;
inline constexpr int kColourLevelMax = 9;

enum class Command : int {
    Hello = 0,
    Start = 1,
    Stop = 2,
    Reset = 3,
    Release = 4,
    Quit = 5,
    Red = 6,
    Green = 7,
    Blue = 8,
};

using Samples = std::array<std::int32_t, kCaptureSamples>;
using Levels = std::array<std::int32_t, kCaptureLevels>;

// Program -> helper.
std::string CommandLine(Command command);
std::string CommandLine(Command command, int value);
std::string ColourLine(int red, int green, int blue);

// Helper -> program.
std::string SamplesLine(const Samples& samples);
std::string LevelsLine(const Levels& levels);
std::string StateLine(bool running, std::string_view reason = {});

// One parsed line of either direction; `kind` says which fields hold.
struct Line {
    enum class Kind { Command, Colour, Hello, State, Samples, Levels };
    Kind kind = Kind::Command;
    Command command = Command::Hello;
    int value = 0;  // command 6..8's level, or the hello's version
    std::array<int, 3> colour{};
    bool running = false;
    std::string reason;
    Samples samples{};
    Levels levels{};
};

// Nothing for a line that does not parse (unknown word, wrong count, out-of-range numbers).
// A trailing '\n' is allowed.
std::optional<Line> ParseLine(std::string_view line);

}  // namespace morva::capture
