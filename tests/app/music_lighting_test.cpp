// Music lighting's link to the capture helper: failures told once and retried later each time.
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/audio_capture_link.h"
#include "app/music_lighting.h"
#include "device/models/keyboard_device.h"
#include "support/pulse_server.h"
#include "ui/pages/keyboard_page.h"
#include "ui/panels/light_control.h"

#include "sim_window.h"

namespace morva::app {
namespace {

using namespace std::chrono_literals;

TEST(CaptureLink, AHelperThatCannotStartIsToldOnceAndTriedAgainLaterEachTime) {
    int told = 0;
    std::vector<CaptureStatus> seen;
    CaptureEvents events;
    events.onStatus = [&](CaptureStatus s) { seen.push_back(s); };
    events.onFirstFailure = [&] { ++told; };
    CAudioCaptureLink link(QStringLiteral("/nonexistent/morva-audio-capture"), {}, events);
    link.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.Status() == CaptureStatus::Failed; }, 5000));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(link.NextRetryDelay(), 2s) << "the first try again comes after a second";
    const std::chrono::milliseconds expected[] = {4s, 8s, 16s, 30s, 30s};
    for (const auto delay : expected) {
        const int starts = link.Starts();
        link.RetryNow();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return link.Starts() > starts && link.Status() == CaptureStatus::Failed; },
            5000));
        EXPECT_EQ(link.NextRetryDelay(), delay);
    }
    EXPECT_EQ(told, 1) << "quiet retries";
    EXPECT_FALSE(link.SendChannel(capture::Command::Red, 5)) << "nothing runs to hear it";
    link.Stop();
    EXPECT_EQ(link.Status(), CaptureStatus::Stopped);
    EXPECT_EQ(seen.front(), CaptureStatus::Starting);
}

// The helper and the program hear this server only, as a desktop session's would be.
class PulseEnvironment {
public:
    explicit PulseEnvironment(const test::PulseServer& server) {
        for (const std::string& entry : server.Environment()) {
            const std::size_t eq = entry.find('=');
            const std::string name = entry.substr(0, eq);
            if (const char* old = std::getenv(name.c_str()))
                saved_.emplace_back(name, old);
            else
                saved_.emplace_back(name, std::nullopt);
            if (eq == std::string::npos)
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), entry.c_str() + eq + 1, 1);
        }
    }
    ~PulseEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Keys of the keyboard's frame showing a colour other than the music mode's black background.
int LitKeys(const CTessaronUSBDevice& keyboard) {
    int lit = 0;
    for (int i = 0; i < keyboard.LedCount(); ++i) {
        const LedColour c = LedColour::Unpack(keyboard.GetLedColour(i));
        lit += c.alpha != 0 && (c.c0 | c.c1 | c.c2) != 0;
    }
    return lit;
}

TEST(MusicLighting, AToneOnTheDesktopLightsTheKeyboardsMusicModeAndSilenceDarkensIt) {
    if (!test::PulseServer::Available() || std::system("command -v sox paplay >/dev/null") != 0)
        GTEST_SKIP() << "pulseaudio, paplay or sox missing";
    test::PulseServer server;
    ASSERT_TRUE(server.Start()) << server.Log();
    const PulseEnvironment environment(server);
    const std::string tone = server.Folder() + "/tone.wav";
    // A tone swelling three times a second: music changes, and only change lights the bars.
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 '" + tone +
                           "' synth 6 sine 1000 tremolo 3 100 2>/dev/null")
                              .c_str()),
              0);

    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({sim::Link::Keyboard}));
    ASSERT_TRUE(sim.ConnectKeyboard());
    CTessaronUSBDevice& keyboard = sim.devices->PageOfKind(kKindKeyboard)->Model();
    LightInfo light = keyboard.LightState();
    light.selectItem = 29;
    light.light = 4;
    ASSERT_TRUE(keyboard.ChangeLight(light, true).Ok());

    int told = 0;
    CMusicLighting music(
        *sim.devices, [&] { ++told; }, QStringLiteral(MORVA_AUDIO_CAPTURE));
    music.Start();
    EXPECT_TRUE(music.Listening()) << "the keyboard's mode follows the music";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return music.Link().Status() == CaptureStatus::Running; }, 10000));
    ui::CLightControlUI* panel = sim.devices->PageOfKind(kKindKeyboard)->LightPanel();
    EXPECT_FALSE(panel->ShowsMusicWaiting());

    test::ChildProcess player;
    test::ChildProcess::Options quiet;
    quiet.pipeStdin = quiet.pipeStdout = false;
    ASSERT_TRUE(
        player.Start({"paplay", std::string("--device=") + test::PulseServer::kSink, tone}, quiet));
    // 1 kHz is band 13 of the 25 (40 Hz to 16 kHz on a log scale, five values a band).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const MusicBandValues& m = music.Bands().Means();
            return m[13] > 50 && m[13] == *std::max_element(m.begin(), m.end());
        },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return LitKeys(keyboard) > 0; }, 5000))
        << "the keyboard's frame follows the tone";
    EXPECT_EQ(told, 0);

    player.Kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return LitKeys(keyboard) == 0; }, 10000))
        << "silence gives dark bars";

    // The server goes: the panel says music waits for audio; it comes back: the note goes.
    server.Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->ShowsMusicWaiting(); }, 10000));
    ASSERT_TRUE(server.Start()) << server.Log();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel->ShowsMusicWaiting(); }, 15000));
    EXPECT_EQ(told, 0) << "the helper itself never ended";
    EXPECT_EQ(music.Link().Starts(), 1);

    // No device follows the music any more: the helper is told to stop sending.
    light.selectItem = 6;
    ASSERT_TRUE(keyboard.ChangeLight(light, true).Ok());
    music.Refresh();
    EXPECT_FALSE(music.Listening());
    EXPECT_FALSE(panel->ShowsMusicWaiting());
    music.Stop();
}

}  // namespace
}  // namespace morva::app
