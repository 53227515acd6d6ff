#include "prometheus_client.h"

#include "prometheus_answer.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#if QT_CONFIG(ssl)
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#endif

#include <algorithm>
#include <utility>

using namespace std::chrono_literals;

namespace {

// Redirects followed in a row; Prometheus behind a proxy needs one or two.
constexpr int maxRedirects = 5;
// A token is a line of text; a file much larger is no token file.
constexpr qint64 maxTokenFile = 64 * 1024;
// What Qt holds of a reply before we take it: the cap is checked at this grain.
constexpr qint64 readBuffer = 1 << 20;

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString duration(std::chrono::milliseconds time)
{
    if (time.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(time.count() / 1000);
    return QStringLiteral("%1 ms").arg(time.count());
}

QString unreachableReason(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("Verbindung abgelehnt");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Rechner nicht gefunden");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Verbindung vorzeitig beendet");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("kein Netz");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("der Proxy antwortet nicht");
    default:
        return QStringLiteral("Netzwerkfehler %1").arg(static_cast<int>(error));
    }
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    const auto port = [](const QUrl &url) {
        return url.port(
            url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

FleetTime currentTime()
{
    return FleetTime(std::chrono::milliseconds(QDateTime::currentMSecsSinceEpoch()));
}

} // namespace

// What one request came to: an HTTP answer (any status), or why none came.
struct PrometheusClient::Outcome
{
    int status = 0;
    QByteArray body;
    QString problem; // German; empty where an answer came
};

struct PrometheusClient::Transfer
{
    QNetworkReply *reply = nullptr;
    QUrl url;
    int redirectsLeft = 0;
    bool credentials = false;
    std::function<void(const Outcome &)> done;
    QByteArray body;
    bool tooLarge = false;
    bool timedOut = false;
    QString tlsProblem;
};

// Lives on the reader thread, which alone touches it.
class PrometheusClient::Reader : public QObject
{
public:
    std::shared_ptr<const FleetSnapshot> last = std::make_shared<const FleetSnapshot>();
};

struct PrometheusClient::Tls
{
#if QT_CONFIG(ssl)
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
#endif
    QString problem; // why the CA file cannot be used
};

PrometheusClient::PrometheusClient(PrometheusConnection connection, QObject *parent)
    : PrometheusClient(std::move(connection), Limits(), parent)
{}

PrometheusClient::PrometheusClient(PrometheusConnection connection, Limits limits, QObject *parent)
    : QObject(parent), connection(std::move(connection)), limits(limits),
      network(new QNetworkAccessManager(this)), timer(new QTimer(this)),
      snapshot(std::make_shared<const FleetSnapshot>()), tls(std::make_unique<Tls>()),
      reader(std::make_unique<Reader>())
{
    // The client decides where a redirect goes and what it carries; Qt keeps no cookies or
    // credentials of its own between requests.
    network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    if (!this->connection.caFile.isEmpty()) {
#if QT_CONFIG(ssl)
        const QList<QSslCertificate> certificates =
            QSslCertificate::fromPath(this->connection.caFile, QSsl::Pem);
        if (certificates.isEmpty())
            tls->problem = QStringLiteral("Die CA-Datei %1 enthält kein lesbares Zertifikat.")
                               .arg(this->connection.caFile);
        tls->configuration.addCaCertificates(certificates);
#else
        tls->problem = QStringLiteral("Dieses Volumo kann keine verschlüsselten Verbindungen.");
#endif
    }
    reader->moveToThread(&readerThread);
    readerThread.setObjectName(QStringLiteral("Prometheus-Antworten"));
    readerThread.start();
    connect(timer, &QTimer::timeout, this, &PrometheusClient::Refresh);
}

PrometheusClient::~PrometheusClient()
{
    // Replies still under way end here without reaching a half-destroyed client.
    const QList<QNetworkReply *> replies = network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
    readerThread.quit();
    readerThread.wait();
}

void PrometheusClient::Start()
{
    const auto begin = [this] {
        timer->start(interval);
        Refresh();
    };
    if (limits.interval) {
        interval = *limits.interval;
        begin();
        return;
    }
    // Thanos, VictoriaMetrics and federating proxies may not have this; then 15 s.
    fetch(apiUrl(QStringLiteral("status/config"), {}), maxRedirects, true,
          [this, begin](const Outcome &outcome) {
              if (outcome.problem.isEmpty() && outcome.status / 100 == 2) {
                  if (const auto scrape = ScrapeIntervalOf(std::string_view(
                          outcome.body.constData(), static_cast<size_t>(outcome.body.size()))))
                      interval = std::clamp<std::chrono::milliseconds>(*scrape, 1s, 1h);
              }
              begin();
          });
}

void PrometheusClient::Refresh()
{
    if (busy)
        return;
    busy = true;
    const QString query = QStringLiteral("query=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(fromUtf8(FleetQuery())));
    fetch(apiUrl(QStringLiteral("query"), query), maxRedirects, true,
          [this](const Outcome &outcome) { answered(outcome); });
}

QUrl PrometheusClient::apiUrl(const QString &endpoint, const QString &query) const
{
    QUrl url = connection.url;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("api/v1/") + endpoint);
    url.setQuery(query, QUrl::StrictMode);
    url.setFragment({});
    return url;
}

void PrometheusClient::fetch(const QUrl &url, int redirectsLeft, bool credentials,
                             std::function<void(const Outcome &)> done)
{
    QString refused = tls->problem;
    QByteArray authorizationHeader;
    if (credentials && refused.isEmpty())
        authorizationHeader = authorization(refused);
    if (!refused.isEmpty()) {
        // Answered through the event loop all the same, as a request would be.
        QTimer::singleShot(0, this, [done, refused] { done({0, {}, refused}); });
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setRawHeader("Accept", "application/json");
    if (!authorizationHeader.isEmpty())
        request.setRawHeader("Authorization", authorizationHeader);
#if QT_CONFIG(ssl)
    request.setSslConfiguration(tls->configuration);
#endif
    request.setTransferTimeout(static_cast<int>(limits.timeout.count()));

    auto transfer = std::make_shared<Transfer>();
    transfer->url = url;
    transfer->redirectsLeft = redirectsLeft;
    transfer->credentials = credentials;
    transfer->done = std::move(done);
    QNetworkReply *reply = network->get(request);
    transfer->reply = reply;
    reply->setReadBufferSize(readBuffer);

    const qint64 cap = limits.maxBody;
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [transfer] {
        transfer->timedOut = true;
        transfer->reply->abort();
    });
    deadline->start(limits.timeout);
    connect(reply, &QNetworkReply::metaDataChanged, reply, [transfer, cap] {
        const qint64 length =
            transfer->reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (length > cap) {
            transfer->tooLarge = true;
            transfer->reply->abort();
        } else if (length > 0) {
            transfer->body.reserve(static_cast<qsizetype>(length));
        }
    });
    connect(reply, &QNetworkReply::readyRead, reply, [transfer, cap] {
        if (transfer->tooLarge)
            return;
        transfer->body += transfer->reply->readAll();
        if (transfer->body.size() > cap) {
            transfer->tooLarge = true;
            transfer->body = QByteArray();
            transfer->reply->abort();
        }
    });
#if QT_CONFIG(ssl)
    // Never ignored: the request fails, and the first reason is what the user reads.
    connect(reply, &QNetworkReply::sslErrors, reply, [transfer](const QList<QSslError> &errors) {
        if (!errors.isEmpty() && transfer->tlsProblem.isEmpty())
            transfer->tlsProblem = errors.first().errorString();
    });
#endif
    connect(reply, &QNetworkReply::finished, this, [this, transfer] { finished(transfer); });
}

void PrometheusClient::finished(const std::shared_ptr<Transfer> &transfer)
{
    QNetworkReply *reply = transfer->reply;
    reply->deleteLater();
    if (!transfer->tooLarge && reply->isOpen()) {
        transfer->body += reply->readAll();
        transfer->tooLarge = transfer->body.size() > limits.maxBody;
    }
    const QString server = DisplayAddress(connection.url);
    Outcome outcome;
    outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (transfer->tooLarge) {
        outcome.problem = QStringLiteral("Die Antwort von %1 ist größer als %2 MiB und wird "
                                         "nicht gelesen.")
                              .arg(server)
                              .arg(limits.maxBody >> 20);
    } else if (transfer->timedOut || error == QNetworkReply::TimeoutError) {
        outcome.problem = QStringLiteral("%1 antwortet nicht innerhalb von %2.")
                              .arg(server, duration(limits.timeout));
    } else if (!transfer->tlsProblem.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
        outcome.problem = QStringLiteral("Die sichere Verbindung zu %1 ist gescheitert: %2")
                              .arg(server, transfer->tlsProblem.isEmpty() ? reply->errorString()
                                                                          : transfer->tlsProblem);
    } else if (outcome.status == 0 && error != QNetworkReply::NoError) {
        outcome.problem =
            QStringLiteral("%1 ist nicht erreichbar (%2).").arg(server, unreachableReason(error));
    } else if (outcome.status >= 300 && outcome.status < 400 && outcome.status != 304) {
        const QUrl location = reply->header(QNetworkRequest::LocationHeader).toUrl();
        const QUrl target = transfer->url.resolved(location);
        if (location.isEmpty() || !target.isValid()) {
            outcome.problem = QStringLiteral("%1 leitet um, ohne zu sagen wohin.").arg(server);
        } else if (transfer->redirectsLeft <= 0) {
            outcome.problem = QStringLiteral("%1 leitet zu oft um.").arg(server);
        } else if (transfer->url.scheme() == QLatin1String("https") &&
                   target.scheme() != QLatin1String("https")) {
            outcome.problem = QStringLiteral("%1 leitet auf eine unverschlüsselte Adresse um; "
                                             "dem folgt Volumo nicht.")
                                  .arg(server);
        } else if (target.scheme() != QLatin1String("http") &&
                   target.scheme() != QLatin1String("https")) {
            outcome.problem =
                QStringLiteral("%1 leitet auf eine Adresse um, die kein HTTP ist.").arg(server);
        } else {
            // Credentials stay with the server they were given for: a redirect elsewhere is
            // followed without them.
            fetch(target, transfer->redirectsLeft - 1,
                  transfer->credentials && sameOrigin(target, connection.url),
                  std::move(transfer->done));
            return;
        }
    }
    outcome.body = std::move(transfer->body);
    transfer->done(outcome);
}

QByteArray PrometheusClient::authorization(QString &problem)
{
    if (!connection.user.isEmpty())
        return "Basic " +
               (connection.user + QLatin1Char(':') + connection.password).toUtf8().toBase64();
    if (connection.tokenFile.isEmpty())
        return {};
    if (!tokenRead) {
        QFile file(connection.tokenFile);
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxTokenFile) {
            problem = QStringLiteral("Die Token-Datei %1 kann nicht gelesen werden.")
                          .arg(connection.tokenFile);
            return {};
        }
        token = file.read(maxTokenFile).trimmed();
        tokenRead = true;
    }
    return "Bearer " + token;
}

QString PrometheusClient::problemOf(const Outcome &outcome)
{
    if (!outcome.problem.isEmpty())
        return outcome.problem;
    const int status = outcome.status;
    if (status / 100 == 2)
        return {};
    const std::optional<std::string> error = PrometheusError(
        std::string_view(outcome.body.constData(), static_cast<size_t>(outcome.body.size())));
    const QString said = error ? QStringLiteral(": ") + fromUtf8(PlainLine(*error)) : QString();
    if (status == 401 || status == 403) {
        tokenRead = false; // a token replaced meanwhile is read anew for the next refresh
        return QStringLiteral("Anmeldung bei %1 abgelehnt (HTTP %2).")
            .arg(DisplayAddress(connection.url))
            .arg(status);
    }
    if (status >= 500)
        return QStringLiteral("Prometheus meldet einen Serverfehler (HTTP %1)%2.")
            .arg(status)
            .arg(said);
    if (status >= 400)
        return QStringLiteral("Prometheus lehnt die Anfrage ab (HTTP %1)%2.").arg(status).arg(said);
    return QStringLiteral("Unerwartete Antwort des Servers (HTTP %1).").arg(status);
}

void PrometheusClient::answered(const Outcome &outcome)
{
    const std::string problem = problemOf(outcome).toStdString();
    QByteArray body = problem.empty() ? outcome.body : QByteArray();
    const std::chrono::milliseconds scrape = interval;
    const FleetTime now = currentTime();
    Reader *keeper = reader.get();
    QMetaObject::invokeMethod(
        keeper,
        [this, keeper, body, problem, scrape, now]() mutable {
            std::shared_ptr<const FleetSnapshot> next;
            if (problem.empty()) {
                FleetReading reading = ReadFleetAnswer(
                    std::string_view(body.constData(), static_cast<size_t>(body.size())), now);
                body = QByteArray(); // read: its megabytes go before the snapshot is made
                next = std::make_shared<const FleetSnapshot>(
                    reading.answer ? NextSnapshot(*keeper->last, std::move(*reading.answer), scrape)
                                   : FailedSnapshot(*keeper->last, reading.problem));
            } else {
                next =
                    std::make_shared<const FleetSnapshot>(FailedSnapshot(*keeper->last, problem));
            }
            keeper->last = next;
            QMetaObject::invokeMethod(
                this, [this, next] { publish(next); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PrometheusClient::publish(std::shared_ptr<const FleetSnapshot> next)
{
    // Freeing a fleet's strings takes milliseconds: the last holder of the old snapshot
    // lets go of it on the reader's thread, not here.
    std::shared_ptr<const FleetSnapshot> old = std::exchange(snapshot, std::move(next));
    QMetaObject::invokeMethod(
        reader.get(), [old = std::move(old)]() mutable { old.reset(); }, Qt::QueuedConnection);
    busy = false;
    emit SnapshotChanged();
}
