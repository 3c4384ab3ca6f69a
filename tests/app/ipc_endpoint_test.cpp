#include "app/ipc_endpoint.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>

#include "support/temp_dir.h"

namespace morva::app {
namespace {

// Runs the event loop until `done` or `limitMs` pass.
template <typename Done>
bool Pump(Done done, int limitMs = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// A client descriptor of our own, closed when it goes.
class ClientFd {
public:
    explicit ClientFd(int fd) : fd_(fd) {}
    ClientFd(ClientFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ClientFd& operator=(ClientFd&&) = delete;
    ~ClientFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

// A non-blocking connection attempt; the descriptor is kept even when the server's queue is
// full. Invalid once the process has no descriptor left.
ClientFd ConnectRaw(const std::string& path) {
    ClientFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() >= 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    return fd;
}

bool ClosedByPeer(const ClientFd& fd) {
    pollfd p{fd.Get(), POLLIN, 0};
    char byte = 0;
    return ::poll(&p, 1, 0) == 1 && ::recv(fd.Get(), &byte, 1, MSG_DONTWAIT) == 0;
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

// Lowers the soft descriptor limit for as long as it lives.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
};

class IpcEndpointTest : public ::testing::Test {
protected:
    QString Path() const { return QString::fromStdString(dir_.File("app.sock")); }

    // Answers status queries as the main window does.
    static void AnswerStatus(CIpcEndpoint& endpoint) {
        QObject::connect(&endpoint, &CIpcEndpoint::MessageReceived,
                         [&endpoint](const ipc::Message& m, QLocalSocket* connection) {
                             if (m.msg != ipc::kMsgAppStatusQuery)
                                 return;
                             ipc::Message report;
                             report.msg = ipc::kMsgAppStatusReport;
                             endpoint.Reply(connection, report);
                         });
    }

    // What `morvactl app status` asks, on a fresh connection.
    bool StatusAnswered() const {
        QLocalSocket client;
        client.connectToServer(Path());
        if (!client.waitForConnected(1000))
            return false;
        ipc::Message query;
        query.msg = ipc::kMsgAppStatusQuery;
        const std::string line = ipc::Encode(query);
        client.write(line.data(), static_cast<qint64>(line.size()));
        QByteArray got;
        Pump([&] {
            got += client.readAll();
            return got.contains('\n') || client.state() != QLocalSocket::ConnectedState;
        });
        const auto answer = ipc::Decode(got.left(got.indexOf('\n')).toStdString());
        return answer && answer->msg == ipc::kMsgAppStatusReport;
    }

    test::TempDir dir_;
};

TEST_F(IpcEndpointTest, SecondInstanceActivatesTheFirst) {
    CIpcEndpoint first(Path());
    ASSERT_EQ(first.ClaimInstance(), CIpcEndpoint::Claim::First) << first.Error().toStdString();
    std::vector<ipc::Message> received;
    QObject::connect(&first, &CIpcEndpoint::MessageReceived,
                     [&](const ipc::Message& m, QLocalSocket*) { received.push_back(m); });

    struct stat st {};
    ASSERT_EQ(stat(dir_.File("app.sock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the socket is for this user alone";

    CIpcEndpoint second(Path());
    EXPECT_EQ(second.ClaimInstance(), CIpcEndpoint::Claim::AlreadyRunning);
    ASSERT_TRUE(Pump([&] { return !received.empty(); }));
    EXPECT_EQ(received[0].msg, ipc::kMsgActivateInstance);
    EXPECT_EQ(received[0].wParam, 0);
    EXPECT_EQ(received[0].lParam, 1);
}

TEST_F(IpcEndpointTest, StaleSocketIsReplaced) {
    // A socket file nobody listens on any more, as a crashed instance leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir_.File("app.sock").c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    CIpcEndpoint endpoint(Path());
    EXPECT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First);
}

TEST_F(IpcEndpointTest, TheLockDecidesWhoRunsAndOnlyADeadSocketIsEverRemoved) {
    const std::string socket = dir_.File("app.sock");
    {
        // The first's socket file is not there (yet, or any more): the second still sees it.
        CIpcEndpoint first(Path());
        ASSERT_EQ(first.ClaimInstance(), CIpcEndpoint::Claim::First);
        ASSERT_EQ(::unlink(socket.c_str()), 0);
        CIpcEndpoint second(Path());
        EXPECT_EQ(second.ClaimInstance(), CIpcEndpoint::Claim::AlreadyRunning);
    }

    // Whatever else is at the path is left alone, and the instance guard holds meanwhile.
    const struct {
        const char* what;
        std::function<void()> make;
        const char* reason;
    } occupied[] = {
        {"a file", [&] { dir_.Write("app.sock", "keep me"); }, "is not a socket"},
        {"a folder", [&] { std::filesystem::create_directory(socket); }, "is a folder"},
    };
    for (const auto& c : occupied) {
        SCOPED_TRACE(c.what);
        c.make();
        CIpcEndpoint endpoint(Path());
        EXPECT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::Failed);
        EXPECT_TRUE(endpoint.Error().contains(QLatin1String(c.reason)))
            << endpoint.Error().toStdString();
        CIpcEndpoint second(Path());
        EXPECT_EQ(second.ClaimInstance(), CIpcEndpoint::Claim::AlreadyRunning);
        EXPECT_TRUE(std::filesystem::exists(socket));
        std::filesystem::remove_all(socket);
    }
    EXPECT_FALSE(std::filesystem::exists(socket));

    // A listener that takes connections but never answers is not a running instance.
    const ClientFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 4), 0);
    QElapsedTimer took;
    took.start();
    CIpcEndpoint endpoint(Path());
    EXPECT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First)
        << endpoint.Error().toStdString();
    EXPECT_LT(took.elapsed(), 3000);
    AnswerStatus(endpoint);
    EXPECT_TRUE(StatusAnswered());
}

TEST_F(IpcEndpointTest, MalformedInputIsIgnoredAndTheConnectionGoesOn) {
    CIpcEndpoint endpoint(Path());
    ASSERT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First);
    std::vector<ipc::Message> received;
    QLocalSocket* from = nullptr;
    QObject::connect(&endpoint, &CIpcEndpoint::MessageReceived,
                     [&](const ipc::Message& m, QLocalSocket* c) {
                         received.push_back(m);
                         from = c;
                     });

    QLocalSocket client;
    client.connectToServer(Path());
    ASSERT_TRUE(client.waitForConnected(1000));
    const QByteArray garbage =
        "not json\n{\"msg\":\n\x01\x02\xff\n[1,2,3]\n{\"msg\":\"x\",\"wParam\":\"y\"}\n";
    const QByteArray huge =
        "{\"msg\":\"big\",\"pad\":\"" + QByteArray(ipc::kMaxLineBytes * 2, 'a') + "\"}\n";
    client.write(garbage);
    client.write(huge);
    client.write("{\"msg\":\"MsgLightControlRequest\",\"wParam\":1,\"lParam\":0}\n");
    client.write("{\"msg\":\"trunc");  // never finished
    ASSERT_TRUE(Pump([&] { return !received.empty(); }));
    Pump([] { return false; }, 200);  // let everything arrive
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, ipc::kMsgLightControlRequest);
    EXPECT_EQ(received[0].wParam, 1);

