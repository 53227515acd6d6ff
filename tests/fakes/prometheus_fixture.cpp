#include "prometheus_fixture.h"

#include "../host_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr qint64 chunk = 256 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    default:
        return "Status";
    }
}

// A child that dies with the test, however the test ends.
void startChild(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start();
    process.waitForStarted(10000);
}

void stopChild(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

} // namespace

FakeHttpServer::FakeHttpServer(Script script, const QHostAddress &address,
                               const QString &certificateFile, const QString &keyFile)
    : script(std::move(script)), certificateFile(certificateFile), keyFile(keyFile)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection())
            serve(socket);
    });
    listen(address, 0);
}

QUrl FakeHttpServer::Url() const
{
    QUrl url;
    url.setScheme(certificateFile.isEmpty() ? QStringLiteral("http") : QStringLiteral("https"));
    url.setHost(serverAddress().toString());
    url.setPort(serverPort());
    return url;
}

void FakeHttpServer::incomingConnection(qintptr descriptor)
{
    if (certificateFile.isEmpty()) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setLocalCertificate(certificateFile);
    socket->setPrivateKey(keyFile, QSsl::Ec);
    socket->startServerEncryption();
    addPendingConnection(socket);
}

void FakeHttpServer::serve(QTcpSocket *socket)
{
    auto received = std::make_shared<QByteArray>();
    auto remaining = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    const auto feed = [socket, remaining] {
        while (*remaining > 0 && socket->bytesToWrite() < 4 * chunk) {
            const qint64 size = std::min(*remaining, chunk);
            socket->write(QByteArray(static_cast<qsizetype>(size), 'x'));
            *remaining -= size;
        }
        if (*remaining == 0 && socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, feed);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, remaining, feed] {
        if (received->contains("\r\n\r\n")) {
            socket->readAll(); // a request is being answered; one per connection
            return;
        }
        *received += socket->readAll();
        const qsizetype end = received->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        FakeRequest request;
        const QList<QByteArray> lines = received->left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        requests.push_back(request);
        const FakeResponse response = script(request);
        if (response.silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " " +
                          reason(response.status) + "\r\nContent-Type: " + response.contentType +
                          "\r\nConnection: close\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        if (response.declareLength)
            head += "Content-Length: " +
                    QByteArray::number(response.body.size() + response.streamBytes) + "\r\n";
        socket->write(head + "\r\n" + response.body);
        *remaining = response.streamBytes;
        feed();
    });
}

std::optional<QPair<int, QByteArray>> HttpGet(const QUrl &url, int timeoutMs)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = network.get(request);
    const bool done = QTest::qWaitFor([&] { return reply->isFinished(); }, timeoutMs + 1000);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    delete reply;
    if (!done || status == 0)
        return std::nullopt;
    return QPair<int, QByteArray>{status, body};
}

quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString PrometheusSkipReason()
{
    for (const char *program : {"prometheus", "prometheus-node-exporter"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QStringLiteral("%1 is not installed; scripts/install-deps test installs it")
                .arg(QString::fromLatin1(program));
    }
    return {};
}

TestCertificate::TestCertificate()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty() || !folder.isValid())
        return;
    const QString cert = folder.filePath(QStringLiteral("cert.pem"));
    const QString privateKey = folder.filePath(QStringLiteral("key.pem"));
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(openssl,
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", privateKey, "-out", cert, "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (process.waitForFinished(30000) && process.exitCode() == 0) {
        certificate = cert;
        key = privateKey;
    }
}

