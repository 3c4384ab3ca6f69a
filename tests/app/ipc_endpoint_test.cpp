#include "app/ipc_endpoint.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

class IpcEndpointTest : public ::testing::Test {
protected:
    QString Path() const { return QString::fromStdString(dir_.File("app.sock")); }
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
