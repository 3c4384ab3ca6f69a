// A local HTTPS update service for tests: tests/update/update_server.py under python3, with
// certificates openssl makes for each run (a CA and its certificate for 127.0.0.1, one of the
// same CA for another name, and a self-signed one for 127.0.0.1). Needs the compile
// definitions MORVA_PYTHON3, MORVA_OPENSSL and MORVA_UPDATE_SERVER.
#pragma once

#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace morva::test {

using namespace std::chrono_literals;

// Sets (or with nullptr removes) an environment variable until the object goes.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// One update_server.py process; its stdout is read line by line through the event loop.
class Server {
public:
    ~Server() {
        process_.kill();
        process_.waitForFinished(5000);
    }

    bool Start(const QString& cert, const QString& key) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(MORVA_PYTHON3),
                       {QStringLiteral(MORVA_UPDATE_SERVER), cert, key});
        const std::optional<QString> port = NextLine(10s);
        port_ = port ? port->toInt() : 0;
        return port_ > 0;
    }

    // https://127.0.0.1:PORT/MODE/
    QUrl Url(const char* mode) const {
        return QUrl(QStringLiteral("https://127.0.0.1:%1/%2/").arg(port_).arg(mode));
    }

    // The next line of the server's output starting with `prefix`.
    bool WaitForLine(const QString& prefix, std::chrono::milliseconds limit = 5s) {
        while (const std::optional<QString> line = NextLine(limit)) {
            if (line->startsWith(prefix))
                return true;
        }
        return false;
    }

private:
    std::optional<QString> NextLine(std::chrono::milliseconds limit) {
        QSignalSpy output(&process_, &QProcess::readyReadStandardOutput);
        while (!process_.canReadLine()) {
            if (process_.state() == QProcess::NotRunning ||
                !output.wait(static_cast<int>(limit.count()))) {
                return std::nullopt;
            }
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

    QProcess process_;
    int port_ = 0;
};

// Certificates and the three services, made once for the test program.
struct LocalService {
    test::TempDir dir;
    std::string ca = dir.File("ca.pem");
    Server trusted, otherName, selfSigned;
    std::string error;

    QString Path(const QString& file) const {
        return QString::fromStdString(dir.File(file.toStdString()));
    }

    // NAME.pem and NAME.key, signed by SIGNER's when one is named.
    bool Certificate(const QString& name, const QString& extensions, const QString& signer = {}) {
        QStringList args = QStringLiteral(
                               "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                               "-nodes -days 2")
                               .split(' ');
        args << "-subj"
             << "/CN=" + name << "-keyout" << Path(name + ".key") << "-out" << Path(name + ".pem");
        for (const QString& extension : extensions.split(' '))
            args << "-addext" << extension;
        if (!signer.isEmpty())
            args << "-CA" << Path(signer + ".pem") << "-CAkey" << Path(signer + ".key");
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral(MORVA_OPENSSL), args);
        if (openssl.waitForFinished(20000) && openssl.exitCode() == 0)
            return true;
        error = "openssl " + args.join(' ').toStdString() + ": " + openssl.readAll().toStdString();
        return false;
    }

    bool Start(Server& server, const QString& name) {
        if (server.Start(Path(name + ".pem"), Path(name + ".key")))
            return true;
        error = "the service with " + name.toStdString() + " did not start";
        return false;
    }

    bool Start() {
        const QString leaf = QStringLiteral("basicConstraints=CA:FALSE subjectAltName=");
        return Certificate(
                   "ca",
                   "basicConstraints=critical,CA:TRUE keyUsage=critical,keyCertSign,cRLSign") &&
               Certificate("local", leaf + "IP:127.0.0.1,DNS:localhost", "ca") &&
               Certificate("other", leaf + "DNS:other.invalid", "ca") &&
               Certificate("self", leaf + "IP:127.0.0.1,DNS:localhost") &&
               Start(trusted, "local") && Start(otherName, "other") && Start(selfSigned, "self");
    }
};

}  // namespace morva::test
