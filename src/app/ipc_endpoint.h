// The program's end of the per-user local socket: single instance, activation by a second
// start, messages from other local programs, notices to every connected client.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

#include "base/ipc_protocol.h"
#include "platform/hidraw/unique_fd.h"

class QLocalSocket;
class QSocketNotifier;

namespace morva::app {

class CIpcEndpoint : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,           // this process serves the socket now
        AlreadyRunning,  // another instance answered and was asked to come to the front
        Failed,          // no socket could be had; see Error()
    };

    // Connections beyond this are accepted and closed at once, so stuck or runaway clients
    // cannot use up the process's file descriptors.
    static constexpr int kMaxClients = 32;
    // A client that sends no message for this long is dropped.
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};
    // A client with this much of its answers and notices still unsent is dropped.
    static constexpr qint64 kMaxPendingBytes = 1 << 20;
    // After an accept failed for want of descriptors, the pause before the next try.
    static constexpr std::chrono::milliseconds kAcceptRetry{200};

    explicit CIpcEndpoint(QString socketPath, QObject* parent = nullptr,
                          std::chrono::milliseconds idleTimeout = kIdleTimeout);
    ~CIpcEndpoint() override;

    // Takes the lock file beside the socket ("<path>.lock", held until the endpoint goes):
    // when another process holds it, that instance runs, and it is sent `MsgActivateInstance`
    // (wParam 0, lParam 1). Otherwise listens, reachable by this user alone, after removing a
    // socket file whose listener does not answer a status query within a second; anything
    // else at the path is left alone (Failed, the lock still held).
    Claim ClaimInstance();
    const QString& Error() const { return error_; }
    bool IsListening() const { return server_.isListening(); }

    // Sends a message to every connected client (those that do not read are dropped).
    void Broadcast(const ipc::Message& message);
    // Answers on the connection a query came in on (ignored when it has gone).
    void Reply(QLocalSocket* connection, const ipc::Message& message);
    int ClientCount() const { return static_cast<int>(clients_.size()); }

signals:
    // A well-formed line; malformed, oversized and truncated ones are dropped silently.
    void MessageReceived(const morva::ipc::Message& message, QLocalSocket* connection);

private:
    struct Client {
        ipc::LineSplitter splitter;
        QTimer* idle = nullptr;   // owned by the socket
        std::uint64_t heard = 0;  // when the client last arrived or sent a message, in order
    };

    // Sends the instance at the socket `MsgActivateInstance` (and a status query when
    // `wantAnswer`); true when it connected (and answered).
    bool Activate(bool wantAnswer) const;
    // Queues `line` for the client; false when that would pass kMaxPendingBytes.
    static bool Send(QLocalSocket* socket, const std::string& line);
    void OnAcceptReady();
    void AddClient(int fd);
    void DropClient(QLocalSocket* socket);
    QLocalSocket* QuietestClient() const;
    void OnReadyRead(QLocalSocket* socket);

    QString path_;
    QString error_;
    hid::UniqueFd lock_;
    std::chrono::milliseconds idleTimeout_;
    // Owns the listening socket and its file; its own accepting stays off (see ClaimInstance).
    QLocalServer server_;
    std::unique_ptr<QSocketNotifier> acceptNotifier_;
    QTimer acceptRetry_;
    std::map<QLocalSocket*, Client> clients_;
    std::uint64_t heardCount_ = 0;
};

}  // namespace morva::app
