// The Prometheus client against a scripted server: what a real server answers, and everything
// else a network can hand it.
#include "fleet_answers.h"
#include "prometheus_answer.h"
#include "prometheus_client.h"
#include "prometheus_fixture.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString password = QStringLiteral("geheim-7f3a");

QByteArray goodAnswer()
{
    return QByteArray::fromStdString(FleetAnswerOf({
        MachineSeries("host-b:9100", "up", "1"),
        FilesystemSeries("host-b:9100", "/", "size", "107374182400", "/dev/sda1"),
        FilesystemSeries("host-b:9100", "/", "avail", "42949672960", "/dev/sda1"),
        FilesystemSeries("host-b:9100", "/data", "size", "53687091200"),
        FilesystemSeries("host-b:9100", "/data", "avail", "1073741824"),
        FilesystemSeries("host-b:9100", "/data", "full_in", "7200"),
    }));
}

FakeResponse json(const QByteArray &body, int status = 200)
{
    FakeResponse response;
    response.status = status;
    response.body = body;
    return response;
}

PrometheusConnection connectionTo(const QUrl &url)
{
    PrometheusConnection connection;
    connection.url = url;
    connection.user = QStringLiteral("anna");
    connection.password = password;
    return connection;
}

PrometheusClient::Limits everySecond()
{
    PrometheusClient::Limits limits;
    limits.interval = 1s;
    return limits;
}

// "/ 107374182400/42949672960; /data ...": machine host-b's figures.
std::string figuresOf(const FleetSnapshot &snapshot)
{
    std::string text;
    for (const Machine &machine : snapshot.machines) {
        text += machine.instance + (machine.up ? "" : " (down)") + ":";
        for (const RemoteFilesystem &fs : machine.filesystems)
            text += " " + fs.mountPoint + " " + std::to_string(fs.sizeBytes) + "/" +
                    std::to_string(fs.availBytes);
    }
    return text;
}

const std::string goodFigures =
    "host-b:9100: / 107374182400/42949672960 /data 53687091200/1073741824";

// A message that names the server where it has %1.
QString naming(const QString &message, const QUrl &server)
{
    return message.contains(QLatin1String("%1")) ? message.arg(DisplayAddress(server)) : message;
}

// Waits until the client has published `count` snapshots in all.
bool waitForSnapshots(QSignalSpy &spy, int count)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 30000);
}

} // namespace

TEST(PrometheusClient, ReadsEveryMachineWithOneQuery)
{
    FakeHttpServer server([](const FakeRequest &) { return json(goodAnswer()); });
    PrometheusClient client(connectionTo(server.Url()), everySecond());
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    client.Start();
    ASSERT_TRUE(waitForSnapshots(published, 1));

    const FleetSnapshot &snapshot = *client.Snapshot();
    EXPECT_EQ(figuresOf(snapshot), goodFigures);
    EXPECT_FALSE(snapshot.old);
    EXPECT_EQ(snapshot.problem, "");
    ASSERT_EQ(snapshot.machines.size(), 1u);
    EXPECT_EQ(snapshot.machines[0].filesystems[1].timeToFull, 7200s);

    ASSERT_EQ(server.Requests().size(), 1u);
    const FakeRequest &request = server.Requests()[0];
    EXPECT_EQ(request.method, "GET");
    const QUrl asked(QString::fromLatin1(request.target));
    EXPECT_EQ(asked.path(), QStringLiteral("/api/v1/query"));
    EXPECT_EQ(QUrl::fromPercentEncoding(asked.query(QUrl::FullyEncoded).mid(6).toLatin1()),
              QString::fromStdString(FleetQuery()));
    EXPECT_EQ(request.headers.value("authorization"),
              "Basic " + (QStringLiteral("anna:") + password).toUtf8().toBase64());
}

