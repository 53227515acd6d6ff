#pragma once

// What the Prometheus client is tested against: a small scripted HTTP server for the answers a
// real server would never give, and the real thing, Debian's prometheus scraping one
// prometheus-node-exporter per simulated machine, all on loopback ports with temporary folders.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A request as the fake server received it.
struct FakeRequest
{
    QByteArray method;
    QByteArray target;                    // path and query
    QMap<QByteArray, QByteArray> headers; // names in lower case
};

// What the fake server answers.
struct FakeResponse
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    // Beyond the body: this many bytes more, sent as fast as they are taken. With a declared
    // length the Content-Length header says so in advance; without, the end of the connection
    // ends the body.
    qint64 streamBytes = 0;
    bool declareLength = true;
    bool silent = false; // reads the request and never answers
};

// An HTTP/1.1 server on a loopback address that answers each request by a script, one request
// per connection; with a certificate and key (PEM files) it speaks TLS.
class FakeHttpServer : public QTcpServer
{
public:
    using Script = std::function<FakeResponse(const FakeRequest &)>;

    explicit FakeHttpServer(Script script, const QHostAddress &address = QHostAddress::LocalHost,
                            const QString &certificateFile = {}, const QString &keyFile = {});

    QUrl Url() const; // http(s)://address:port
    const std::vector<FakeRequest> &Requests() const { return requests; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(QTcpSocket *socket);

    Script script;
    QString certificateFile;
    QString keyFile;
    std::vector<FakeRequest> requests;
};

// A GET that waits in the event loop for at most `timeoutMs`: status and body, or nothing.
std::optional<QPair<int, QByteArray>> HttpGet(const QUrl &url, int timeoutMs = 5000);

// A loopback port nothing listens on at the moment.
quint16 FreeLoopbackPort();

// Why the real components cannot run here; empty where they can.
QString PrometheusSkipReason();

// A self-signed certificate for 127.0.0.1 made with openssl, in a temporary folder; empty paths
// where openssl is missing.
struct TestCertificate
{
    TestCertificate();
    QTemporaryDir folder;
    QString certificate;
    QString key;
};

// prometheus-node-exporter with the filesystem collector alone, serving the tmpfs volumes
// mounted at and below `root` as a machine whose "/" is `root`: its procfs is a folder of the
// fixture's whose 1/mounts lists them, and its rootfs is `root`.
class NodeExporter
{
public:
    explicit NodeExporter(const QString &root);
    ~NodeExporter();
    NodeExporter(const NodeExporter &) = delete;
    NodeExporter &operator=(const NodeExporter &) = delete;

    // Started and serving its figures.
    bool Running() const;
    QString Address() const; // 127.0.0.1:port
    void Stop();

private:
    QTemporaryDir procfs;
    quint16 port = 0;
    QProcess process;
    bool answering = false;
};

// Debian's prometheus scraping the given targets every second, each under the instance name
// given with it; its storage a temporary folder, or `storage` where given (blocks made by
// promtool, say).
class PrometheusServer
{
public:
    explicit PrometheusServer(const QList<QPair<QString, QString>> &instancesAndAddresses,
                              const QString &storage = {});
    ~PrometheusServer();
    PrometheusServer(const PrometheusServer &) = delete;
    PrometheusServer &operator=(const PrometheusServer &) = delete;

    // Started and answering queries, with a first scrape of every target in.
    bool Ready() const { return ready; }
    QUrl Url() const;
    // The result of an instant query, as the server's JSON.
    QByteArray Query(const QString &expression) const;
    void Stop();

private:
    QTemporaryDir folder;
    quint16 port = 0;
    QProcess process;
    bool ready = false;
};

// Two simulated machines, host-a with its "/" at <mounts>/a and host-b at <mounts>/b, and the
// server that scrapes both every second; <mounts> is the test's private mount folder.
struct TwoMachines
{
    // Why they cannot run here (no private mount namespace, no prometheus); empty where they can.
    static QString SkipReason();

    TwoMachines();

    const QString mounts;
    // Empty once all three answer; otherwise what did not start.
    QString failure;
    std::unique_ptr<NodeExporter> hostA;
    std::unique_ptr<NodeExporter> hostB;
    std::unique_ptr<PrometheusServer> prometheus;
};
