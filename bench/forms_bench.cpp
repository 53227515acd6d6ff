// The refresh that rebuilds 24 drive windows beside creating and tiling 24 bare sub-windows;
// start-up to the first complete frame beside a bare main window with an empty MDI area; and
// the peak memory of both, each measured in a process of its own. Then the live program: a
// sample of 24 drive windows whose figures stay as they are, and how often the idle program
// wakes up, on the screen and minimised; and showing another machine's 8 volumes beside a
// refresh of this machine's 8.
#include "Main.h"
#include "Program.h"
#include "application.h"
#include "host_volume_source.h"
#include "remote_volume_source.h"
#include "volume_sampler.h"
#include "volume_source_fake.h"
#include "volume_watcher.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

FakeVolumeSource twentyFourDrives()
{
    FakeVolumeSource drives;
    for (char16_t letter = u'C'; letter <= u'Z'; ++letter)
        drives.setDriveGB(letter, 931 + letter, 400);
    return drives;
}

// One refresh, with the event loop run until the closed windows are gone; kept out of line so
// that an instruction count (callgrind --toggle-collect=*refreshOnce*) can find it.
[[gnu::noinline]] void refreshOnce(TMainForm &main)
{
    main.AktualisierenClick(&main);
    settle(); // the closed windows go once the loop runs again
}

// The baseline runs in a process of its own with a plain QApplication, so that nothing of
// ours (application, style, fonts) makes it faster or slower: 24 bare sub-windows created and
// tiled, the old ones deleted, painted.
[[gnu::noinline]] void bareRound(QMdiArea *area)
{
    for (QMdiSubWindow *old : area->subWindowList())
        old->deleteLater();
    for (int i = 0; i < 24; ++i) {
        auto *sub = area->addSubWindow(new QWidget);
        sub->show();
        sub->setGeometry((i % 3) * 320, (i / 3) * 323, 320, 323);
    }
    settle();
}

// In the baseline's process: one round per line read, its seconds printed back; `rounds`
// (for an instruction count) runs that many rounds without asking.
int bareSubWindows(int rounds)
{
    QMainWindow window;
    auto *area = new QMdiArea;
    window.setCentralWidget(area);
    window.resize(984, 741);
    window.show();
    bareRound(area); // warming up
    char line[16];
    for (int round = 0;
         rounds > 0 ? round < rounds : std::fgets(line, sizeof line, stdin) != nullptr; ++round) {
        const auto begin = std::chrono::steady_clock::now();
        bareRound(area);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        std::printf("%.9f\n", took.count());
        std::fflush(stdout);
    }
    return 0;
}

const char *self = nullptr;

// A child process of this program, spoken to line by line through its standard streams.
class Child
{
public:
    explicit Child(const std::string &mode)
    {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char *const arguments[] = {const_cast<char *>(self), const_cast<char *>(mode.c_str()),
                                   nullptr};
        if (posix_spawn(&pid, self, &actions, nullptr, arguments, environ) != 0)
            pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild = fdopen(in[1], "w");
        fromChild = fdopen(out[0], "r");
    }
    ~Child()
    {
        if (toChild)
            std::fclose(toChild);
        if (fromChild)
            std::fclose(fromChild);
        if (pid > 0)
            waitpid(pid, nullptr, 0);
    }

    // Asks for one measurement; negative when the child gave none.
    double Ask()
    {
        double seconds = -1;
        if (!toChild || !fromChild || std::fputs("\n", toChild) < 0 || std::fflush(toChild) != 0 ||
            std::fscanf(fromChild, "%lf", &seconds) != 1)
            return -1;
        return seconds;
    }

private:
    pid_t pid = 0;
    FILE *toChild = nullptr;
    FILE *fromChild = nullptr;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of the ratios of pairs taken side by side: a burst of load from elsewhere slows
// both of a pair alike.
double pairedRatio(const std::vector<double> &ours, const std::vector<double> &baseline)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < std::min(ours.size(), baseline.size()); ++i)
        ratios.push_back(ours[i] / baseline[i]);
    return median(ratios);
}

// Each refresh is followed by one round of the baseline, so that both see the same machine:
// the time is ours, the baseline's median and our ratio to it are counters.
void Refresh24DriveWindows(benchmark::State &state)
{
    FakeVolumeSource drives = twentyFourDrives();
    Program program(drives);
    TMainForm &main = program.Main();
    main.show();
    main.AktualisierenClick(&main);
    settle();
    Child bare("--bare-subwindows=0");
    std::vector<double> ours;
    std::vector<double> baseline;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        refreshOnce(main);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(took.count());
        ours.push_back(took.count());
        const double seconds = bare.Ask();
        if (seconds < 0) {
            state.SkipWithError("the baseline process gave no figure");
            break;
        }
        baseline.push_back(seconds);
    }
    state.counters["windows"] = main.MDIChildCount();
    state.counters["bare_ms"] = median(baseline) * 1000;
    state.counters["ratio"] = pairedRatio(ours, baseline);
}