TEST(PrometheusClient, RefreshesAtTheServersScrapeInterval)
{
    const auto config = [](const char *yaml) {
        return QByteArray(R"({"status":"success","data":{"yaml":")") + yaml + "\"}}";
    };
    struct Row
    {
        const char *name;
        FakeResponse configAnswer;
        std::chrono::milliseconds interval;
    };
    const Row rows[] = {
        {"the server's global setting",
         json(config(R"(global:\n  scrape_interval: 2s\n  scrape_timeout: 1s\n)")), 2s},
        {"no such page (Thanos, VictoriaMetrics): 15 s",
         json(R"({"status":"error","error":"not found"})", 404), 15s},
        {"no scrape interval said: 15 s", json(config(R"(global:\n  external_labels: {}\n)")), 15s},
        {"below a second: a second", json(config(R"(global:\n  scrape_interval: 10ms\n)")), 1s},
    };
    for (const Row &row : rows) {
        FakeHttpServer server([&](const FakeRequest &request) {
            return request.target.startsWith("/api/v1/status/config") ? row.configAnswer
                                                                      : json(goodAnswer());
        });
        PrometheusClient client(connectionTo(server.Url()));
        QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
        client.Start();
        ASSERT_TRUE(waitForSnapshots(published, 1)) << row.name;
        EXPECT_EQ(client.Interval(), row.interval) << row.name;
        EXPECT_EQ(figuresOf(*client.Snapshot()), goodFigures) << row.name;
        // The configuration once, then the query.
        ASSERT_GE(server.Requests().size(), 2u) << row.name;
        EXPECT_TRUE(server.Requests()[0].target.startsWith("/api/v1/status/config")) << row.name;
        EXPECT_TRUE(server.Requests()[1].target.startsWith("/api/v1/query?")) << row.name;
    }
}

TEST(PrometheusClient, BadAnswersKeepTheLastFiguresMarkedOld)
{
    const auto page = [](int status) {
        FakeResponse response;
        response.status = status;
        response.contentType = "text/html";
        response.body = "<!DOCTYPE html><html><body><h1>Bitte anmelden</h1></body></html>";
        return response;
    };
    const auto huge = [](bool declared) {
        FakeResponse response = json(R"({"status":"success","data":{"resultType":"vector",)"
                                     R"("result":[)");
        response.streamBytes = qint64{200} << 20;
        response.declareLength = declared;
        return response;
    };
    const QByteArray error = R"({"status":"error","errorType":"unavailable","error":)";
    struct Row
    {
        const char *name;
        FakeResponse response;
        QString problem; // the server's address stands for %1
    };
    const Row rows[] = {
        {"malformed JSON", json(R"({"status":"success","data":{"resultType":)"),
         "Die Antwort des Servers ist kein gültiges JSON."},
        {"a web page", page(200),
         "Der Server antwortet mit einer Webseite statt mit Prometheus-Daten. Stimmt die Adresse?"},
        {"HTTP 401", json(error + R"("unauthorized"})", 401),
         "Anmeldung bei %1 abgelehnt (HTTP 401)."},
        {"HTTP 403", page(403), "Anmeldung bei %1 abgelehnt (HTTP 403)."},
        {"HTTP 500 with Prometheus' error",
         json(error + R"("query processing would load too many samples"})", 500),
         "Prometheus meldet einen Serverfehler (HTTP 500): query processing would load too many "
         "samples."},
        {"HTTP 503 with markup and a line break in the error",
         json(error + R"("<b>TSDB not ready</b>\n<img src=x>"})", 503),
         "Prometheus meldet einen Serverfehler (HTTP 503): <b>TSDB not ready</b>\uFFFD<img "
         "src=x>."},
        {"HTTP 502 from a proxy", page(502), "Prometheus meldet einen Serverfehler (HTTP 502)."},
        {"HTTP 422 for a query it cannot run",
         json(R"({"status":"error","errorType":"execution","error":"bad"})", 422),
         "Prometheus lehnt die Anfrage ab (HTTP 422): bad."},
        {"200 MB announced", huge(true),
         "Die Antwort von %1 ist größer als 64 MiB und wird nicht gelesen."},
        {"200 MB unannounced", huge(false),
         "Die Antwort von %1 ist größer als 64 MiB und wird nicht gelesen."},
        {"a redirect nowhere",
         [] {
             FakeResponse response = json("", 302);
             return response;
         }(),
         "%1 leitet um, ohne zu sagen wohin."},
    };
    for (const Row &row : rows) {
        int answered = 0;
        FakeHttpServer server([&](const FakeRequest &) {
            return answered++ == 0 ? json(goodAnswer()) : row.response;
        });
        PrometheusClient client(connectionTo(server.Url()), everySecond());
        QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
        client.Start();
        ASSERT_TRUE(waitForSnapshots(published, 1)) << row.name;
        client.Refresh();
        ASSERT_TRUE(waitForSnapshots(published, 2)) << row.name;

        const FleetSnapshot &snapshot = *client.Snapshot();
        EXPECT_EQ(QString::fromStdString(snapshot.problem), naming(row.problem, server.Url()))
            << row.name;
        EXPECT_TRUE(snapshot.old) << row.name;
        EXPECT_EQ(figuresOf(snapshot), goodFigures) << row.name;
        EXPECT_FALSE(QString::fromStdString(snapshot.problem).contains(password)) << row.name;
    }
}

