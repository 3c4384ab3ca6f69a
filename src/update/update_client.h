// Asks the update service about each entry, one request at a time, on the caller's thread
// (results arrive as signals through the Qt event loop; there is no worker thread).
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <chrono>
#include <vector>

#include "update/update_check.h"

class QNetworkAccessManager;
class QNetworkReply;
class QSettings;
class QTimer;

namespace morva::update {

struct UpdateLimits {
    qint64 maxAnswerBytes = 102400;            // a longer answer is refused as TooLarge
    std::chrono::milliseconds timeout{15000};  // whole request, answer included
};

// The service's base URL (ends in "/"): $MORVA_UPDATE_URL, else the setting "UPDATE_URL",
// else empty (no service: nothing is asked).
QString UpdateServiceUrl(const QSettings& settings);

// Extra trusted CA certificates from the PEM file named by $MORVA_UPDATE_CA (none when it
// is unset). `error` gets a message when the file is set but cannot be read.
QList<QSslCertificate> CaCertificatesFromEnvironment(QString* error = nullptr);

class CUpdateClient : public QObject {
    Q_OBJECT

public:
    // Requests go to baseUrl + "updates". An empty or invalid URL, or one that is not https,
    // fails every entry with NoAnswer at once (still through the event loop).
    explicit CUpdateClient(QUrl baseUrl, UpdateLimits limits = {}, QObject* parent = nullptr);
    ~CUpdateClient() override;

    // Trusted besides the system's CAs; verification itself is never switched off.
    void AddCaCertificates(const QList<QSslCertificate>& certificates);

    // Starts a run over `entries` (false, nothing started, while one runs). EntryChecked
    // comes once per entry in order, then Finished.
    bool Check(std::vector<ModelEntry> entries);
    // Ends the running request and the run; no further signal is sent.
    void Abort();
    bool Busy() const;

signals:
    void EntryChecked(int index, const morva::update::UpdateInfo& info);
    // failures: entries whose check failed.
    void Finished(int failures);

private:
    void StartNext();
    void Conclude(UpdateInfo info);
    void OnFinished(QNetworkReply* reply);
    // Ends the running request ourselves (deadline, size cap) with `failure`.
    void Settle(CheckFailure failure);
    // Lets go of the running reply: aborted, deleted later, none of its signals reach us.
    void Detach();

    QUrl baseUrl_;
    UpdateLimits limits_;
    QNetworkAccessManager* network_ = nullptr;  // child
    QTimer* deadline_ = nullptr;                // child
    QPointer<QNetworkReply> reply_;
    QList<QSslCertificate> extraCas_;
    std::vector<ModelEntry> entries_;
    std::size_t next_ = 0;
    int failures_ = 0;
    bool running_ = false;
    quint64 run_ = 0;  // bumped by Check and Abort: queued work of an older run is dropped
    QByteArray answer_;
    CheckFailure pending_ = CheckFailure::None;
};

}  // namespace morva::update

Q_DECLARE_METATYPE(morva::update::UpdateInfo)
