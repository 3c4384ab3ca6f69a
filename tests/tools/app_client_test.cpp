#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

#include "base/ipc_protocol.h"
#include "platform/hidraw/unique_fd.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

using namespace std::chrono_literals;
using hid::UniqueFd;

UniqueFd Listen(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd.Get(), 4), 0);
    return fd;
}

bool Readable(int fd, std::chrono::milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(wait.count())) == 1;
}

// Stands in for the program: takes one client, reads its request line, writes what `answer`
// returns (one write per chunk, a little apart) and holds the connection until the client
// hangs up.
class FakeApp {
public:
    using Answer = std::function<std::vector<std::string>(const std::string& request)>;

    explicit FakeApp(Answer answer, bool hangUp = false)
        : path_(dir_.File("app.sock")), listener_(Listen(path_)) {
        thread_ = std::thread([this, answer = std::move(answer), hangUp] {
            if (!Readable(listener_.Get(), 5s))
                return;
            const UniqueFd client(::accept(listener_.Get(), nullptr, nullptr));
            std::string line;
            char c = 0;
            while (Readable(client.Get(), 5s) && ::recv(client.Get(), &c, 1, 0) == 1 && c != '\n')
                line += c;
            request_ = line;
            if (hangUp)
                return;
            for (const std::string& chunk : answer(line)) {
                ::send(client.Get(), chunk.data(), chunk.size(), MSG_NOSIGNAL);
                std::this_thread::sleep_for(10ms);
            }
            while (Readable(client.Get(), 5s) && ::recv(client.Get(), &c, 1, 0) == 1) {
            }
        });
    }
    ~FakeApp() { thread_.join(); }

    const std::string& path() const { return path_; }
    // Valid once the client's command returned.
    std::optional<ipc::Message> Request() const { return ipc::Decode(request_); }

private:
    test::TempDir dir_;
    std::string path_;
    UniqueFd listener_;
    std::string request_;
    std::thread thread_;
};

std::string Line(const std::string& msg, const std::string& members = "") {
    return "{\"msg\":\"" + msg + "\",\"wParam\":0,\"lParam\":0" + members + "}\n";
}

const std::string kNotice = Line(ipc::kMsgLightControlNotice, ",\"mode\":3");

struct CliRun {
    int status;
    std::string out, err;
    std::chrono::milliseconds took;
};

CliRun Morvactl(std::vector<std::string> args, const std::string& socketPath,
                std::chrono::milliseconds timeout = 2s) {
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = RunMorvactl(args, out, err, {socketPath, timeout});
    return {status, out.str(), err.str(),
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)};
}

TEST(MorvactlApp, StatusPrintsOneLinePerDeviceSkippingBroadcasts) {
    FakeApp app([](const std::string&) {
        const std::string report = Line(
            "AppStatusReport",
            ",\"devices\":[{\"kind\":\"mouse\",\"link\":\"receiver\",\"connected\":true,"
            "\"shown\":true,\"selected\":true},{\"kind\":\"keyboard\",\"link\":\"cable\","
            "\"connected\":false,\"shown\":true,\"selected\":false},{\"kind\":\"pad\",\"link\":"
            "\"none\",\"connected\":false,\"shown\":false,\"selected\":false}]");
        // Notices come first and the report arrives in pieces, as a busy program sends it.
        return std::vector<std::string>{kNotice, "not json\n" + kNotice.substr(0, 9),
                                        kNotice.substr(9) + report.substr(0, 40),
                                        report.substr(40)};
    });
    const CliRun run = Morvactl({"--simulate", "pad", "app", "status"}, app.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "mouse receiver connected shown selected\n"
              "keyboard cable disconnected shown\n"
              "pad none disconnected hidden\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(app.Request(), (ipc::Message{"AppStatusQuery", 0, 0, Json::objectValue}));
}

TEST(MorvactlApp, SimRequestsCarryTheWordsAndReportRefusals) {
    const std::string refusal =
        "the program is not running on simulated devices (start it with --simulate)";
    FakeApp refusing([&](const std::string&) {
        return std::vector<std::string>{
            kNotice, Line("SimReply", ",\"ok\":false,\"error\":\"" + refusal + "\"")};
    });
    CliRun run = Morvactl({"app", "sim", "event", "mouse", "0401"}, refusing.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: " + refusal + "\n");
    const std::optional<ipc::Message> request = refusing.Request();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->msg, "SimRequest");
    Json::Value args(Json::arrayValue);
    for (const char* w : {"event", "mouse", "0401"})
        args.append(w);
    EXPECT_EQ(request->data["args"], args);

    // The default socket path follows MORVA_SOCKET.
    FakeApp accepting([](const std::string&) {
        return std::vector<std::string>{Line("SimReply", ",\"ok\":true")};
    });
    ::setenv(ipc::kSocketEnv, accepting.path().c_str(), 1);
    run = Morvactl({"app", "sim", "unplug", "mouse-receiver"}, "");
    ::unsetenv(ipc::kSocketEnv);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
}

TEST(MorvactlApp, SendDeliversOneMessageAndQueryPrintsTheWorkToolReport) {
    // Send returns once the program has answered the status query sent behind the message.
    FakeApp app([](const std::string&) {
        return std::vector<std::string>{kNotice, Line("AppStatusReport", ",\"devices\":[]")};
    });
    CliRun run = Morvactl({"app", "send", "Game_Start", "0", "-3"}, app.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(app.Request(), (ipc::Message{"Game_Start", 0, -3, Json::objectValue}));

    FakeApp tool([](const std::string&) {
        return std::vector<std::string>{
            Line("WorkToolReport", ",\"version\":[2,3,0,2],\"interfaces\":[[1234,43981,1]]")};
    });
    run = Morvactl({"app", "query"}, tool.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "version 2.3.0.2\ninterface 04d2:abcd 1\n");
    EXPECT_EQ(tool.Request(), (ipc::Message{"MsgWorkToolQuery", 0, 0, Json::objectValue}));

    // Only the messages other programs may send, with 32-bit values; nothing is sent else.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"app", "send", "MsgSimRequest"},
          {"app", "send", "Game_End", "1", "2", "3"},
          {"app", "send", "Game_Kill", "4294967296"},
          {"app", "send", "Game_Death", "x"}}) {
        run = Morvactl(args, "/nonexistent/socket");
        EXPECT_EQ(run.status, 2) << args[2];
        EXPECT_NE(run.err, "");
    }
}

