// Tells when the system is about to suspend and when it has resumed, from logind's
// PrepareForSleep signal on the system bus. Without a bus nothing is ever reported.
#pragma once

#include <QDBusConnection>
#include <QObject>

namespace morva::app {

class CSleepWatcher : public QObject {
    Q_OBJECT
public:
    explicit CSleepWatcher(QObject* parent = nullptr);
    // Watches `bus` instead of the system bus (tests use a private bus).
    CSleepWatcher(const QDBusConnection& bus, QObject* parent);

    // False when there is no bus or the signal could not be subscribed to.
    bool IsWatching() const { return watching_; }

signals:
    void Suspending();
    void Resumed();

private slots:
    void OnPrepareForSleep(bool start);

private:
    void Watch(QDBusConnection bus);
    bool watching_ = false;
};

}  // namespace morva::app
