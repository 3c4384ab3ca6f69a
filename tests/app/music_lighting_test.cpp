// Music lighting's link to the capture helper: failures told once and retried later each time.
#include <QTest>

#include <gtest/gtest.h>

#include "app/audio_capture_link.h"

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

}  // namespace
}  // namespace morva::app