TEST(MorvactlApp, BadSimWordsAreRefusedBeforeConnecting) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"app", "sim", "event", "mouse", "10000"},
          {"app", "sim", "status", "pad", "1", "2", "3"},
          {"app", "frobnicate"}}) {
        const CliRun run = Morvactl(args, "/nonexistent/app.sock");
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.err.find("not running"), std::string::npos) << run.err;
    }
    EXPECT_NE(Morvactl({"app", "sim", "event", "mouse", "10000"}, "").err.find("\"10000\""),
              std::string::npos);
}

TEST(MorvactlApp, UnreachableOrSilentProgramFailsClearly) {
    test::TempDir dir;
    const std::string missing = dir.File("none.sock");
    CliRun run = Morvactl({"app", "status"}, missing);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: the program is not running (no socket at " + missing + ")\n");

    // A socket file left behind by a program that died.
    const std::string stale = dir.File("stale.sock");
    Listen(stale);
    run = Morvactl({"app", "sim", "plug", "mouse"}, stale);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not running (no socket at " + stale), std::string::npos) << run.err;

    // A program that stopped accepting, its listen queue full: the connect gives up too.
    const std::string stuck = dir.File("stuck.sock");
    const UniqueFd listener = Listen(stuck);
    std::vector<UniqueFd> waiting;
    for (int n = 0; n < 64; ++n) {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, stuck.c_str(), sizeof address.sun_path - 1);
        if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            break;
        waiting.push_back(std::move(fd));
    }
    ASSERT_LT(waiting.size(), 64u) << "the queue never filled";
    run = Morvactl({"app", "status"}, stuck, 150ms);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("takes no connections"), std::string::npos) << run.err;
    EXPECT_GE(run.took, 150ms);
    EXPECT_LT(run.took, 1s);

    FakeApp silent([](const std::string&) { return std::vector<std::string>{}; });
    run = Morvactl({"app", "status"}, silent.path(), 150ms);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: no answer from the program within 150 ms\n");
    EXPECT_GE(run.took, 150ms);

    // Unrelated traffic does not keep the wait going.
    FakeApp chatty([](const std::string&) { return std::vector<std::string>(60, kNotice); });
    run = Morvactl({"app", "status"}, chatty.path(), 150ms);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no answer"), std::string::npos) << run.err;
    EXPECT_LT(run.took, 500ms);

    FakeApp hangingUp([](const std::string&) { return std::vector<std::string>{}; }, true);
    run = Morvactl({"app", "status"}, hangingUp.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morvactl: the program closed the connection without answering\n");
    EXPECT_LT(run.took, 1s);

    FakeApp garbled([](const std::string&) {
        return std::vector<std::string>{
            Line("AppStatusReport", ",\"devices\":[{\"kind\":\"mouse\",\"link\":\"cable\"}]")};
    });
    run = Morvactl({"app", "status"}, garbled.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("malformed"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace morva::cli