TEST(PrometheusClient, OddValuesAndLabelsAreData)
{
    const QByteArray body = QByteArray::fromStdString(FleetAnswerOf({
        FilesystemSeries("b", "/nan", "size", "NaN"),
        FilesystemSeries("b", "/nan", "avail", "1"),
        FilesystemSeries("b", "/inf", "size", "+Inf"),
        FilesystemSeries("b", "/inf", "avail", "1"),
        FilesystemSeries("b", "/neg", "size", "100"),
        FilesystemSeries("b", "/neg", "avail", "-5"),
        FilesystemSeries("b", "/<b>x</b>", "size", "100"),
        FilesystemSeries("b", "/<b>x</b>", "avail", "60"),
        FilesystemSeries("b", "/<b>x</b>", "size", "999"),
        FilesystemSeries("b", R"(/<img src=\"y\">\u202e\u0007)", "size", "100"),
        FilesystemSeries("b", R"(/<img src=\"y\">\u202e\u0007)", "avail", "50"),
    }));
    FakeHttpServer server([&](const FakeRequest &) { return json(body); });
    PrometheusClient client(connectionTo(server.Url()), everySecond());
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    client.Start();
    ASSERT_TRUE(waitForSnapshots(published, 1));
    EXPECT_EQ(figuresOf(*client.Snapshot()),
              "b: /<b>x</b> 100/60 /<img src=\"y\">\u202e\x07 100/50");
    EXPECT_EQ(PlainLine(client.Snapshot()->machines[0].filesystems[1].mountPoint),
              "/<img src=\"y\">\uFFFD\uFFFD");
}

TEST(PrometheusClient, ANeverAnsweringServerEndsByTheDeadline)
{
    FakeHttpServer server([](const FakeRequest &) {
        FakeResponse response;
        response.silent = true;
        return response;
    });
    PrometheusClient::Limits limits = everySecond();
    limits.timeout = 1500ms;
    PrometheusClient client(connectionTo(server.Url()), limits);
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { ++ticks; });
    ticker.start(20);

    client.Start();
    EXPECT_EQ(published.count(), 0); // nothing waited for in the call
    ASSERT_TRUE(waitForSnapshots(published, 1));
    EXPECT_EQ(client.Snapshot()->problem, DisplayAddress(server.Url()).toStdString() +
                                              " antwortet nicht innerhalb von 1500 ms.");
    EXPECT_TRUE(client.Snapshot()->old);
    EXPECT_GT(ticks, 0); // the event loop went on meanwhile
}

TEST(PrometheusClient, AServerNotListeningIsUnreachable)
{
    PrometheusConnection connection =
        connectionTo(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(FreeLoopbackPort())));
    PrometheusClient client(connection, everySecond());
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    client.Start();
    ASSERT_TRUE(waitForSnapshots(published, 1));
    EXPECT_EQ(QString::fromStdString(client.Snapshot()->problem),
              DisplayAddress(connection.url) + " ist nicht erreichbar (Verbindung abgelehnt).");
}

