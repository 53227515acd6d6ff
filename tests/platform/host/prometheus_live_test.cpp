// The Prometheus client against the real thing: Debian's prometheus scraping every second one
// prometheus-node-exporter per simulated machine, each machine's volumes tmpfs volumes of this
// test's private mount namespace (private_mounts, as root): host-a with a 2 GiB "/" and a 5 GiB
// /data, host-b with 3 GiB and 7 GiB.
#include "prometheus_client.h"
#include "prometheus_fixture.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr int64_t gib = int64_t{1} << 30;

const Machine *machineNamed(const FleetSnapshot &snapshot, const std::string &instance)
{
    for (const Machine &machine : snapshot.machines) {
        if (machine.instance == instance)
            return &machine;
    }
    return nullptr;
}

// "/ 3221225472/3221225472; /data ...": a machine's figures, or what is missing.
std::string figuresOf(const FleetSnapshot &snapshot, const std::string &instance)
{
    const Machine *machine = machineNamed(snapshot, instance);
    if (!machine)
        return "no " + instance;
    std::string text;
    for (const RemoteFilesystem &fs : machine->filesystems) {
        text += text.empty() ? "" : "; ";
        text += fs.mountPoint + " " + std::to_string(fs.sizeBytes) + "/" +
                std::to_string(fs.availBytes);
    }
    return text;
}

std::string figures(int64_t rootSize, int64_t rootFree, int64_t dataSize, int64_t dataFree)
{
    return "/ " + std::to_string(rootSize) + "/" + std::to_string(rootFree) + "; /data " +
           std::to_string(dataSize) + "/" + std::to_string(dataFree);
}

// Two machines and the server that scrapes them, started for one test.
class LiveFleet : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString reason = TwoMachines::SkipReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        machines = std::make_unique<TwoMachines>();
        ASSERT_TRUE(machines->failure.isEmpty()) << machines->failure.toStdString();
        hostA = machines->hostA.get();
        hostB = machines->hostB.get();
        prometheus = machines->prometheus.get();

        PrometheusConnection connection;
        connection.url = prometheus->Url();
        client = std::make_unique<PrometheusClient>(connection);
        published = std::make_unique<QSignalSpy>(client.get(), &PrometheusClient::SnapshotChanged);
        client->Start();
    }

    // Waits for a snapshot the condition holds for, at most `refreshes` more of them.
    bool waitUntil(const std::function<bool(const FleetSnapshot &)> &condition, int refreshes = 30)
    {
        const qsizetype last = published->count() + refreshes;
        return QTest::qWaitFor(
                   [&] { return condition(*client->Snapshot()) || published->count() >= last; },
                   60000) &&
               condition(*client->Snapshot());
    }

    std::unique_ptr<TwoMachines> machines;
    NodeExporter *hostA = nullptr;
    NodeExporter *hostB = nullptr;
    PrometheusServer *prometheus = nullptr;
    std::unique_ptr<PrometheusClient> client;
    std::unique_ptr<QSignalSpy> published;
};

} // namespace

TEST_F(LiveFleet, AMachinesExactFiguresAndFillingFollows)
{
    const std::string b = figures(3 * gib, 3 * gib, 7 * gib, 7 * gib);
    ASSERT_TRUE(waitUntil([&](const FleetSnapshot &s) { return figuresOf(s, "host-b") == b; }))
        << figuresOf(*client->Snapshot(), "host-b");
    EXPECT_EQ(client->Interval(), 1s); // the server's scrape interval
    const FleetSnapshot &first = *client->Snapshot();
    EXPECT_EQ(figuresOf(first, "host-a"), figures(2 * gib, 2 * gib, 5 * gib, 5 * gib));
    EXPECT_TRUE(machineNamed(first, "host-b")->up);
    EXPECT_EQ(RemoteDrives(machineNamed(first, "host-b")->filesystems),
              (std::vector<RemoteDrive>{{'C', 0}, {'D', 1}}));

    // 64 MiB written to host-b's /data: within two refreshes after the write, and one that may
    // have been under way while it was written.
    QFile file(machines->mounts + "/b/data/fill");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(64 << 20, 'x')), 64 << 20);
    file.close();
    const std::string filled = figures(3 * gib, 3 * gib, 7 * gib, 7 * gib - (64 << 20));
    EXPECT_TRUE(
        waitUntil([&](const FleetSnapshot &s) { return figuresOf(s, "host-b") == filled; }, 3))
        << figuresOf(*client->Snapshot(), "host-b");

    // Prometheus' own history now has /data falling: a time to full, and none for the others.
    EXPECT_TRUE(waitUntil([](const FleetSnapshot &s) {
        const Machine *machine = machineNamed(s, "host-b");
        return machine && machine->filesystems.size() == 2 &&
               machine->filesystems[1].timeToFull.has_value();
    }));
    EXPECT_FALSE(machineNamed(*client->Snapshot(), "host-b")->filesystems[0].timeToFull);
    EXPECT_FALSE(machineNamed(*client->Snapshot(), "host-a")->filesystems[1].timeToFull);
}

TEST_F(LiveFleet, AStoppedExporterIsUnreachableWithItsLastFigures)
{
    const std::string b = figures(3 * gib, 3 * gib, 7 * gib, 7 * gib);
    ASSERT_TRUE(waitUntil([&](const FleetSnapshot &s) { return figuresOf(s, "host-b") == b; }));
    const std::optional<FleetTime> seen = machineNamed(*client->Snapshot(), "host-b")->lastSeen;
    ASSERT_TRUE(seen);

    hostB->Stop();
    ASSERT_TRUE(waitUntil([](const FleetSnapshot &s) { return !machineNamed(s, "host-b")->up; }));
    const FleetSnapshot &snapshot = *client->Snapshot();
    const Machine &machine = *machineNamed(snapshot, "host-b");
    EXPECT_EQ(figuresOf(snapshot, "host-b"), b); // never zero, never empty
    ASSERT_TRUE(machine.lastSeen);
    EXPECT_GE(*machine.lastSeen, *seen);
    EXPECT_LT(*machine.lastSeen, *snapshot.fetchedAt);
    EXPECT_TRUE(machineNamed(snapshot, "host-a")->up);
    EXPECT_FALSE(snapshot.old);
}

TEST_F(LiveFleet, AStoppedServerLeavesTheFiguresMarkedOld)
{
    const std::string b = figures(3 * gib, 3 * gib, 7 * gib, 7 * gib);
    ASSERT_TRUE(waitUntil([&](const FleetSnapshot &s) { return figuresOf(s, "host-b") == b; }));
    const std::optional<FleetTime> fetched = client->Snapshot()->fetchedAt;

    prometheus->Stop();
    ASSERT_TRUE(waitUntil([](const FleetSnapshot &s) { return s.old; }));
    const FleetSnapshot &snapshot = *client->Snapshot();
    EXPECT_EQ(figuresOf(snapshot, "host-b"), b);
    EXPECT_EQ(figuresOf(snapshot, "host-a"), figures(2 * gib, 2 * gib, 5 * gib, 5 * gib));
    EXPECT_GE(snapshot.fetchedAt, fetched);
    EXPECT_EQ(QString::fromStdString(snapshot.problem),
              DisplayAddress(prometheus->Url()) + " ist nicht erreichbar (Verbindung abgelehnt).");
}