    // Queries are answered on their own connection; notices reach every client.
    ipc::Message answer;
    answer.msg = "status";
    endpoint.Reply(from, answer);
    ipc::Message notice;
    notice.msg = ipc::kMsgLightControlNotice;
    notice.wParam = 1;
    endpoint.Broadcast(notice);
    QByteArray got;
    ASSERT_TRUE(Pump([&] {
        got += client.readAll();
        return got.count('\n') >= 2;
    }));
    const QList<QByteArray> lines = got.split('\n');
    EXPECT_EQ(ipc::Decode(lines[0].toStdString())->msg, "status");
    EXPECT_EQ(ipc::Decode(lines[1].toStdString())->msg, ipc::kMsgLightControlNotice);
}

TEST_F(IpcEndpointTest, ManyClientsAndNoDescriptorsLeftNeverCostTheSocket) {
    CIpcEndpoint endpoint(Path());
    ASSERT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First);
    AnswerStatus(endpoint);
    const std::string path = dir_.File("app.sock");

    // Far more clients than are served at once: each one beyond the limit pushes out the
    // one quiet the longest, and a status query still gets through.
    std::vector<ClientFd> clients;
    for (int i = 0; i < 3 * CIpcEndpoint::kMaxClients; ++i) {
        clients.push_back(ConnectRaw(path));
        const int pushedOut = i - CIpcEndpoint::kMaxClients;
        ASSERT_TRUE(Pump([&] {
            return pushedOut < 0 ? endpoint.ClientCount() == i + 1
                                 : ClosedByPeer(clients[static_cast<std::size_t>(pushedOut)]);
        })) << "client "
            << i;
    }
    EXPECT_EQ(endpoint.ClientCount(), CIpcEndpoint::kMaxClients);
    EXPECT_TRUE(Pump([&] { return StatusAnswered(); }, 2000)) << "with every place taken";