TEST(PrometheusClient, CredentialsStayWithTheirServer)
{
    // Another host: another loopback address, so that only the host differs, not the machine.
    FakeHttpServer elsewhere([](const FakeRequest &) { return json(goodAnswer()); },
                             QHostAddress(QStringLiteral("127.0.0.2")));
    ASSERT_TRUE(elsewhere.isListening()) << "127.0.0.2 is not usable here";
    struct Row
    {
        const char *name;
        bool toElsewhere;
        bool credentialsThere;
    };
    const Row rows[] = {
        {"a redirect within the server keeps them", false, true},
        {"a redirect to another host drops them", true, false},
    };
    for (const Row &row : rows) {
        QUrl target;
        FakeHttpServer server([&](const FakeRequest &request) {
            if (request.target.startsWith("/moved"))
                return json(goodAnswer());
            FakeResponse response = json("", 307);
            response.headers.append(
                qMakePair(QByteArray("Location"), QByteArray(target.toEncoded())));
            return response;
        });
        target = row.toElsewhere ? elsewhere.Url() : server.Url();
        target.setPath(row.toElsewhere ? QStringLiteral("/api/v1/query")
                                       : QStringLiteral("/moved"));
        const size_t before = elsewhere.Requests().size();
        PrometheusClient client(connectionTo(server.Url()), everySecond());
        QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
        client.Start();
        ASSERT_TRUE(waitForSnapshots(published, 1)) << row.name;
        EXPECT_EQ(figuresOf(*client.Snapshot()), goodFigures) << row.name;

        const FakeRequest &second =
            row.toElsewhere ? elsewhere.Requests().at(before) : server.Requests().at(1);
        EXPECT_TRUE(server.Requests().at(0).headers.contains("authorization")) << row.name;
        EXPECT_EQ(second.headers.contains("authorization"), row.credentialsThere) << row.name;
        for (const QByteArray &value : second.headers)
            EXPECT_FALSE(value.contains(password.toUtf8().toBase64())) << row.name;
    }
}

