// The real program's socket under everything a local client can throw at it at once: lines
// over the cap, garbage, clients that ask and never read, and thousands of connections. It
// must go on answering a status query, with its memory bounded.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/ipc_protocol.h"
#include "platform/hidraw/unique_fd.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using hid::UniqueFd;

UniqueFd Connect(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    // A full listen queue refuses at once (EAGAIN): such a client never got through.
    if (fd.Get() >= 0 &&
        ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return UniqueFd();
    return fd;
}

// As much of `bytes` as the socket takes now; false when the peer has hung up.
bool SendSome(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0)
            return errno != EPIPE && errno != ECONNRESET;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string StatusQuery() {
    ipc::Message query;
    query.msg = ipc::kMsgAppStatusQuery;
    return ipc::Encode(query);
}

// A status report within `limit`, asked on a fresh connection.
bool StatusAnswered(const std::string& path, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const UniqueFd fd = Connect(path);
        if (fd.Get() >= 0) {
            SendSome(fd.Get(), StatusQuery());
            std::string got;
            pollfd p{fd.Get(), POLLIN, 0};
            while (Clock::now() < deadline && ::poll(&p, 1, 100) >= 0) {
                char buffer[4096];
                const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN))
                    break;  // dropped (the places were taken): ask again
                if (n > 0)
                    got.append(buffer, static_cast<std::size_t>(n));
                if (const auto end = got.find('\n'); end != std::string::npos) {
                    const auto answer = ipc::Decode(got.substr(0, end));
                    if (answer && answer->msg == ipc::kMsgAppStatusReport)
                        return true;
                }
            }
        }
        ::poll(nullptr, 0, 50);
    }
    return false;
}

long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

TEST(SocketFlood, TheProgramKeepsAnsweringWithItsMemoryBounded) {
    test::TempDir dir;
    const std::string socket = dir.File("app.sock");
    test::ChildProcess app;
    test::ChildProcess::Options options;
    options.pipeStdin = false;
    options.pipeStdout = false;
    options.stderrPath = dir.File("app.log");
    // A small quarantine: freed memory the sanitizer holds back is not the program's growth.
    options.env = {"MORVA_SOCKET=" + socket, "XDG_RUNTIME_DIR=" + dir.path().string(),
                   "HOME=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen",
                   "ASAN_OPTIONS=quarantine_size_mb=8:detect_leaks=0"};
    ASSERT_TRUE(app.Start(
        {MORVA_APP_PROGRAM, "--simulate", "mouse", "--data-dir", dir.File("data")}, options));
    ASSERT_TRUE(StatusAnswered(socket, 30s)) << "the program never answered";
    ASSERT_TRUE(StatusAnswered(socket, 5s));
    const long before = ResidentKiB(app.Pid());
    ASSERT_GT(before, 0);

    // Clients that ask and ask and never read: each is dropped once its answers pile up.
    std::string queries;
    while (queries.size() < (256u << 10))
        queries += StatusQuery();
    std::vector<UniqueFd> deaf;
    for (int i = 0; i < 8; ++i)
        deaf.push_back(Connect(socket));
    std::size_t heard = deaf.size();
    for (const Clock::time_point limit = Clock::now() + 30s; heard > 0 && Clock::now() < limit;) {
        for (UniqueFd& d : deaf) {
            if (d.Get() >= 0 && !SendSome(d.Get(), queries)) {
                d = UniqueFd();
                --heard;
            }
        }
        ::poll(nullptr, 0, 1);
    }
    EXPECT_EQ(heard, 0u) << "clients that never read are still served";

    // Lines over the cap and garbage, from many clients at once; then thousands of
    // connections, each with a query it never reads the answer of.
    const std::string overCap(ipc::kMaxLineBytes + 4096, 'x');
    const std::string garbage = "\x01\xff{}\"\n\n not a message\n\0\0\n"s;
    int connections = 0;
    int refused = 0;  // the listen queue stayed full for a second
    for (int wave = 0; wave < 10; ++wave) {
        std::vector<UniqueFd> clients;
        for (int i = 0; i < 300; ++i, ++connections) {
            // A full queue is tried again as the program takes from it.
            UniqueFd fd;
            for (const Clock::time_point limit = Clock::now() + 1s;
                 fd.Get() < 0 && Clock::now() < limit; ::poll(nullptr, 0, 1))
                fd = Connect(socket);
            refused += fd.Get() < 0;
            clients.push_back(std::move(fd));
            const int kind = i % 10;
            SendSome(clients.back().Get(), kind == 0   ? StatusQuery()
                                           : kind == 1 ? garbage
                                                       : StatusQuery());
        }
    }
    EXPECT_TRUE(StatusAnswered(socket, 20s)) << "no answer after the flood";
    EXPECT_TRUE(app.Running());
    const long after = ResidentKiB(app.Pid());
    RecordProperty("connections", connections);
    EXPECT_LT(refused, connections / 10) << "the program stopped taking connections";
    RecordProperty("refused", refused);
    RecordProperty("resident_kib_before", static_cast<int>(before));
    RecordProperty("resident_kib_after", static_cast<int>(after));
    // Kept, the answers the deaf clients never read would grow without end.
    EXPECT_LT(after - before, 128L * 1024) << before << " KiB before, " << after << " after";
}

}  // namespace
}  // namespace morva
