// The live program on real volumes (tmpfs and FUSE in a private mount namespace, as root) and a
// session bus of its own: figures that follow a volume as it fills, and notices on the desktop
// for a volume about to be full, and for no other.
#include "../fuse_volume.h"
#include "../gui_helpers.h"
#include "../gui_tests.h"
#include "../host_fixtures.h"
#include "../notification_service.h"
#include "Childwin.h"
#include "Main.h"
#include "chart.h"
#include "number_format.h"
#include "program.h"
#include "volume_sampler.h"
#include "volume_source_linux.h"
#include "volume_watcher.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int64_t MiB = int64_t{1} << 20;

bool mountTmpfs(const std::string &point, const std::string &size)
{
    ::mkdir(point.c_str(), 0755);
    return ::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

// Writes `megabytes` MiB of data to a new file, or until the volume is full.
void fill(const std::string &file, int64_t megabytes)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    static const std::vector<char> block(MiB, 'x');
    for (int64_t i = 0; fd >= 0 && i < megabytes; ++i) {
        if (::write(fd, block.data(), block.size()) <= 0)
            break;
    }
    if (fd >= 0)
        ::close(fd);
}

// Another process that writes to a volume while the program runs. It makes system calls only:
// other threads of this process may have held the allocator's lock at the fork.
class Writer
{
public:
    // Writes `megabytes` MiB once, deletes them and writes them again if `seconds` is above 0,
    // until that time is up.
    Writer(const std::string &file, int64_t megabytes, int seconds = 0)
        : path(file), block(MiB, 'y')
    {
        timespec start = {};
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        process = ::fork();
        if (process != 0)
            return;
        for (;;) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            // At the pace of a program at work, not of a benchmark: the suite goes on beside it.
            const timespec breath = {0, 20'000'000};
            for (int64_t i = 0; fd >= 0 && i < megabytes; ++i) {
                (void)::write(fd, block.data(), block.size());
                if (seconds > 0 && i % 16 == 15)
                    ::nanosleep(&breath, nullptr);
            }
            if (fd >= 0)
                ::close(fd);
            timespec now = {};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            if (seconds <= 0 || now.tv_sec - start.tv_sec >= seconds)
                ::_exit(0);
            ::unlink(path.c_str());
        }
    }
    ~Writer()
    {
        if (process > 0 && !done()) {
            ::kill(process, SIGKILL);
            ::waitpid(process, nullptr, 0);
        }
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool done()
    {
        if (finished)
            return true;
        finished = ::waitpid(process, nullptr, WNOHANG) == process;
        return finished;
    }

private:
    std::string path;
    std::vector<char> block;
    pid_t process = -1;
    bool finished = false;
};

// The longest time the event loop did not come round, while it is measured.
class LoopWatch
{
public:
    LoopWatch()
    {
        QObject::connect(&ticks, &QTimer::timeout, &ticks,
                         [this] { longest = std::max(longest, sinceTick.restart()); });
        sinceTick.start();
        ticks.start(10);
    }
    qint64 longest = 0;

private:
    QElapsedTimer sinceTick;
    QTimer ticks;
};

// The live program on this namespace's real volumes, its notices to the private bus.
class Warnings : public testing::Test
{
protected:
    void SetUp() override
    {
        if (MountsFolder().empty())
            GTEST_SKIP() << MountsSkipped();
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << PrivateSessionBus::Missing;
        folder = MountsFolder() + "/warn";
        ::mkdir(folder.c_str(), 0755);
        SetNumberSeparators({".", ","});
    }

    void TearDown() override
    {
        if (program)
            program->main->hide();
        onHost.reset();
        program.reset();
        if (!folder.empty())
            UnmountBelow(folder);
    }

    void start()
    {
        program.emplace(&changes, ProgramUnderTest::Notices::Desktop);
        onHost.emplace(*program, host);
        program->Start();
        program->Refresh();
    }

    TMDIChild *windowFor(const std::string &point) const
    {
        for (int i = 0; i < program->main->MDIChildCount(); ++i) {
            TMDIChild *child = program->main->MDIChildren(i);
            if (child->DBChart1->statusTip().contains(
                    QStringLiteral(" = %1 (").arg(QString::fromStdString(point))))
                return child;
        }
        return nullptr;
    }

    bool sampled(int count = 1)
    {
        const int until = program->sampler->Samples() + count;
        return WaitFor([&] { return program->sampler->Samples() >= until; },
                       count * VolumeSampler::VisibleMs + 3000);
    }

    std::string folder;
    VolumeWatcher changes;
    LinuxVolumeSource host;
    std::optional<ProgramUnderTest> program;
    std::optional<ProgramUnderTest::UsingVolumes> onHost;
};

} // namespace