// Start-up as a user meets it: from starting the process to the first complete frame of the
// main window, measured around a child process that stops right after that frame.
double startUpSeconds(const char *self, const char *which)
{
    const std::string mode = std::string("--startup=") + which;
    char *const arguments[] = {const_cast<char *>(self), const_cast<char *>(mode.c_str()), nullptr};
    const auto begin = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, self, nullptr, nullptr, arguments, environ) != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Our start-up and the bare window's, taken in turns; and, for comparison, the bare window with
// a menu bar of one entry, which is all it takes for a start-up to read the font configuration
// and load a font (the bare window draws no text at all).
void StartUpToFirstFrame(benchmark::State &state)
{
    std::vector<double> ours;
    std::vector<double> baseline;
    std::vector<double> withText;
    for (auto _ : state) {
        const double seconds = startUpSeconds(self, "volumo");
        state.SetIterationTime(seconds);
        ours.push_back(seconds);
        baseline.push_back(startUpSeconds(self, "bare"));
        withText.push_back(startUpSeconds(self, "bare-menu"));
    }
    state.counters["bare_ms"] = median(baseline) * 1000;
    state.counters["ratio"] = pairedRatio(ours, baseline);
    state.counters["bare_menu_ms"] = median(withText) * 1000;
    state.counters["bare_menu_ratio"] = pairedRatio(withText, baseline);
}

