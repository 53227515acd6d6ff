// The refresh that rebuilds 24 drive windows beside creating and tiling 24 bare sub-windows;
// start-up to the first complete frame beside a bare main window with an empty MDI area; and
// the peak memory of both, each measured in a process of its own.
#include "About.h"
#include "Anordn.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "fonts.h"
#include "host_volume_source.h"
#include "screen.h"
#include "volume_source_fake.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The program block, as app/main.cpp runs it, with `source` for the volumes.
struct Forms
{
    explicit Forms(VolumeSource &source)
    {
        InstallVolumeSource(&source);
        MainForm = &main;
        FormInfo = &info;
        GESAMT = &gesamt;
        anordnung = &settings;
    }
    ~Forms() { InstallVolumeSource(nullptr); }

    TMainForm main;
    TFormInfo info{&main};
    TGESAMT gesamt{&main};
    Tanordnung settings{&main};
};

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

void Refresh24DriveWindows(benchmark::State &state)
{
    FakeVolumeSource drives = twentyFourDrives();
    Forms forms(drives);
    forms.main.show();
    forms.main.AktualisierenClick(&forms.main);
    settle();
    for (auto _ : state) {
        forms.main.AktualisierenClick(&forms.main);
        settle(); // the closed windows go once the loop runs again
    }
    state.counters["windows"] = forms.main.MDIChildCount();
}

void Bare24SubWindows(benchmark::State &state)
{
    QMainWindow window;
    auto *area = new QMdiArea;
    window.setCentralWidget(area);
    window.resize(984, 741);
    window.show();
    for (auto _ : state) {
        for (QMdiSubWindow *old : area->subWindowList())
            old->deleteLater();
        for (int i = 0; i < 24; ++i) {
            auto *sub = area->addSubWindow(new QWidget);
            sub->show();
            sub->setGeometry((i % 3) * 320, (i / 3) * 323, 320, 323);
        }
        settle();
    }
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

const char *self = nullptr;

void StartUpToFirstFrame(benchmark::State &state)
{
    for (auto _ : state)
        state.SetIterationTime(startUpSeconds(self, "volumo"));
}

void BareMainWindowToFirstFrame(benchmark::State &state)
{
    for (auto _ : state)
        state.SetIterationTime(startUpSeconds(self, "bare"));
}

// In the child: the program block up to its first complete frame, then out at once.
int startUp(const char *which)
{
    if (std::strcmp(which, "volumo") == 0) {
        const std::unique_ptr<VolumeSource> host = CreateHostVolumeSource();
        Forms forms(*host);
        forms.main.show();
        forms.main.activateWindow();
        (void)QTest::qWaitForWindowActive(&forms.main);
        forms.main.grab(); // paints the frame and its drive windows
        std::fflush(stdout);
        std::_Exit(forms.main.MDIChildCount() > 0 ? 0 : 1);
    }
    QMainWindow window;
    window.setCentralWidget(new QMdiArea);
    window.resize(984, 741);
    window.show();
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window);
    window.grab();
    std::_Exit(0);
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
        Forms forms(drives);
        forms.main.show();
        forms.main.AktualisierenClick(&forms.main);
        settle();
        forms.main.grab();
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

} // namespace

BENCHMARK(Bare24SubWindows)->Unit(benchmark::kMillisecond);
BENCHMARK(Refresh24DriveWindows)->Unit(benchmark::kMillisecond);
BENCHMARK(BareMainWindowToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StartUpToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    self = argv[0];
    TApplication application(argc, argv);
    application.SetTitle(QStringLiteral("Volumo"));
    InstallFontSubstitutes();
    TScreen screen;
    if (argc == 2 && std::strncmp(argv[1], "--memory=", 9) == 0)
        return measureMemory(argv[1] + 9);
    if (argc == 2 && std::strncmp(argv[1], "--startup=", 10) == 0)
        return startUp(argv[1] + 10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
