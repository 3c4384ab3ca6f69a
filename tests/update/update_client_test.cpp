// The client against a local HTTPS service: tests/update/update_server.py under python3, with
// certificates openssl makes for each run (a CA and its certificate for 127.0.0.1, one of the
// same CA for another name, and a self-signed one for 127.0.0.1).
#include "update/update_client.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>

#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>

#include "support/local_update_service.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"
#include "update/update_command.h"

namespace morva::update {
namespace {

using namespace std::chrono_literals;
using test::LocalService;
using test::ScopedEnv;
using test::Server;

struct Result {
    std::vector<UpdateInfo> infos;
    std::optional<int> failures;  // Finished's count
};

// One run to its end (or to `limit`).
Result RunChecks(CUpdateClient& client, std::vector<ModelEntry> entries,
                 std::chrono::milliseconds limit = 10s) {
    Result result;
    QObject context;
    QObject::connect(&client, &CUpdateClient::EntryChecked, &context,
                     [&](int, const UpdateInfo& info) { result.infos.push_back(info); });
    QObject::connect(&client, &CUpdateClient::Finished, &context,
                     [&](int failures) { result.failures = failures; });
    QSignalSpy finished(&client, &CUpdateClient::Finished);
    EXPECT_TRUE(client.Check(std::move(entries)));
    EXPECT_TRUE(result.infos.empty()) << "nothing from inside Check";
    EXPECT_TRUE(finished.wait(static_cast<int>(limit.count())));
    return result;
}

ModelEntry Mouse(std::uint32_t version = 0x0102) {
    ModelEntry entry = ModelEntries().at(0);
    entry.version = version;
    return entry;
}

ModelEntry Program() {
    ModelEntry entry = ModelEntries().at(3);
    entry.version = 1000;
    return entry;
}

class UpdateClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        service_ = std::make_unique<LocalService>();
        if (!service_->Start())
            FAIL() << service_->error;
    }
    static void TearDownTestSuite() { service_.reset(); }

    static std::unique_ptr<CUpdateClient> Client(const QUrl& url, UpdateLimits limits = {}) {
        auto client = std::make_unique<CUpdateClient>(url, limits);
        client->AddCaCertificates(QSslCertificate::fromPath(QString::fromStdString(service_->ca)));
        return client;
    }

    static std::unique_ptr<LocalService> service_;
};

std::unique_ptr<LocalService> UpdateClientTest::service_;

