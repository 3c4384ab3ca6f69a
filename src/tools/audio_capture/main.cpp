// morva-audio-capture: listens to what the desktop plays (or to a WAV file) and writes
// spectrum and level blocks on stdout for the program; commands come on stdin
// (base/capture_protocol.h).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "tools/audio_capture/capture_helper.h"
#include "tools/audio_capture/sources.h"
#include "tools/audio_capture/wav_reader.h"

namespace {

constexpr const char* kUsage =
    "usage: morva-audio-capture [--device NAME] | --file WAV [--fast]\n"
    "  --device NAME  PulseAudio source to record (default: $MORVA_CAPTURE_DEVICE,\n"
    "                 else @DEFAULT_MONITOR@, what the default output plays)\n"
    "  --file WAV     read a 16-bit or float PCM WAV instead, in real time\n"
    "  --fast         with --file: as fast as possible\n";

int Usage(const char* problem) {
    if (problem)
        std::fprintf(stderr, "morva-audio-capture: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace morva::capture;
    std::string device;
    std::string file;
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--device" || arg == "--file") && i + 1 < argc) {
            (arg == "--device" ? device : file) = argv[++i];
        } else if (arg == "--fast") {
            fast = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            return Usage(("unknown or incomplete option " + std::string(arg)).c_str());
        }
    }
    if (fast && file.empty())
        return Usage("--fast needs --file");
    if (!device.empty() && !file.empty())
        return Usage("--device and --file exclude each other");

    // A closed stdout shows up as a failed write, which ends the helper.
    ::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<ISource> source;
    HelperOptions options;
    if (!file.empty()) {
        std::string error;
        auto reader = CWavReader::Open(file, error);
        if (!reader) {
            std::fprintf(stderr, "morva-audio-capture: %s\n", error.c_str());
            return 2;
        }
        source = std::make_unique<CFileSource>(std::move(*reader));
        options.fileMode = true;
        options.paced = !fast;
    } else {
        if (device.empty()) {
            const char* env = std::getenv("MORVA_CAPTURE_DEVICE");
            device = env && *env ? env : "@DEFAULT_MONITOR@";
        }
        source = std::make_unique<CPulseSource>(device);
    }
    CCaptureHelper helper(*source, STDIN_FILENO, STDOUT_FILENO, options);
    return helper.Run();
}