    {
        // Every descriptor used up while connections wait: accepting them has to fail.
        const DescriptorLimit limit(static_cast<rlim_t>(OpenDescriptors() + 40));
        std::vector<ClientFd> filler;
        for (;;) {
            ClientFd fd = ConnectRaw(path);
            if (fd.Get() < 0)
                break;
            filler.push_back(std::move(fd));
        }
        ASSERT_EQ(errno, EMFILE);
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }
    clients.clear();

    EXPECT_TRUE(endpoint.IsListening());
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0) << "the socket file stays";
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    // Connections still queued from the flood may take the places first; a later try is served.
    EXPECT_TRUE(Pump([&] { return StatusAnswered(); }, 5000));
    CIpcEndpoint second(Path());
    EXPECT_EQ(second.ClaimInstance(), CIpcEndpoint::Claim::AlreadyRunning);
}

TEST_F(IpcEndpointTest, AClientThatAsksAndNeverReadsIsDroppedBeforeItsAnswersPileUp) {
    CIpcEndpoint endpoint(Path());
    ASSERT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First);
    AnswerStatus(endpoint);
    ipc::Message query;
    query.msg = ipc::kMsgAppStatusQuery;
    std::string queries;
    while (queries.size() < 4u << 20)
        queries += ipc::Encode(query);
    const ClientFd deaf = ConnectRaw(Path().toStdString());
    std::size_t sent = 0;
    ASSERT_TRUE(Pump(
        [&] {
            const ssize_t n = ::send(deaf.Get(), queries.data() + sent, queries.size() - sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += static_cast<std::size_t>(n);
            return n < 0 && errno != EAGAIN;  // the program hung up
        },
        10000));
    EXPECT_LT(sent, queries.size());
    Pump([&] { return endpoint.ClientCount() == 0; });
    EXPECT_EQ(endpoint.ClientCount(), 0);
    EXPECT_TRUE(StatusAnswered());
}

TEST_F(IpcEndpointTest, AQuietClientIsDropped) {
    CIpcEndpoint endpoint(Path(), nullptr, std::chrono::milliseconds(50));
    ASSERT_EQ(endpoint.ClaimInstance(), CIpcEndpoint::Claim::First);
    QLocalSocket quiet;
    quiet.connectToServer(Path());
    ASSERT_TRUE(quiet.waitForConnected(1000));
    ASSERT_TRUE(Pump([&] { return endpoint.ClientCount() == 1; }));
    EXPECT_TRUE(Pump([&] { return quiet.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(endpoint.ClientCount(), 0);
}

}  // namespace
}  // namespace morva::app

// The window tests need a QApplication; without a display they run offscreen. The platform is
// chosen before the application exists, also when the build lists the tests.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