NodeExporter::NodeExporter(const QString &root) : port(FreeLoopbackPort())
{
    // The exporter reads its machine's mounts from <procfs>/1/mounts and asks statfs of each at
    // <rootfs>/<mount point>, naming it by the mount point below the rootfs.
    QDir(procfs.path()).mkpath(QStringLiteral("1"));
    QFile own(QStringLiteral("/proc/self/mounts"));
    QFile mounts(procfs.filePath(QStringLiteral("1/mounts")));
    if (!own.open(QIODevice::ReadOnly) || !mounts.open(QIODevice::WriteOnly))
        return;
    for (const QByteArray &line : own.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const QString point = QString::fromUtf8(fields.value(1));
        if (point == root || point.startsWith(root + QLatin1Char('/')))
            mounts.write(line + "\n");
    }
    mounts.close();
    startChild(process, QStringLiteral("prometheus-node-exporter"),
               {QStringLiteral("--web.listen-address=") + Address(),
                QStringLiteral("--collector.disable-defaults"),
                QStringLiteral("--collector.filesystem"),
                QStringLiteral("--path.procfs=") + procfs.path(),
                QStringLiteral("--path.rootfs=") + root, QStringLiteral("--log.level=error")});
    answering =
        QTest::qWaitFor(
            [&] {
                return process.state() != QProcess::Running ||
                       HttpGet(QUrl(QStringLiteral("http://") + Address() + "/metrics"), 1000);
            },
            20000) &&
        process.state() == QProcess::Running;
}

NodeExporter::~NodeExporter()
{
    Stop();
}

bool NodeExporter::Running() const
{
    return answering && process.state() == QProcess::Running;
}

QString NodeExporter::Address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

void NodeExporter::Stop()
{
    stopChild(process);
}

PrometheusServer::PrometheusServer(const QList<QPair<QString, QString>> &instancesAndAddresses,
                                   const QString &storage)
    : port(FreeLoopbackPort())
{
    QByteArray config = "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                        "scrape_configs:\n  - job_name: node\n    static_configs:\n";
    for (const auto &[instance, address] : instancesAndAddresses)
        config += "      - targets: ['" + address.toUtf8() + "']\n        labels: {instance: '" +
                  instance.toUtf8() + "'}\n";
    QFile file(folder.filePath(QStringLiteral("prometheus.yml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        return;
    file.close();
    startChild(process, QStringLiteral("prometheus"),
               {QStringLiteral("--config.file=") + file.fileName(),
                QStringLiteral("--storage.tsdb.path=") +
                    (storage.isEmpty() ? folder.filePath(QStringLiteral("data")) : storage),
                QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port),
                QStringLiteral("--log.level=error")});
    const QByteArray expected = QByteArray::number(instancesAndAddresses.size());
    ready = QTest::qWaitFor(
        [&] {
            if (process.state() != QProcess::Running)
                return true;
            if (instancesAndAddresses.isEmpty()) {
                QUrl url = Url();
                url.setPath(QStringLiteral("/-/ready"));
                const auto answer = HttpGet(url, 2000);
                return answer && answer->first == 200;
            }
            const QJsonArray result =
                QJsonDocument::fromJson(Query(QStringLiteral("count(up == 1)")))
                    .object()[QLatin1String("data")]
                    .toObject()[QLatin1String("result")]
                    .toArray();
            return result.size() == 1 &&
                   result[0].toObject()[QLatin1String("value")].toArray()[1].toString().toUtf8() ==
                       expected;
        },
        60000);
    ready = ready && process.state() == QProcess::Running;
}

PrometheusServer::~PrometheusServer()
{
    Stop();
}

QUrl PrometheusServer::Url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

QByteArray PrometheusServer::Query(const QString &expression) const
{
    QUrl url = Url();
    url.setPath(QStringLiteral("/api/v1/query"));
    url.setQuery(QStringLiteral("query=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(expression)),
                 QUrl::StrictMode);
    const auto answer = HttpGet(url, 2000);
    return answer ? answer->second : QByteArray();
}

void PrometheusServer::Stop()
{
    stopChild(process);
}

QString TwoMachines::SkipReason()
{
    if (MountsFolder().empty())
        return QString::fromStdString(MountsSkipped());
    return PrometheusSkipReason();
}

TwoMachines::TwoMachines()
    : mounts(QString::fromStdString(MountsFolder())),
      hostA(std::make_unique<NodeExporter>(mounts + "/a")),
      hostB(std::make_unique<NodeExporter>(mounts + "/b"))
{
    if (!hostA->Running() || !hostB->Running()) {
        failure = QStringLiteral("node_exporter did not start");
        return;
    }
    prometheus = std::make_unique<PrometheusServer>(
        QList<QPair<QString, QString>>{{"host-a", hostA->Address()}, {"host-b", hostB->Address()}});
    if (!prometheus->Ready())
        failure = QStringLiteral("prometheus did not start or scrape both machines");
}
