#include "base/capture_protocol.h"

#include <vector>

#include "base/parse_int.h"

namespace morva::capture {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

template <std::size_t N>
std::string NumbersLine(std::string_view word, const std::array<std::int32_t, N>& values) {
    std::string line(word);
    line.reserve(line.size() + N * 5 + 1);
    for (std::int32_t v : values) {
        line += ' ';
        line += std::to_string(v);
    }
    line += '\n';
    return line;
}

template <std::size_t N>
bool ReadNumbers(const std::vector<std::string_view>& words, std::array<std::int32_t, N>& out,
                 long long min, long long max) {
    if (words.size() != N + 1)
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        const auto v = ParseInt(words[i + 1], min, max);
        if (!v)
            return false;
        out[i] = static_cast<std::int32_t>(*v);
    }
    return true;
}

}  // namespace

std::string CommandLine(Command command) {
    return "command " + std::to_string(static_cast<int>(command)) + "\n";
}

std::string CommandLine(Command command, int value) {
    return "command " + std::to_string(static_cast<int>(command)) + " " + std::to_string(value) +
           "\n";
}

std::string ColourLine(int red, int green, int blue) {
    return "colour " + std::to_string(red) + " " + std::to_string(green) + " " +
           std::to_string(blue) + "\n";
}

std::string SamplesLine(const Samples& samples) {
    return NumbersLine("samples", samples);
}

std::string LevelsLine(const Levels& levels) {
    return NumbersLine("levels", levels);
}

std::string StateLine(bool running, std::string_view reason) {
    if (running)
        return "state running\n";
    std::string word(reason.empty() ? "unknown" : reason);
    for (char& c : word) {
        if (c == ' ' || c == '\n')
            c = '-';
    }
    return "state waiting " + word + "\n";
}

std::optional<Line> ParseLine(std::string_view text) {
    const std::vector<std::string_view> w = Words(text);
    Line line;
    const std::string_view word = w[0];
    if (word == "command" && (w.size() == 2 || w.size() == 3)) {
        const auto n = ParseInt(w[1], 0, 8);
        if (!n)
            return std::nullopt;
        line.kind = Line::Kind::Command;
        line.command = static_cast<Command>(*n);
        const bool takesValue = *n >= 6;
        if (takesValue != (w.size() == 3))
            return std::nullopt;
        if (takesValue) {
            const auto v = ParseInt(w[2], 0, kColourLevelMax);
            if (!v)
                return std::nullopt;
            line.value = static_cast<int>(*v);
        }
        return line;
    }
    if (word == "colour" && w.size() == 4) {
        line.kind = Line::Kind::Colour;
        for (std::size_t i = 0; i < 3; ++i) {
            const auto v = ParseInt(w[i + 1], 0, kColourLevelMax);
            if (!v)
                return std::nullopt;
            line.colour[i] = static_cast<int>(*v);
        }
        return line;
    }
    if (word == "hello" && w.size() == 2) {
        const auto v = ParseInt(w[1], 0);
        if (!v)
            return std::nullopt;
        line.kind = Line::Kind::Hello;
        line.value = static_cast<int>(*v);
        return line;
    }
    if (word == "state" && (w.size() == 2 || w.size() == 3)) {
        line.kind = Line::Kind::State;
        if (w[1] == "running" && w.size() == 2) {
            line.running = true;
            return line;
        }
        if (w[1] == "waiting" && w.size() == 3 && !w[2].empty()) {
            line.reason = std::string(w[2]);
            return line;
        }
        return std::nullopt;
    }
    if (word == "samples") {
        line.kind = Line::Kind::Samples;
        if (!ReadNumbers(w, line.samples, 0, kCaptureFullScale))
            return std::nullopt;
        return line;
    }
    if (word == "levels") {
        line.kind = Line::Kind::Levels;
        if (!ReadNumbers(w, line.levels, 0, 255))
            return std::nullopt;
        return line;
    }
    return std::nullopt;
}

}  // namespace morva::capture