TEST(PrometheusClient, ABearerTokenComesFromItsFile)
{
    QTemporaryDir folder;
    const QString tokenFile = folder.filePath(QStringLiteral("token"));
    QFile file(tokenFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("eyJhbGciOi.token.value\n");
    file.close();

    FakeHttpServer server([](const FakeRequest &) { return json(goodAnswer()); });
    PrometheusConnection connection;
    connection.url = server.Url();
    connection.tokenFile = tokenFile;
    PrometheusClient client(connection, everySecond());
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    client.Start();
    ASSERT_TRUE(waitForSnapshots(published, 1));
    EXPECT_EQ(server.Requests().at(0).headers.value("authorization"),
              "Bearer eyJhbGciOi.token.value");

    connection.tokenFile = folder.filePath(QStringLiteral("missing"));
    PrometheusClient without(connection, everySecond());
    QSignalSpy failed(&without, &PrometheusClient::SnapshotChanged);
    without.Start();
    ASSERT_TRUE(waitForSnapshots(failed, 1));
    EXPECT_EQ(
        QString::fromStdString(without.Snapshot()->problem),
        QStringLiteral("Die Token-Datei %1 kann nicht gelesen werden.").arg(connection.tokenFile));
    EXPECT_EQ(server.Requests().size(), 1u); // nothing sent without it
}

TEST(PrometheusClient, CertificatesAreCheckedNeverSkipped)
{
    const TestCertificate certificate;
    if (certificate.certificate.isEmpty())
        GTEST_SKIP() << "openssl is not installed: no certificate to test with";
    FakeHttpServer server(
        [](const FakeRequest &request) {
            if (request.target.startsWith("/plain")) {
                FakeResponse response = json("", 301);
                response.headers.append(qMakePair(QByteArray("Location"),
                                                  QByteArray("http://127.0.0.1:1/api/v1/query")));
                return response;
            }
            return json(goodAnswer());
        },
        QHostAddress::LocalHost, certificate.certificate, certificate.key);

    struct Row
    {
        const char *name;
        QString caFile;
        QString path;
        QString problem;
    };
    const Row rows[] = {
        {"a certificate no CA vouches for",
         {},
         {},
         "Die sichere Verbindung zu %1 ist gescheitert: "},
        {"trusted through the CA file", certificate.certificate, {}, ""},
        {"no step down to plain HTTP", certificate.certificate, "/plain",
         "%1 leitet auf eine unverschlüsselte Adresse um; dem folgt Volumo nicht."},
        {"a CA file that holds none",
         certificate.key,
         {},
         "Die CA-Datei " + certificate.key + " enthält kein lesbares Zertifikat."},
    };
    for (const Row &row : rows) {
        PrometheusConnection connection = connectionTo(server.Url());
        connection.url.setPath(row.path);
        connection.caFile = row.caFile;
        PrometheusClient client(connection, everySecond());
        QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
        client.Start();
        ASSERT_TRUE(waitForSnapshots(published, 1)) << row.name;
        // Qt's own words for what is wrong with the certificate follow.
        const QString problem = QString::fromStdString(client.Snapshot()->problem);
        EXPECT_TRUE(problem.startsWith(naming(row.problem, connection.url)))
            << row.name << ": " << problem.toStdString();
        EXPECT_EQ(problem.isEmpty(), row.problem.isEmpty()) << row.name;
        EXPECT_EQ(client.Snapshot()->machines.size(), row.problem.isEmpty() ? 1u : 0u) << row.name;
    }
}

TEST(PrometheusConnection, AddressesAsTyped)
{
    struct Row
    {
        const char *name;
        QString text;
        QString url;
        QString user;
        QString password;
        bool problem;
    };
    const Row rows[] = {
        {"plain", "http://prometheus:9090", "http://prometheus:9090", "", "", false},
        {"with a path", " https://monitor.example/prometheus/ ",
         "https://monitor.example/prometheus/", "", "", false},
        {"credentials move out of the address", "https://anna:" + password + "@prom:9090",
         "https://prom:9090", "anna", password, false},
        {"no scheme but a host", "prometheus.example", "http://prometheus.example", "", "", false},
        {"another scheme", "ftp://prom", "", "", "", true},
        {"nothing", "  ", "", "", "", true},
    };
    for (const Row &row : rows) {
        const ParsedAddress parsed = ParsePrometheusAddress(row.text);
        EXPECT_EQ(!parsed.problem.isEmpty(), row.problem) << row.name;
        if (row.problem)
            continue;
        EXPECT_EQ(parsed.connection.url.toString(), row.url) << row.name;
        EXPECT_EQ(parsed.connection.user, row.user) << row.name;
        EXPECT_EQ(parsed.connection.password, row.password) << row.name;
        EXPECT_FALSE(DisplayAddress(parsed.connection.url).contains(password)) << row.name;
    }
}

TEST(PrometheusConnection, RememberedWithoutThePassword)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("volumo.conf"));
    PrometheusConnection connection;
    connection.url = QUrl(QStringLiteral("https://prom.example:9090/sub"));
    connection.user = QStringLiteral("anna");
    connection.password = password;
    connection.tokenFile = QStringLiteral("/etc/volumo/token");
    connection.caFile = QStringLiteral("/etc/volumo/ca.pem");
    {
        QSettings settings(path, QSettings::IniFormat);
        SavePrometheusConnection(settings, connection);
        EXPECT_EQ(settings.status(), QSettings::NoError);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_FALSE(written.contains(password.toUtf8()));
    EXPECT_FALSE(written.contains(password.toUtf8().toBase64()));
    EXPECT_TRUE(written.contains("prom.example"));

    const QSettings settings(path, QSettings::IniFormat);
    PrometheusConnection expected = connection;
    expected.password.clear();
    EXPECT_EQ(LoadPrometheusConnection(settings), expected);
}
