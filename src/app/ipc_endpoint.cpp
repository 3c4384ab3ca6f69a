#include "app/ipc_endpoint.h"

#include <QLocalSocket>

namespace morva::app {

namespace {
constexpr int kConnectTimeoutMs = 1000;
constexpr qint64 kMaxReadPerEvent = 256 * 1024;  // keep one chatty client from starving the UI
}  // namespace

CIpcEndpoint::CIpcEndpoint(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &CIpcEndpoint::OnNewConnection);
}

CIpcEndpoint::~CIpcEndpoint() {
    if (server_.isListening()) {
        server_.close();
        QLocalServer::removeServer(path_);
    }
}

CIpcEndpoint::Claim CIpcEndpoint::ClaimInstance() {
    if (path_.isEmpty()) {
        error_ = QStringLiteral("no socket path");
        return Claim::Failed;
    }
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (probe.waitForConnected(kConnectTimeoutMs)) {
        ipc::Message activate;
        activate.msg = ipc::kMsgActivateInstance;
        activate.lParam = 1;
        const std::string line = ipc::Encode(activate);
        probe.write(line.data(), static_cast<qint64>(line.size()));
        probe.waitForBytesWritten(kConnectTimeoutMs);
        probe.disconnectFromServer();
        return Claim::AlreadyRunning;
    }
    // Only a socket nobody answers on may be removed: a live one belongs to a running instance.
    if (probe.error() == QLocalSocket::ConnectionRefusedError)
        QLocalServer::removeServer(path_);
    if (!server_.listen(path_)) {
        error_ = server_.errorString();
        return Claim::Failed;
    }
    return Claim::First;
}

void CIpcEndpoint::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        clients_.emplace(socket, ipc::LineSplitter());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            clients_.erase(socket);
            socket->deleteLater();
        });
    }
}

void CIpcEndpoint::OnReadyRead(QLocalSocket* socket) {
    const auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    const QByteArray bytes = socket->read(kMaxReadPerEvent);
    std::vector<ipc::Message> messages;
    it->second.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                    [&](std::string_view line) {
                        if (auto m = ipc::Decode(line))
                            messages.push_back(std::move(*m));
                    });
    const QPointer<QLocalSocket> alive(socket);
    for (const ipc::Message& m : messages)
        emit MessageReceived(m, alive);
    if (alive && alive->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(
            this,
            [this, alive] {
                if (alive)
                    OnReadyRead(alive);
            },
            Qt::QueuedConnection);
    }
}

void CIpcEndpoint::Broadcast(const ipc::Message& message) {
    const std::string line = ipc::Encode(message);
    for (auto& [socket, splitter] : clients_) {
        socket->write(line.data(), static_cast<qint64>(line.size()));
    }
}

void CIpcEndpoint::Reply(QLocalSocket* connection, const ipc::Message& message) {
    if (connection == nullptr || clients_.find(connection) == clients_.end())
        return;
    const std::string line = ipc::Encode(message);
    connection->write(line.data(), static_cast<qint64>(line.size()));
}

}  // namespace morva::app
