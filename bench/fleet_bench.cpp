// Reading a fleet of 2,000 machines with 8 filesystems each: the answer parsed and mapped to
// drive letters alone; then a whole refresh of the Prometheus client, once from a scripted server
// in another process handing it the same generated answer and once from Debian's prometheus
// filled with that fleet's history by promtool. For the refreshes: the longest time the calling
// (GUI) thread was kept from its event loop, the peak memory of a refresh above what the process
// held before it, and the peak above what it held before the client was made (Qt Network and its
// TLS back end loaded, the reader's thread, the snapshot kept, what the allocator keeps).
#include "fleet_answers.h"
#include "prometheus_answer.h"
#include "prometheus_client.h"
#include "prometheus_fixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int machines = 2000;
constexpr int filesystemsEach = 8;

// Resident and peak resident memory of this process, in bytes.
int64_t statusField(const char *name)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name, 0) == 0)
            return std::stoll(line.substr(std::strlen(name))) * 1024;
    }
    return 0;
}

// The processor time this thread has used, in nanoseconds.
int64_t threadWork()
{
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

// Sets the peak back to what is resident now (Linux: 5 to clear_refs).
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Parsed and mapped once: the drive letters of all machines.
size_t readAndMap(const std::string &body)
{
    FleetReading reading = ReadFleetAnswer(body, FleetTime(std::chrono::milliseconds(1)));
    const FleetSnapshot snapshot =
        NextSnapshot({}, std::move(*reading.answer), std::chrono::seconds(15));
    size_t drives = 0;
    for (const Machine &machine : snapshot.machines)
        drives += RemoteDrives(machine.filesystems).size();
    return drives;
}

void ReadAndMapFleet(benchmark::State &state)
{
    const std::string body = GeneratedFleetAnswer(machines, filesystemsEach);
    // The peak of the first reading in this process, before the allocator keeps any of it: each
    // later one finds the memory of the one before.
    static const int64_t firstPeak = [&] {
        const int64_t before = statusField("VmRSS:");
        resetPeak();
        benchmark::DoNotOptimize(readAndMap(body));
        return statusField("VmHWM:") - before;
    }();
    size_t drives = 0;
    for (auto _ : state) {
        drives = readAndMap(body);
        benchmark::DoNotOptimize(drives);
    }
    state.counters["peak_MB"] = static_cast<double>(firstPeak) / 1e6;
    state.counters["drives"] = static_cast<double>(drives);
    state.counters["answer_MB"] = static_cast<double>(body.size()) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(ReadAndMapFleet)->Unit(benchmark::kMillisecond);

// The scripted server in a process of its own (this program, started with --serve-fleet), so
// that serving costs the measured thread nothing and its buffers count in no peak of ours.
class ServerProcess
{
public:
    ServerProcess()
    {
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve-fleet")});
        if (process.waitForReadyRead(60000))
            url = QUrl(QString::fromLatin1(process.readLine().trimmed()));
    }
    ~ServerProcess()
    {
        process.kill();
        process.waitForFinished();
    }

    QUrl url;

private:
    QProcess process;
};

int serveFleet()
{
    const QByteArray body =
        QByteArray::fromStdString(GeneratedFleetAnswer(machines, filesystemsEach));
    FakeHttpServer server([&](const FakeRequest &) {
        FakeResponse response;
        response.body = body;
        return response;
    });
    std::printf("%s\n", server.Url().toString().toLatin1().constData());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Runs the event loop until the client publishes a snapshot, or for `ms` at most. (QTest's
// waiting sleeps between its rounds of events, which would count as the thread blocked.)
void runLoop(PrometheusClient *client, int ms)
{
    QEventLoop loop;
    if (client)
        QObject::connect(client, &PrometheusClient::SnapshotChanged, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One refresh after another, each timed to its published snapshot, while a timer every
// millisecond watches how long the thread goes without turning to its events.
void refreshes(benchmark::State &state, const QUrl &url, size_t expectedMachines)
{
    // The peak counts from before the client is made: its snapshots, the answers and the
    // reading of them, whatever the allocator keeps between refreshes.
    const int64_t before = statusField("VmRSS:");
    resetPeak();
    PrometheusConnection connection;
    connection.url = url;
    PrometheusClient::Limits limits;
    limits.interval = std::chrono::hours(1); // refreshed here, not by the timer
    limits.timeout = std::chrono::seconds(60);
    PrometheusClient client(connection, limits);
    QSignalSpy published(&client, &PrometheusClient::SnapshotChanged);
    client.Start();
    const bool answered = QTest::qWaitFor([&] { return published.count() == 1; }, 120000);
    int64_t clientPeak = statusField("VmHWM:") - before;
    if (!answered || client.Snapshot()->machines.size() != expectedMachines) {
        state.SkipWithError(("the first refresh gave " +
                             std::to_string(client.Snapshot()->machines.size()) +
                             " machines: " + client.Snapshot()->problem)
                                .c_str());
        return;
    }

    // Between two ticks: the time gone (the machine's other work included) and the time this
    // thread itself worked.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    int64_t lastWork = 0;
    qint64 longest = 0;
    int64_t longestWork = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        const qint64 now = clock.nsecsElapsed();
        const int64_t work = threadWork();
        longest = std::max(longest, now - lastTick);
        longestWork = std::max(longestWork, work - lastWork);
        lastTick = now;
        lastWork = work;
    });
    // What the machine's own scheduling costs the thread, with nothing to do, for comparison.
    clock.start();
    watch.start(1);
    lastWork = threadWork();
    runLoop(nullptr, 1000);
    watch.stop();
    state.counters["idle_longest_gap_ms"] = static_cast<double>(longest) / 1e6;
    longest = 0;
    longestWork = 0;

    int64_t refreshPeak = 0;
    for (auto _ : state) {
        const int64_t resident = statusField("VmRSS:");
        resetPeak();
        const qsizetype count = published.count();
        clock.start();
        lastTick = 0;
        lastWork = threadWork();
        watch.start(1);
        client.Refresh();
        runLoop(&client, 120000);
        if (published.count() == count) {
            state.SkipWithError("no answer");
            return;
        }
        watch.stop();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        refreshPeak = std::max(refreshPeak, statusField("VmHWM:") - resident);
        clientPeak = std::max(clientPeak, statusField("VmHWM:") - before);
    }
    state.counters["longest_gap_ms"] = static_cast<double>(longest) / 1e6;
    state.counters["longest_block_ms"] = static_cast<double>(longestWork) / 1e6;
    state.counters["refresh_peak_MB"] = static_cast<double>(refreshPeak) / 1e6;
    state.counters["client_peak_MB"] = static_cast<double>(clientPeak) / 1e6;
    state.counters["machines"] = static_cast<double>(client.Snapshot()->machines.size());
}

void RefreshFromScriptedServer(benchmark::State &state)
{
    ServerProcess server;
    refreshes(state, server.url, machines);
}
BENCHMARK(RefreshFromScriptedServer)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// The fleet's last hour in OpenMetrics, a sample every ten minutes up to 15 s ago: each
// machine's up and its filesystems' size, free space and read-only flag, the first three
// filling up.
QByteArray openMetricsHistory()
{
    const qint64 end = QDateTime::currentSecsSinceEpoch() - 15;
    QByteArray text;
    text.reserve(64 << 20);
    const auto family = [&](const char *name, auto &&valueAt) {
        text += QByteArray("# TYPE ") + name + " gauge\n";
        for (int m = 0; m < machines; ++m) {
            for (int f = 0; f < (std::strcmp(name, "up") == 0 ? 1 : filesystemsEach); ++f) {
                QByteArray labels = "{instance=\"host-" +
                                    QByteArray::number(m).rightJustified(4, '0') +
                                    ".example.net:9100\",job=\"node\"";
                if (std::strcmp(name, "up") != 0)
                    labels += ",device=\"/dev/sd" + QByteArray(1, char('a' + f)) +
                              "1\",fstype=\"ext4\",mountpoint=\"" +
                              (f == 0 ? QByteArray("/") : "/srv/data" + QByteArray::number(f)) +
                              "\"";
                labels += "}";
                for (int step = 6; step >= 0; --step) {
                    const qint64 time = end - step * 600;
                    text += name + labels + " " + QByteArray::number(valueAt(m, f, step)) + " " +
                            QByteArray::number(time) + "\n";
                }
            }
        }
    };
    const auto size = [](int, int f, int) {
        return double(int64_t{100} << 30) * (f + 1);
    };
    family("node_filesystem_size_bytes", size);
    family("node_filesystem_avail_bytes", [&](int m, int f, int step) {
        const double full = size(m, f, step);
        return f < 3 ? full * (0.2 + 0.01 * step) : full * 0.6;
    });
    family("node_filesystem_readonly", [](int, int, int) { return 0.0; });
    family("up", [](int, int, int) { return 1.0; });
    text += "# EOF\n";
    return text;
}

void RefreshFromPrometheus(benchmark::State &state)
{
    if (const QString reason = PrometheusSkipReason(); !reason.isEmpty()) {
        state.SkipWithError(reason.toStdString().c_str());
        return;
    }
    QTemporaryDir folder;
    const QString history = folder.filePath(QStringLiteral("history.om"));
    QFile file(history);
    if (!file.open(QIODevice::WriteOnly) || file.write(openMetricsHistory()) < 0) {
        state.SkipWithError("cannot write the history");
        return;
    }
    file.close();
    const QString data = folder.filePath(QStringLiteral("data"));
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    promtool.setStandardOutputFile(QProcess::nullDevice());
    promtool.start(QStringLiteral("promtool"),
                   {"tsdb", "create-blocks-from", "openmetrics", history, data});
    if (!promtool.waitForFinished(600000) || promtool.exitCode() != 0) {
        state.SkipWithError("promtool could not make the blocks");
        return;
    }
    PrometheusServer prometheus({}, data);
    if (!prometheus.Ready()) {
        state.SkipWithError("prometheus did not start on the blocks");
        return;
    }
    refreshes(state, prometheus.Url(), machines);
}
BENCHMARK(RefreshFromPrometheus)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--serve-fleet") == 0)
        return serveFleet();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
