#include "app/ipc_endpoint.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace morva::app {

namespace {
constexpr int kConnectTimeoutMs = 1000;
constexpr qint64 kMaxReadPerEvent = 256 * 1024;  // keep one chatty client from starving the UI
constexpr int kMaxAcceptsPerEvent = 64;          // the same for a flood of connections
}  // namespace

CIpcEndpoint::CIpcEndpoint(QString socketPath, QObject* parent,
                           std::chrono::milliseconds idleTimeout)
    : QObject(parent), path_(std::move(socketPath)), idleTimeout_(idleTimeout) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // QLocalServer closes its socket and deletes the file when an accept fails (as it does
    // once descriptors run out), which would hand the single instance to the next start. So
    // it only listens, and this class accepts: with no pending slots it never accepts itself.
    server_.setMaxPendingConnections(0);
    acceptRetry_.setSingleShot(true);
    acceptRetry_.setInterval(kAcceptRetry);
    connect(&acceptRetry_, &QTimer::timeout, this, [this] {
        if (acceptNotifier_)
            acceptNotifier_->setEnabled(true);
    });
}

CIpcEndpoint::~CIpcEndpoint() {
    acceptNotifier_.reset();  // before the descriptor it watches is closed
    if (server_.isListening()) {
        server_.close();
        QLocalServer::removeServer(path_);
    }
}

bool CIpcEndpoint::Activate(bool wantAnswer) const {
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (!probe.waitForConnected(kConnectTimeoutMs))
        return false;
    ipc::Message activate;
    activate.msg = ipc::kMsgActivateInstance;
    activate.lParam = 1;
    std::string lines = ipc::Encode(activate);
    if (wantAnswer) {
        ipc::Message query;
        query.msg = ipc::kMsgAppStatusQuery;
        lines += ipc::Encode(query);
    }
    probe.write(lines.data(), static_cast<qint64>(lines.size()));
    probe.waitForBytesWritten(kConnectTimeoutMs);
    bool answered = !wantAnswer;
    QByteArray got;
    QElapsedTimer waited;
    waited.start();
    while (!answered && waited.elapsed() < kConnectTimeoutMs &&
           probe.waitForReadyRead(static_cast<int>(kConnectTimeoutMs - waited.elapsed()))) {
        got += probe.readAll();
        for (const QByteArray& line : got.split('\n')) {
            const std::optional<ipc::Message> m = ipc::Decode(line.toStdString());
            answered |= m && m->msg == ipc::kMsgAppStatusReport;
        }
    }
    probe.disconnectFromServer();
    return answered;
}

CIpcEndpoint::Claim CIpcEndpoint::ClaimInstance() {
    if (path_.isEmpty()) {
        error_ = QStringLiteral("no socket path");
        return Claim::Failed;
    }
    // The lock beside the socket decides who runs: flock is atomic where connecting and then
    // binding is not, and the kernel lets go of it however the holder ends.
    const QByteArray lockPath = QFile::encodeName(path_ + QStringLiteral(".lock"));
    lock_.Reset(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_) {
        error_ =
            QStringLiteral("cannot open %1: %2")
                .arg(QFile::decodeName(lockPath), QString::fromLocal8Bit(std::strerror(errno)));
        return Claim::Failed;
    }
    if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        lock_.Reset();
        if (why == EWOULDBLOCK) {
            // Running, even if it has no socket to be reached on.
            (void)Activate(false);
            return Claim::AlreadyRunning;
        }
        error_ = QStringLiteral("cannot lock %1: %2")
                     .arg(QFile::decodeName(lockPath), QString::fromLocal8Bit(std::strerror(why)));
        return Claim::Failed;
    }
    struct stat st {};
    const QByteArray socketPath = QFile::encodeName(path_);
    if (::lstat(socketPath.constData(), &st) == 0) {
        // Not ours to delete: the instance guard holds through the lock meanwhile.
        if (S_ISDIR(st.st_mode)) {
            error_ = path_ + QStringLiteral(" is a folder, not the program's socket; move it away");
            return Claim::Failed;
        }
        if (!S_ISSOCK(st.st_mode)) {
            error_ = path_ + QStringLiteral(" is not a socket (it is left as it is; move it away)");
            return Claim::Failed;
        }
        // With the lock ours, a listener there is an instance that takes no lock; one that
        // does not answer within the limit is not taken for a running program.
        if (Activate(true)) {
            lock_.Reset();
            return Claim::AlreadyRunning;
        }
        QLocalServer::removeServer(path_);
    }
    if (!server_.listen(path_)) {
        error_ = server_.errorString();
        return Claim::Failed;
    }
    const auto listener = static_cast<int>(server_.socketDescriptor());
    // A wake-up without a connection (the client gave up) must not block the UI in accept.
    ::fcntl(listener, F_SETFL, ::fcntl(listener, F_GETFL) | O_NONBLOCK);
    acceptNotifier_ = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
    connect(acceptNotifier_.get(), &QSocketNotifier::activated, this, &CIpcEndpoint::OnAcceptReady);
    return Claim::First;
}