TEST_F(UpdateClientTest, EachAnswerOfTheServiceReadsAsItShould) {
    struct Case {
        const char* mode;
        ModelEntry entry;
        int status;
        CheckFailure failure;
        std::string serverVersion;
        UpdateLimits limits;
    };
    // Where the answer is cut short, a client that missed the cut would run into this.
    const UpdateLimits cut{102400, 3000ms};
    const UpdateLimits quick{102400, 1000ms};
    const Case cases[] = {
        {"newer", Mouse(), kItemNeedUpdate, CheckFailure::None, "V2000", {}},
        {"current", Mouse(), kItemUpToDate, CheckFailure::None, "V102", {}},
        {"current", Program(), kItemUpToDate, CheckFailure::None, "V1000", {}},
        {"empty", Mouse(), kItemUpToDate, CheckFailure::None, "", {}},
        {"garbage", Mouse(), kItemCheckFailed, CheckFailure::Garbage, "", {}},
        {"huge", Mouse(), kItemCheckFailed, CheckFailure::TooLarge, "", cut},
        {"stream", Mouse(), kItemCheckFailed, CheckFailure::TooLarge, "", cut},
        {"slow", Mouse(), kItemCheckFailed, CheckFailure::TimedOut, "", quick},
        {"error", Mouse(), kItemCheckFailed, CheckFailure::HttpError, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const auto client = Client(service_->trusted.Url(c.mode), c.limits);
        const Result run = RunChecks(*client, {c.entry});
        ASSERT_EQ(run.infos.size(), 1u);
        const UpdateInfo& info = run.infos[0];
        EXPECT_EQ(info.status, c.status);
        EXPECT_EQ(info.failure, c.failure);
        EXPECT_EQ(info.serverVersion, c.serverVersion);
        EXPECT_EQ(info.name, DisplayName(c.entry));
        EXPECT_EQ(run.failures, c.failure == CheckFailure::None ? 0 : 1);
        EXPECT_FALSE(client->Busy());
        if (std::string_view(c.mode) == "newer") {
            EXPECT_EQ(info.path, "app_key=KALDO_1_RB42M03X_MS_1&version=102") << "the body sent";
            EXPECT_EQ(info.deviceId, 7);
        }
    }
}

TEST_F(UpdateClientTest, RefusedCertificatesAndSilentServicesAreFailuresNotCurrent) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl nobody(QStringLiteral("https://127.0.0.1:%1/current/").arg(closed.serverPort()));
    closed.close();

    struct Case {
        const char* what;
        QUrl url;
        bool extraCa;
        CheckFailure failure;
    };
    const Case cases[] = {
        {"another name", service_->otherName.Url("current"), true, CheckFailure::Tls},
        {"self-signed", service_->selfSigned.Url("current"), true, CheckFailure::Tls},
        {"CA not added", service_->trusted.Url("current"), false, CheckFailure::Tls},
        {"nothing listening", nobody, true, CheckFailure::NoAnswer},
        {"no URL", QUrl(), true, CheckFailure::NoAnswer},
        {"plain http", QUrl(QStringLiteral("http://127.0.0.1:1/")), true, CheckFailure::NoAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto client =
            c.extraCa ? Client(c.url) : std::make_unique<CUpdateClient>(c.url, UpdateLimits{});
        const Result run = RunChecks(*client, {Mouse(), Program()});
        ASSERT_EQ(run.infos.size(), 2u);
        for (const UpdateInfo& info : run.infos) {
            EXPECT_EQ(info.status, kItemCheckFailed);
            EXPECT_EQ(info.failure, c.failure);
        }
        EXPECT_EQ(run.failures, 2);
        EXPECT_EQ(PageStatus(run.infos), 2);
    }
}

TEST_F(UpdateClientTest, OneRequestAtATimeInOrderUntilAborted) {
    const auto client = Client(service_->trusted.Url("newer"));
    QSignalSpy checked(client.get(), &CUpdateClient::EntryChecked);
    const std::vector<ModelEntry> entries{Mouse(0x0102), Mouse(0x0200), Program()};
    ASSERT_TRUE(client->Check(entries));
    EXPECT_TRUE(client->Busy());
    EXPECT_FALSE(client->Check(entries)) << "a second run waits for the first";
    EXPECT_EQ(checked.count(), 0) << "nothing from inside Check";

    QSignalSpy finished(client.get(), &CUpdateClient::Finished);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
    ASSERT_EQ(checked.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(checked.at(i).at(0).toInt(), i);
        const auto info = checked.at(i).at(1).value<UpdateInfo>();
        EXPECT_EQ(info.path, RequestBody(entries[static_cast<std::size_t>(i)]));
    }

    // A receiver that aborts on the first answer ends the run there.
    QObject context;
    QObject::connect(client.get(), &CUpdateClient::EntryChecked, &context,
                     [&] { client->Abort(); });
    checked.clear();
    finished.clear();
    ASSERT_TRUE(client->Check(entries));
    ASSERT_TRUE(checked.wait(10000));
    EXPECT_FALSE(client->Busy());
    EXPECT_FALSE(finished.wait(300));
    EXPECT_EQ(checked.count(), 1);
}

TEST_F(UpdateClientTest, AbortAndDestructionEndTheRequestSilently) {
    Server& server = service_->trusted;
    const UpdateLimits limits{102400, 700ms};
    const auto client = Client(server.Url("slow"), limits);
    QSignalSpy checked(client.get(), &CUpdateClient::EntryChecked);
    QSignalSpy finished(client.get(), &CUpdateClient::Finished);
    // Versions of their own tell these requests from the other tests' in the server's log.
    ASSERT_TRUE(client->Check({Mouse(0xABCD), Program()}));
    ASSERT_TRUE(server.WaitForLine(QStringLiteral("request slow ") +
                                   QString::fromStdString(RequestBody(Mouse(0xABCD)))));
    client->Abort();
    EXPECT_FALSE(client->Busy());
    EXPECT_TRUE(server.WaitForLine(QStringLiteral("gone slow ") +
                                   QString::fromStdString(RequestBody(Mouse(0xABCD)))))
        << "the connection was closed";
    EXPECT_FALSE(finished.wait(900)) << "nothing after Abort, not even at the deadline";
    EXPECT_EQ(checked.count(), 0);

    auto doomed = Client(server.Url("slow"));
    const QString doomedBody = QString::fromStdString(RequestBody(Mouse(0xABCE)));
    ASSERT_TRUE(doomed->Check({Mouse(0xABCE)}));
    ASSERT_TRUE(server.WaitForLine(QStringLiteral("request slow ") + doomedBody));
    doomed.reset();
    EXPECT_TRUE(server.WaitForLine(QStringLiteral("gone slow ") + doomedBody))
        << "the destructor aborts";
}

TEST_F(UpdateClientTest, ServiceUrlAndExtraCertificatesFromTheEnvironment) {
    const test::TempDir dir;
    QSettings settings(QString::fromStdString(dir.File("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(UpdateServiceUrl(settings), QString());
    settings.setValue(QStringLiteral("UPDATE_URL"), QStringLiteral("https://a.invalid/api"));
    for (const auto& [env, url] :
         {std::pair<const char*, const char*>{nullptr, "https://a.invalid/api/"},
          {"", "https://a.invalid/api/"},
          {"https://b.invalid/x", "https://b.invalid/x/"}}) {
        const ScopedEnv variable("MORVA_UPDATE_URL", env);
        EXPECT_EQ(UpdateServiceUrl(settings).toStdString(), url) << (env ? env : "unset");
    }

    const std::string notPem = dir.Write("not.pem", "no certificate here");
    struct Case {
        const char* file;
        qsizetype certificates;
        bool error;
    };
    const Case cases[] = {
        {nullptr, 0, false},
        {service_->ca.c_str(), 1, false},
        {notPem.c_str(), 0, true},
        {"/nonexistent/ca.pem", 0, true},
    };
    for (const Case& c : cases) {
        const ScopedEnv ca("MORVA_UPDATE_CA", c.file);
        QString error;
        EXPECT_EQ(CaCertificatesFromEnvironment(&error).size(), c.certificates) << c.file;
        EXPECT_EQ(!error.isEmpty(), c.error) << c.file;
    }
}

TEST_F(UpdateClientTest, MorvactlUpdateCheck) {
    RegisterUpdateCommand();
    const ScopedEnv ca("MORVA_UPDATE_CA", service_->ca.c_str());
    const auto morvactl = [](std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = cli::RunMorvactl(args, out, err);
        return std::make_tuple(status, out.str(), err.str());
    };
    const std::string newer = service_->trusted.Url("newer").toString().toStdString();
    const std::string current = service_->trusted.Url("current").toString().toStdString();
    const std::string selfSigned = service_->selfSigned.Url("current").toString().toStdString();

    auto [status, out, err] = morvactl({"update", "check", "--url", current});
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(out, "AP V1.0.0.0 -> up to date\n");

    std::tie(status, out, err) = morvactl(
        {"update", "check", "--model", "0=0102", "--url", newer.substr(0, newer.size() - 1)});
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(out, "MS V0102 -> V2000\nAP V1.0.0.0 -> V2.0.0.0\n");

    std::tie(status, out, err) = morvactl({"update", "check", "--url", selfSigned});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "AP V1.0.0.0 -> check failed: the service's certificate was refused\n");

    for (const std::vector<std::string>& usage :
         {std::vector<std::string>{"update", "check", "--model", "3=1", "--url", current},
          {"update", "check", "--url", "http://127.0.0.1:1/"},
          {"update", "check", "--url"},
          {"update"}}) {
        std::tie(status, out, err) = morvactl(usage);
        EXPECT_EQ(status, 2) << usage.back();
        EXPECT_EQ(out, "");
    }
    std::tie(status, out, err) = morvactl({"--help"});
    EXPECT_NE(out.find("update check [--url URL]"), std::string::npos);
}

}  // namespace
}  // namespace morva::update

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
