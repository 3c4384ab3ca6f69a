#include "app/sleep_watcher.h"

namespace morva::app {

CSleepWatcher::CSleepWatcher(QObject* parent) : QObject(parent) {
    Watch(QDBusConnection::systemBus());
}

CSleepWatcher::CSleepWatcher(const QDBusConnection& bus, QObject* parent) : QObject(parent) {
    Watch(bus);
}

void CSleepWatcher::Watch(QDBusConnection bus) {
    if (!bus.isConnected())
        return;
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));
}

void CSleepWatcher::OnPrepareForSleep(bool start) {
    if (start) {
        emit Suspending();
    } else {
        emit Resumed();
    }
}

}  // namespace morva::app