void CIpcEndpoint::OnAcceptReady() {
    const auto listener = static_cast<int>(server_.socketDescriptor());
    for (int n = 0; n < kMaxAcceptsPerEvent; ++n) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of descriptors or memory: the socket stays readable, so wait rather
                // than spin; the waiting connections stay queued.
                acceptNotifier_->setEnabled(false);
                acceptRetry_.start();
            }
            return;
        }
        // A full house makes room: the client quiet the longest goes, so a new query (a
        // status check) is always served.
        if (ClientCount() >= kMaxClients)
            DropClient(QuietestClient());
        AddClient(fd);
    }
}

void CIpcEndpoint::AddClient(int fd) {
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        return;
    }
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleTimeout_);
    connect(idle, &QTimer::timeout, this, [this, socket] { DropClient(socket); });
    idle->start();
    clients_.emplace(socket, Client{ipc::LineSplitter(), idle, ++heardCount_});
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { DropClient(socket); });
}

QLocalSocket* CIpcEndpoint::QuietestClient() const {
    const auto quietest = std::min_element(
        clients_.begin(), clients_.end(),
        [](const auto& a, const auto& b) { return a.second.heard < b.second.heard; });
    return quietest == clients_.end() ? nullptr : quietest->first;
}

void CIpcEndpoint::DropClient(QLocalSocket* socket) {
    if (clients_.erase(socket) == 0)
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void CIpcEndpoint::OnReadyRead(QLocalSocket* socket) {
    const auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    const QByteArray bytes = socket->read(kMaxReadPerEvent);
    std::vector<ipc::Message> messages;
    it->second.splitter.Feed(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        [&](std::string_view line) {
            if (auto m = ipc::Decode(line))
                messages.push_back(std::move(*m));
        });
    if (!messages.empty()) {
        it->second.idle->start();
        it->second.heard = ++heardCount_;
    }
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

bool CIpcEndpoint::Send(QLocalSocket* socket, const std::string& line) {
    // A client that asks and never reads would make its answers pile up here for ever.
    if (socket->bytesToWrite() + static_cast<qint64>(line.size()) > kMaxPendingBytes)
        return false;
    socket->write(line.data(), static_cast<qint64>(line.size()));
    return true;
}

void CIpcEndpoint::Broadcast(const ipc::Message& message) {
    const std::string line = ipc::Encode(message);
    std::vector<QLocalSocket*> deaf;
    for (auto& [socket, client] : clients_) {
        if (!Send(socket, line))
            deaf.push_back(socket);
    }
    for (QLocalSocket* socket : deaf)
        DropClient(socket);
}

void CIpcEndpoint::Reply(QLocalSocket* connection, const ipc::Message& message) {
    if (connection == nullptr || clients_.find(connection) == clients_.end())
        return;
    if (!Send(connection, ipc::Encode(message)))
        DropClient(connection);
}

}  // namespace morva::app
