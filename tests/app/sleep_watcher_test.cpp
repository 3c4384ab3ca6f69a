#include "app/sleep_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>

namespace morva::app {
namespace {

// A private message bus for the test, stopped with it.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (!daemon_.waitForStarted(3000) || !daemon_.waitForReadyRead(3000))
            return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished(3000);
    }
    QDBusConnection Connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }
    bool Running() const { return !address_.isEmpty(); }

private:
    QProcess daemon_;
    QString address_;
};

template <typename Done>
bool Pump(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(SleepWatcher, ReportsSuspendAndResumeFromLogind) {
    PrivateBus bus;
    ASSERT_TRUE(bus.Running()) << "dbus-daemon did not start";
    QDBusConnection logind = bus.Connect("fake-logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    QDBusConnection mine = bus.Connect("watcher");

    CSleepWatcher watcher(mine, nullptr);
    ASSERT_TRUE(watcher.IsWatching());
    int suspends = 0, resumes = 0;
    QObject::connect(&watcher, &CSleepWatcher::Suspending, [&] { ++suspends; });
    QObject::connect(&watcher, &CSleepWatcher::Resumed, [&] { ++resumes; });

    auto emitSleep = [&](bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << start;
        ASSERT_TRUE(logind.send(signal));
    };
    emitSleep(true);
    ASSERT_TRUE(Pump([&] { return suspends == 1; }));
    emitSleep(false);
    ASSERT_TRUE(Pump([&] { return resumes == 1; }));
    EXPECT_EQ(suspends, 1);

    QDBusConnection::disconnectFromBus("fake-logind");
    QDBusConnection::disconnectFromBus("watcher");
}

TEST(SleepWatcher, WithoutABusNothingIsWatched) {
    const QDBusConnection none =
        QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none");
    CSleepWatcher watcher(none, nullptr);
    EXPECT_FALSE(watcher.IsWatching());
    QDBusConnection::disconnectFromBus("none");
}

}  // namespace
}  // namespace morva::app
