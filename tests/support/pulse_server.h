// A private PulseAudio server for a test: its own runtime folder and home, one null sink
// ("morva_test", the default) and no way for a client to reach or spawn any other server.
// Stop and Start again keep the folder, so clients see the same address go away and come back.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace morva::test {

class PulseServer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr const char* kSink = "morva_test";

    static bool Available() {
        return std::system("command -v pulseaudio >/dev/null && command -v pactl >/dev/null") == 0;
    }

    PulseServer() {
        std::filesystem::create_directories(Runtime());
        ::chmod(Runtime().c_str(), 0700);  // the server refuses a runtime folder others can read
        std::filesystem::create_directories(dir_.path() / "config" / "pulse");
        std::ofstream(ClientConfig()) << "autospawn = no\n";
    }
    ~PulseServer() { Stop(); }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the server and waits until it answers and the null sink is the default.
    bool Start(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        Stop();
        ChildProcess::Options options;
        options.env = Environment();
        // No session bus or X display: nothing for the server to register with or launch.
        options.env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_.File("no-bus"));
        options.env.push_back("DISPLAY");
        options.pipeStdin = false;
        options.pipeStdout = false;
        options.stderrPath = LogPath();
        const std::vector<std::string> args = {
            "pulseaudio",
            "-n",
            "--daemonize=no",
            "--use-pid-file=no",
            "--exit-idle-time=-1",
            "--disallow-exit",
            "--log-target=stderr",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + Socket(),
            "-L",
            std::string("module-null-sink sink_name=") + kSink,
            "-L",
            "module-always-sink",
        };
        if (!server_.Start(args, options))
            return false;
        const auto deadline = Clock::now() + limit;
        while (!Pactl({"info"}, deadline)) {
            if (!server_.Running() || Clock::now() >= deadline) {
                Stop();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // polling interval
        }
        return Pactl({"set-default-sink", kSink}, deadline);
    }

    void Stop() {
        if (!server_.Running()) {
            server_.Kill();
            return;
        }
        server_.Signal(SIGTERM);
        if (!server_.Wait(Clock::now() + std::chrono::seconds(5)))
            server_.Kill();
        server_.Kill();
    }

    bool Running() { return server_.Running(); }

    std::string Address() const { return "unix:" + Socket(); }

    // For the processes that should talk to this server and to no other.
    std::vector<std::string> Environment() const {
        const std::string home = dir_.path().string();
        return {
            "PULSE_SERVER=" + Address(),
            "PULSE_RUNTIME_PATH=" + Runtime(),
            "XDG_RUNTIME_DIR=" + Runtime(),
            "HOME=" + home,
            "XDG_CONFIG_HOME=" + dir_.File("config"),
            "PULSE_CLIENTCONFIG=" + ClientConfig(),
            "PULSE_SINK",
            "PULSE_SOURCE",
        };
    }

    // Runs pactl against this server; true when it exits 0 before `deadline`.
    bool Pactl(const std::vector<std::string>& args, Clock::time_point deadline) const {
        std::vector<std::string> all = {"pactl"};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess::Options options;
        options.env = Environment();
        options.pipeStdin = false;
        options.pipeStdout = false;
        options.stderrPath = LogPath();
        ChildProcess pactl;
        return pactl.Start(all, options) && pactl.Wait(deadline) == 0;
    }

    // What the server and pactl wrote, for a failing test's message.
    std::string Log() const { return TempDir::Read(LogPath()); }
    std::string Folder() const { return dir_.path().string(); }

private:
    std::string Runtime() const { return dir_.File("run"); }
    std::string Socket() const { return Runtime() + "/native"; }
    std::string ClientConfig() const { return dir_.File("config/pulse/client.conf"); }
    std::string LogPath() const { return dir_.File("pulse.log"); }

    TempDir dir_;
    ChildProcess server_;
};

}  // namespace morva::test
