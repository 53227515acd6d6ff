// From a mount to the new drive window painted: the real program on the host's volumes and its
// watcher, a 3 GiB RAM disk mounted and unmounted again each round. Needs a private mount
// namespace: run it through tests/private_mounts, as root, on a real display (Xvfb will do):
//   private_mounts -- build/bench/live_bench --benchmark_repetitions=20
#include "Main.h"
#include "Program.h"
#include "application.h"
#include "volume_source_linux.h"
#include "volume_watcher.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

// Notes when a chart standing for the mount point is first painted.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QString point) : point(std::move(point)) {}

    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!painted && event->type() == QEvent::Paint && watched->inherits("TDBChart")) {
            const auto *chart = static_cast<QWidget *>(watched);
            painted = chart->statusTip().contains(point);
        }
        return false;
    }

private:
    QString point;
};

bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void MountToWindowOnScreen(benchmark::State &state)
{
    const char *folder = std::getenv("VOLUMO_MOUNTS");
    if (!folder) {
        state.SkipWithError("not in a private mount namespace (run through private_mounts)");
        return;
    }
    const std::string point = std::string(folder) + "/live";
    ::mkdir(point.c_str(), 0755);
    LinuxVolumeSource volumes;
    VolumeWatcher changes;
    Program program(volumes, &changes);
    program.Show();
    waitFor([&] { return program.Main().MDIChildCount() > 0; }, 5000);
    QTest::qWait(500);

    for (auto _ : state) {
        PaintWatch watch(QStringLiteral(" = %1 (").arg(QString::fromStdString(point)));
        QCoreApplication::instance()->installEventFilter(&watch);
        QElapsedTimer clock;
        clock.start();
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=3g") != 0) {
            state.SkipWithError("tmpfs cannot be mounted");
            break;
        }
        const bool shown = waitFor([&] { return watch.painted; }, 3000);
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        QCoreApplication::instance()->removeEventFilter(&watch);
        const int windows = program.Main().MDIChildCount();
        ::umount2(point.c_str(), 0);
        if (!shown) {
            state.SkipWithError("no window within 3 s");
            break;
        }
        // Gone again, and quiet, before the next round.
        waitFor([&] { return program.Main().MDIChildCount() < windows; }, 3000);
        QTest::qWait(400);
    }
}
BENCHMARK(MountToWindowOnScreen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
