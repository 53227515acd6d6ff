#pragma once

#include "fleet.h"
#include "prometheus_connection.h"

#include <QObject>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QTimer;

// Reads every machine's volumes from a Prometheus server: one query per refresh for all of them,
// at the server's scrape interval. Nothing waits on the network: requests run in Qt's event loop,
// each ends by a deadline, and answers are read on a thread of the client's own. Credentials go
// only to the configured server's own address (scheme, host and port), never after a redirect
// elsewhere, and appear in no message.
class PrometheusClient : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        std::chrono::milliseconds timeout{10000}; // a whole request, from sending to its end
        qint64 maxBody = qint64{64} << 20;        // bytes, after decompression
        // The refresh interval; unset: the server's scrape interval, 15 s where it tells none.
        std::optional<std::chrono::milliseconds> interval;
    };

    PrometheusClient(PrometheusConnection connection, Limits limits, QObject *parent = nullptr);
    explicit PrometheusClient(PrometheusConnection connection, QObject *parent = nullptr);
    ~PrometheusClient() override;

    // Asks the server for its scrape interval once, then refreshes at once and every interval.
    void Start();
    // One query now, unless one is under way.
    void Refresh();

    // The figures of the last refresh; an empty fleet before the first.
    std::shared_ptr<const FleetSnapshot> Snapshot() const { return snapshot; }
    std::chrono::milliseconds Interval() const { return interval; }
    const PrometheusConnection &Connection() const { return connection; }

signals:
    // After every refresh, answered or failed.
    void SnapshotChanged();

private:
    struct Transfer;
    struct Outcome;
    struct Tls;
    class Reader;

    QUrl apiUrl(const QString &endpoint, const QString &query) const;
    void fetch(const QUrl &url, int redirectsLeft, bool credentials,
               std::function<void(const Outcome &)> done);
    void finished(const std::shared_ptr<Transfer> &transfer);
    QByteArray authorization(QString &problem);
    QString problemOf(const Outcome &outcome);
    void answered(const Outcome &outcome);
    void publish(std::shared_ptr<const FleetSnapshot> next);

    PrometheusConnection connection;
    Limits limits;
    std::chrono::milliseconds interval{15000};
    QNetworkAccessManager *network;
    QTimer *timer;
    bool busy = false;
    bool tokenRead = false;
    QByteArray token;
    std::shared_ptr<const FleetSnapshot> snapshot;
    std::unique_ptr<Tls> tls;
    // Reads the answers, one after the other, and keeps what the next one is merged into.
    QThread readerThread;
    std::unique_ptr<Reader> reader;
};
