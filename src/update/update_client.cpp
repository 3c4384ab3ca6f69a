#include "update/update_client.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QSslConfiguration>
#include <QTimer>

#include "base/debug_log.h"

namespace morva::update {

namespace {

// What a QNetworkReply error means for the check, when we did not end the reply ourselves.
CheckFailure FailureOf(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::NoError:
            return CheckFailure::None;
        case QNetworkReply::SslHandshakeFailedError:
        case QNetworkReply::InsecureRedirectError:
            return CheckFailure::Tls;
        case QNetworkReply::TimeoutError:
            return CheckFailure::TimedOut;
        default:
            return CheckFailure::NoAnswer;
    }
}

// Only a verified connection may carry the answer: a plain http URL is no service.
bool UsableServiceUrl(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

}  // namespace

QString UpdateServiceUrl(const QSettings& settings) {
    QString url = qEnvironmentVariable("MORVA_UPDATE_URL");
    if (url.isEmpty()) {
        const QVariant stored = settings.value(QStringLiteral("UPDATE_URL"));
        if (stored.typeId() == QMetaType::QString)
            url = stored.toString();
    }
    url = url.trimmed();
    if (!url.isEmpty() && !url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    return url;
}

QList<QSslCertificate> CaCertificatesFromEnvironment(QString* error) {
    const QString path = qEnvironmentVariable("MORVA_UPDATE_CA");
    if (path.isEmpty())
        return {};
    QFile file(path);
    QList<QSslCertificate> certificates;
    if (file.open(QIODevice::ReadOnly))
        certificates = QSslCertificate::fromData(file.read(1024 * 1024), QSsl::Pem);
    if (certificates.isEmpty() && error) {
        *error = file.error() != QFileDevice::NoError
                     ? QStringLiteral("cannot read %1: %2").arg(path, file.errorString())
                     : QStringLiteral("no PEM certificate in %1").arg(path);
    }
    return certificates;
}

CUpdateClient::CUpdateClient(QUrl baseUrl, UpdateLimits limits, QObject* parent)
    : QObject(parent),
      baseUrl_(std::move(baseUrl)),
      limits_(limits),
      network_(new QNetworkAccessManager(this)),
      deadline_(new QTimer(this)) {
    qRegisterMetaType<morva::update::UpdateInfo>();
    // The desktop's proxy settings (and the *_proxy variables) apply to the check.
    static const bool systemProxies = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return true;
    }();
    (void)systemProxies;
    // A service on this machine is reached directly, whatever proxy the desktop names.
    if (QHostAddress(baseUrl_.host()).isLoopback() ||
        baseUrl_.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        network_->setProxy(QNetworkProxy::NoProxy);
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] { Settle(CheckFailure::TimedOut); });
}

CUpdateClient::~CUpdateClient() {
    Abort();
}

void CUpdateClient::AddCaCertificates(const QList<QSslCertificate>& certificates) {
    extraCas_ += certificates;
}

bool CUpdateClient::Check(std::vector<ModelEntry> entries) {
    if (running_)
        return false;
    entries_ = std::move(entries);
    next_ = 0;
    failures_ = 0;
    running_ = true;
    const quint64 run = ++run_;
    // Never from inside Check: the caller connects and calls in any order.
    QTimer::singleShot(0, this, [this, run] {
        if (run == run_ && running_)
            StartNext();
    });
    return true;
}

void CUpdateClient::Abort() {
    ++run_;
    running_ = false;
    deadline_->stop();
    Detach();
    entries_.clear();
}

bool CUpdateClient::Busy() const {
    return running_;
}

void CUpdateClient::StartNext() {
    if (next_ >= entries_.size()) {
        running_ = false;
        emit Finished(failures_);
        return;
    }
    const ModelEntry& entry = entries_[next_];
    if (!UsableServiceUrl(baseUrl_)) {
        Conclude(FailedCheck(entry, CheckFailure::NoAnswer));
        return;
    }

    QNetworkRequest request(baseUrl_.resolved(QUrl(QStringLiteral("updates"))));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader(QByteArrayLiteral("Accept"),
                         QByteArrayLiteral("application/prs.Kaldo.v1+json"));
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("MORVA TR510 update check"));
    // A redirect is an answer other than 2xx, not a new address to trust.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!extraCas_.isEmpty())
        tls.setCaCertificates(tls.caCertificates() + extraCas_);
    request.setSslConfiguration(tls);

    answer_.clear();
    pending_ = CheckFailure::None;
    QNetworkReply* reply = network_->post(request, QByteArray::fromStdString(RequestBody(entry)));
    reply_ = reply;
    // Qt holds no more of a fast answer than the cap between two readyRead.
    reply->setReadBufferSize(limits_.maxAnswerBytes + 1);
    connect(reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        // Never ignored: the handshake fails and finished reports it.
        for (const QSslError& e : errors)
            DebugLog("update check: TLS: %s\n", qPrintable(e.errorString()));
        pending_ = CheckFailure::Tls;
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        bool known = false;
        const qint64 length =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > limits_.maxAnswerBytes)
            Settle(CheckFailure::TooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        answer_ += reply->readAll();
        if (answer_.size() > limits_.maxAnswerBytes)
            Settle(CheckFailure::TooLarge);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
    deadline_->start(limits_.timeout);
}

void CUpdateClient::OnFinished(QNetworkReply* reply) {
    if (reply != reply_)
        return;
    const ModelEntry& entry = entries_[next_];
    const QByteArray body = answer_ + reply->readAll();
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString errorText = reply->errorString();
    Detach();

    CheckFailure failure = pending_;
    if (failure == CheckFailure::None && FailureOf(error) == CheckFailure::Tls)
        failure = CheckFailure::Tls;
    if (failure == CheckFailure::None && status.isValid() &&
        (status.toInt() < 200 || status.toInt() > 299)) {
        failure = CheckFailure::HttpError;
    }
    if (failure == CheckFailure::None)
        failure = FailureOf(error);
    if (failure == CheckFailure::None && body.size() > limits_.maxAnswerBytes)
        failure = CheckFailure::TooLarge;
    if (failure != CheckFailure::None) {
        DebugLog("update check: %s (%s)\n", FailureText(failure).data(), qPrintable(errorText));
        Conclude(FailedCheck(entry, failure));
        return;
    }
    Conclude(ReadAnswer(entry,
                        std::string_view(body.constData(), static_cast<std::size_t>(body.size()))));
}

void CUpdateClient::Settle(CheckFailure failure) {
    if (!reply_ || !running_)
        return;
    DebugLog("update check: %s\n", FailureText(failure).data());
    Detach();
    Conclude(FailedCheck(entries_[next_], failure));
}

void CUpdateClient::Detach() {
    deadline_->stop();
    answer_.clear();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    if (!reply)
        return;
    // No signal of this reply reaches us any more, not even the finished that abort sends.
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void CUpdateClient::Conclude(UpdateInfo info) {
    if (info.failure != CheckFailure::None)
        ++failures_;
    const int index = static_cast<int>(next_++);
    const quint64 run = run_;
    emit EntryChecked(index, info);
    // A receiver may have aborted the run, or aborted it and started another.
    if (run != run_ || !running_)
        return;
    StartNext();
}

}  // namespace morva::update