// Ends the process as soon as a shown window's first complete frame is painted. A frame is
// painted while the window handles an expose event (the first) or an update request (later
// ones); once `complete` holds at either, the process ends right after that event.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget *window, std::function<bool()> complete)
        : window(window), complete(std::move(complete))
    {
        window->installEventFilter(this);
        window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool paints = (watched == window && event->type() == QEvent::UpdateRequest) ||
                            (watched == window->windowHandle() && event->type() == QEvent::Expose);
        if (paints && complete()) {
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget *window;
    std::function<bool()> complete;
};

// In the child: the program as the program block starts it, up to its first complete frame
// (the main window with its drive windows), then out at once.
int startUp(const char *which)
{
    if (std::strcmp(which, "volumo") == 0) {
        const std::unique_ptr<VolumeSource> host = CreateHostVolumeSource();
        Program program(*host);
        program.Show();
        TMainForm &main = program.Main();
        FirstFrame frame(&main, [&] { return main.MDIChildCount() > 0; });
        return QApplication::exec();
    }
    QMainWindow window;
    if (std::strcmp(which, "bare-menu") == 0)
        window.menuBar()->addMenu(QStringLiteral("Datei"));
    window.setCentralWidget(new QMdiArea);
    window.resize(984, 741);
    window.show();
    window.activateWindow();
    FirstFrame frame(&window, [] { return true; });
    return QApplication::exec();
}

long peakKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Runs in a process of its own: builds one of the two windows, paints it, prints the peak.
int measureMemory(const char *which)
{
    if (std::strcmp(which, "volumo") == 0) {
        FakeVolumeSource drives = twentyFourDrives();
        Program program(drives);
        TMainForm &main = program.Main();
        main.show();
        main.AktualisierenClick(&main);
        settle();
        main.grab();
        std::printf("%ld\n", peakKilobytes());
    } else {
        QMainWindow window;
        window.setCentralWidget(new QMdiArea);
        window.resize(984, 741);
        window.show();
        settle();
        window.grab();
        std::printf("%ld\n", peakKilobytes());
    }
    return 0;
}

long peakOf(const char *self, const char *which)
{
    const std::string command = std::string("'") + self + "' --memory=" + which;
    FILE *pipe = popen(command.c_str(), "r");
    long kilobytes = -1;
    if (pipe) {
        if (std::fscanf(pipe, "%ld", &kilobytes) != 1)
            kilobytes = -1;
        pclose(pipe);
    }
    return kilobytes;
}

void PeakMemory(benchmark::State &state)
{
    long bare = 0;
    long volumo = 0;
    for (auto _ : state) {
        bare = peakOf(self, "bare");
        volumo = peakOf(self, "volumo");
    }
    state.counters["bare_MB"] = static_cast<double>(bare) / 1024;
    state.counters["volumo24_MB"] = static_cast<double>(volumo) / 1024;
    state.counters["above_MB"] = static_cast<double>(volumo - bare) / 1024;
}

// Another machine with 8 volumes, as a Prometheus server's snapshot has it, beside this machine
// with 8 drives: showing the other machine (its source in place of this one's, and the refresh
// that follows) and this one's refresh, in turns.
void SwitchToAMachineWith8Volumes(benchmark::State &state)
{
    FakeVolumeSource local;
    for (char16_t letter = u'C'; letter < u'C' + 8; ++letter)
        local.setDriveGB(letter, 931 + letter, 400);
    auto snapshot = std::make_shared<FleetSnapshot>();
    Machine machine;
    machine.instance = "host-b:9100";
    machine.up = true;
    for (int i = 0; i < 8; ++i) {
        RemoteFilesystem filesystem;
        filesystem.mountPoint = i == 0 ? "/" : "/data" + std::to_string(i);
        filesystem.device = "/dev/sd" + std::string(1, static_cast<char>('a' + i)) + "1";
        filesystem.fsType = "ext4";
        filesystem.sizeBytes = (int64_t{931} + i) << 30;
        filesystem.availBytes = int64_t{400} << 30;
        machine.filesystems.push_back(filesystem);
    }
    snapshot->machines.push_back(machine);
    RemoteVolumeSource remote(machine.instance);
    remote.SetSnapshot(snapshot);

    Program program(local);
    TMainForm &main = program.Main();
    main.show();
    refreshOnce(main);
    std::vector<double> switches;
    std::vector<double> refreshes;
    const auto timed = [&](VolumeSource &source) {
        const auto begin = std::chrono::steady_clock::now();
        program.UseVolumes(source);
        refreshOnce(main);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    for (auto _ : state) {
        const double there = timed(remote);
        state.SetIterationTime(there);
        switches.push_back(there);
        refreshes.push_back(timed(local));
    }
    program.UseVolumes(local);
    state.counters["windows"] = main.MDIChildCount();
    state.counters["local_ms"] = median(refreshes) * 1000;
    state.counters["ratio"] = pairedRatio(switches, refreshes);
}

// Counts the paint events any widget receives.
class PaintCounter : public QObject
{
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    long count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// A sample of 24 shown volumes whose figures did not change: what it costs, and that it draws
// nothing.
void Sample24NothingChanged(benchmark::State &state)
{
    FakeVolumeSource drives = twentyFourDrives();
    VolumeWatcher changes;
    Program program(drives, &changes);
    TMainForm &main = program.Main();
    main.show();
    main.AktualisierenClick(&main);
    settle();
    program.Sampler()->Sample();
    settle();
    PaintCounter paints;
    for (auto _ : state) {
        program.Sampler()->Sample();
        settle();
    }
    state.counters["windows"] = main.MDIChildCount();
    state.counters["paints_per_sample"] =
        static_cast<double>(paints.count) / static_cast<double>(state.iterations());
}

// How often the idle live program's event loop wakes up in a minute, counted over `seconds`.
double wakeUpsPerMinute(int seconds)
{
    long wakeUps = 0;
    QObject counting;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     &counting, [&] { ++wakeUps; });
    // A loop that sleeps until something wakes it, as the program's own does (QTest::qWait
    // would look every 10 ms).
    QEventLoop loop;
    QTimer::singleShot(std::chrono::seconds(seconds), &loop, &QEventLoop::quit);
    loop.exec();
    return static_cast<double>(wakeUps - 1) * 60 / seconds; // less the end of the count
}

void IdleWakeUps(benchmark::State &state)
{
    FakeVolumeSource drives = twentyFourDrives();
    VolumeWatcher changes;
    Program program(drives, &changes);
    TMainForm &main = program.Main();
    for (auto _ : state) {
        main.show();
        main.AktualisierenClick(&main);
        settle();
        wakeUpsPerMinute(3); // what showing and the first refresh brought is done
        state.counters["visible_per_min"] = wakeUpsPerMinute(60);
        main.showMinimized();
        wakeUpsPerMinute(1);
        state.counters["minimised_per_min"] = wakeUpsPerMinute(120);
        main.showNormal();
    }
}

} // namespace

BENCHMARK(Refresh24DriveWindows)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(StartUpToFirstFrame)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Sample24NothingChanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(SwitchToAMachineWith8Volumes)
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(IdleWakeUps)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    self = argv[0];
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode == "--startup=bare" || mode == "--startup=bare-menu" || mode == "--memory=bare" ||
        mode.rfind("--bare-subwindows=", 0) == 0) {
        QApplication application(argc, argv);
        if (mode.rfind("--startup=", 0) == 0)
            return startUp(argv[1] + 10);
        if (mode == "--memory=bare")
            return measureMemory("bare");
        return bareSubWindows(std::stoi(mode.substr(18)));
    }
    TApplication application(argc, argv);
    if (mode.rfind("--memory=", 0) == 0)
        return measureMemory(argv[1] + 9);
    if (mode.rfind("--startup=", 0) == 0)
        return startUp(argv[1] + 10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