TEST_F(Warnings, AVolumeThatFillsShowsItsFiguresWithinASampleWithoutInput)
{
    const std::string point = folder + "/fill";
    ASSERT_TRUE(mountTmpfs(point, "2g"));
    start();
    TMDIChild *child = windowFor(point);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->LabelMBFrei->text(), QStringLiteral("2 GB ="));

    Writer writer(point + "/data", 1024 + 100);
    ASSERT_TRUE(WaitFor([&] { return writer.done(); }, 60000));
    EXPECT_TRUE(WaitFor([&] { return child->LabelMBFrei->text() == QStringLiteral("0 GB ="); },
                        VolumeSampler::VisibleMs + 1000))
        << child->LabelMBFrei->text().toStdString();
    EXPECT_EQ(child->LabelMBBelegt->text(), QStringLiteral("2 GB ="));
    EXPECT_EQ(windowFor(point), child) << "the same window, changed in place";
}

TEST_F(Warnings, OnlyTheVolumeNearlyFullIsToldOnceNotASawtoothNorAFullReadOnlyOne)
{
    NotificationService service;
    ASSERT_TRUE(service.Registered());
    const std::string sawtooth = folder + "/a-sawtooth";
    const std::string nearlyFull = folder + "/b-full";
    const std::string readOnly = folder + "/c-readonly";
    ASSERT_TRUE(mountTmpfs(sawtooth, "2g"));
    ASSERT_TRUE(mountTmpfs(nearlyFull, "1100m"));
    ASSERT_TRUE(mountTmpfs(readOnly, "1100m"));
    fill(nearlyFull + "/data", 1100 * 97 / 100);
    fill(readOnly + "/data", 1100);
    ASSERT_EQ(::mount("tmpfs", readOnly.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);

    start();
    ASSERT_TRUE(windowFor(sawtooth) && windowFor(nearlyFull) && windowFor(readOnly));
    // Writes and deletes for two minutes: its free space falls and rises, and never for long.
    Writer writer(sawtooth + "/data", 1024, 120);
    ASSERT_TRUE(WaitFor([&] { return writer.done(); }, 150000));
    ASSERT_TRUE(sampled());

    ASSERT_EQ(service.notices.size(), 1u) << "one notice in two minutes";
    const QString letter = windowFor(nearlyFull)->windowTitle().left(3);
    EXPECT_EQ(service.notices[0].summary, QStringLiteral("Laufwerk %1 fast voll").arg(letter));
    EXPECT_TRUE(service.notices[0].body.contains(QString::fromStdString(nearlyFull)));
    EXPECT_EQ(windowFor(nearlyFull)->windowTitle(), letter + QStringLiteral(" \u2013 fast voll"));
    EXPECT_FALSE(windowFor(sawtooth)->windowTitle().contains(u'\u2013'));
    EXPECT_FALSE(windowFor(readOnly)->windowTitle().contains(u'\u2013'));
    EXPECT_EQ(windowFor(readOnly)->LabelMBFrei->text(), QStringLiteral("0 GB ="))
        << "full, and read-only: it cannot fill up";
}

TEST_F(Warnings, WithoutANotificationServiceTheMarkShowsAndNothingWaits)
{
    const std::string point = folder + "/full";
    ASSERT_TRUE(mountTmpfs(point, "1100m"));
    fill(point + "/data", 1100 * 97 / 100);
    start();
    ASSERT_TRUE(windowFor(point));
    LoopWatch loop;
    EXPECT_TRUE(WaitFor([&] { return windowFor(point)->windowTitle().endsWith(u"fast voll"); },
                        VolumeSampler::VisibleMs + 2000));
    ASSERT_TRUE(sampled(2));
    EXPECT_LT(loop.longest, 1000) << "the window waited for the desktop";
}

TEST_F(Warnings, AStalledVolumeNeverHoldsTheWindowUpWhileItIsSampled)
{
    const std::string point = folder + "/fuse";
    ::mkdir(point.c_str(), 0755);
    FuseVolume fuse(point, {uint64_t{8} << 18, uint64_t{4} << 18});
    if (!fuse.failure().empty())
        GTEST_SKIP() << fuse.failure();
    start();
    TMDIChild *child = windowFor(point);
    ASSERT_TRUE(child);
    const QStringList figures = ProgramUnderTest::Figures(child);

    fuse.stall();
    LoopWatch loop;
    ASSERT_TRUE(sampled(3));
    EXPECT_LT(loop.longest, 1000) << "a sample waited for the stalled volume";
    EXPECT_EQ(ProgramUnderTest::Figures(child), figures) << "its last figures stay";
}

// A session bus of the tests' own, made before the application object.
int main(int argc, char **argv)
{
    const PrivateSessionBus bus;
    return RunGuiTests(argc, argv, TestScreen::EachProgram);
}
