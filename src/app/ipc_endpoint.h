// The program's end of the per-user local socket: single instance, activation by a second
// start, messages from other local programs, notices to every connected client.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>

#include "base/ipc_protocol.h"

class QLocalSocket;

namespace morva::app {

class CIpcEndpoint : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,           // this process serves the socket now
        AlreadyRunning,  // another instance answered and was asked to come to the front
        Failed,          // no socket could be had; see Error()
    };

    explicit CIpcEndpoint(QString socketPath, QObject* parent = nullptr);
    ~CIpcEndpoint() override;

    // Connects to a running instance first: if one answers, sends it `MsgActivateInstance`
    // (wParam 0, lParam 1). Otherwise removes a stale socket (connection refused) and listens,
    // reachable by this user alone.
    Claim ClaimInstance();
    const QString& Error() const { return error_; }

    // Sends a message to every connected client.
    void Broadcast(const ipc::Message& message);
    // Answers on the connection a query came in on (ignored when it has gone).
    void Reply(QLocalSocket* connection, const ipc::Message& message);
    int ClientCount() const { return static_cast<int>(clients_.size()); }

signals:
    // A well-formed line; malformed, oversized and truncated ones are dropped silently.
    void MessageReceived(const morva::ipc::Message& message, QLocalSocket* connection);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QString path_;
    QString error_;
    QLocalServer server_;
    std::map<QLocalSocket*, ipc::LineSplitter> clients_;
};

}  // namespace morva::app
