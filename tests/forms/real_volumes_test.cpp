// The real program on real volumes: tmpfs volumes of 931 GiB, 1863 GiB and 512 MiB in a private
// mount namespace (private_mounts, as root), seen through the Linux volume source by the forms,
// and followed as they are mounted and unmounted.
#include "../fuse_volume.h"
#include "../gui_helpers.h"
#include "../host_fixtures.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "buttons.h"
#include "chart.h"
#include "number_format.h"
#include "program.h"
#include "volume_follower.h"
#include "volume_source_linux.h"
#include "volume_watcher.h"

#include <QLabel>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include <QElapsedTimer>
#include <QTimer>
#include <signal.h>
#include <sys/wait.h>

#include <sys/mount.h>
#include <sys/stat.h>

TEST(RealVolumes, OneDriveWindowPerVolumeOfAtLeastOneGiB)
{
    const std::string volumes = MountsFolder();
    if (volumes.empty())
        GTEST_SKIP() << MountsSkipped();
    // 4 KiB written leave 930 whole GiB free on D:.
    std::ofstream(volumes + "/a/file") << std::string(4096, 'x');

    ProgramUnderTest program;
    LinuxVolumeSource host;
    const ProgramUnderTest::UsingVolumes onHost(program, host);
    SetNumberSeparators({".", ","});
    program.Start();
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }));
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));
    EXPECT_EQ(ProgramUnderTest::Figures(program.main->MDIChildren(1)),
              (QStringList{"1 GB =", "0%", "930 GB =", "100%", "931 GB =", "100%"}));
    EXPECT_EQ(ProgramUnderTest::Figures(program.main->MDIChildren(2)),
              (QStringList{"0 GB =", "0%", "1.863 GB =", "100%", "1.863 GB =", "100%"}));
    EXPECT_TRUE(program.main->MDIChildren(1)->DBChart1->statusTip().endsWith(
        QStringLiteral(" (tmpfs, tmpfs)")));

    // The 512 MiB volume has no window but is in the total overview.
    WhenShown(program.gesamt, [&] { program.gesamt->done(0); });
    program.main->btnAllDirvesClick(program.main);
    EXPECT_EQ(program.gesamt->LabelDriveList->text(), QStringLiteral("C:  D:  E:  F:  "));
    program.main->hide();
}

namespace {

// The host's volumes, counting the passes over them: each refresh is one.
class CountingSource : public VolumeSource
{
public:
    std::unique_ptr<Pass> open() override
    {
        ++passes;
        return host.open();
    }

    int passes = 0;

private:
    LinuxVolumeSource host;
};

bool mountTmpfs(const std::string &point, const std::string &size)
{
    ::mkdir(point.c_str(), 0755);
    return ::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

// The real program following the real mount table: volumes of 931 GiB, 1863 GiB and 512 MiB,
// and a RAM disk on /var/lib below 1 GiB, where container layers can go.
class LiveVolumes : public testing::Test
{
protected:
    void SetUp() override
    {
        if (MountsFolder().empty())
            GTEST_SKIP() << MountsSkipped();
        // Beside the volumes private_mounts made, after them in letter order.
        folder = MountsFolder() + "/live";
        ::mkdir(folder.c_str(), 0755);
        // Hidden from this process's namespace alone; nothing is left on the disk.
        ASSERT_TRUE(mountTmpfs("/var/lib", "64m"));
        onSource.emplace(program, source);
        SetNumberSeparators({".", ","});
        program.Start();
        ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }));
        // The mount above was a change too: once it is looked at, the test starts from rest.
        ASSERT_TRUE(checkedSince(0));
        ASSERT_EQ(program.main->MDIChildCount(), 3);
        passes = source.passes;
        checks = program.follower->Checks();
    }

    void TearDown() override
    {
        if (program.main->isVisible())
            program.main->hide();
        // What a test mounted goes with it: the next test in this namespace starts alike.
        if (!folder.empty()) {
            UnmountBelow(folder);
            UnmountBelow("/var/lib");
        }
    }

    // Whether a drive window stands for the volume at `point`, and under which letter.
    QString windowFor(const std::string &point) const
    {
        const TMDIChild *child = childFor(point);
        return child ? child->windowTitle() : QString();
    }

    const TMDIChild *childFor(const std::string &point) const
    {
        for (int i = 0; i < program.main->MDIChildCount(); ++i) {
            const TMDIChild *child = program.main->MDIChildren(i);
            if (child->DBChart1->statusTip().contains(
                    QStringLiteral(" = %1 (").arg(QString::fromStdString(point))))
                return child;
        }
        return nullptr;
    }

    QString totalFor(const std::string &point) const
    {
        const TMDIChild *child = childFor(point);
        return child ? child->LabelMBGesamt->text() : QString();
    }

    int checksNow() const { return program.follower->Checks(); }

    // Waits until the follower has looked at the volumes again, after `before` checks: whatever
    // the changes up to then bring has happened.
    bool checkedSince(int before, int ms = 3000)
    {
        return WaitFor([&] { return program.follower->Checks() > before; }, ms);
    }

    // The refreshes since the test began: every other pass is one of the follower's checks.
    int refreshes() const { return source.passes - passes - (checksNow() - checks); }

    std::string folder;
    VolumeWatcher changes;
    ProgramUnderTest program{&changes};
    CountingSource source;
    std::optional<ProgramUnderTest::UsingVolumes> onSource;
    int passes = 0;
    int checks = 0;
};

} // namespace

TEST_F(LiveVolumes, AMountedVolumeShowsAndAnUnmountedOneGoesWithinASecondWithoutInput)
{
    const std::string stick = folder + "/d";
    int before = checksNow();
    ASSERT_TRUE(mountTmpfs(stick, "3g"));
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 1);
    EXPECT_EQ(program.main->MDIChildCount(), 4);

    before = checksNow();
    ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_TRUE(windowFor(stick).isEmpty());
    EXPECT_EQ(refreshes(), 2);
}

TEST_F(LiveVolumes, SmallVolumesAndContainerLayersComingAndGoingRunNoScan)
{
    const std::string small = folder + "/small";
    const std::string layers = "/var/lib/docker/overlay2/1f";
    for (const char *part : {"", "/lower", "/upper", "/work", "/merged"})
        std::filesystem::create_directories(layers + part);
    const std::string options =
        "lowerdir=" + layers + "/lower,upperdir=" + layers + "/upper,workdir=" + layers + "/work";
    const auto mountBoth = [&] {
        return mountTmpfs(small, "512m") &&
               ::mount("overlay", (layers + "/merged").c_str(), "overlay", 0, options.c_str()) == 0;
    };
    const auto unmountBoth = [&] {
        return ::umount2((layers + "/merged").c_str(), 0) == 0 && ::umount2(small.c_str(), 0) == 0;
    };
    int before = checksNow();
    for (int pair = 0; pair < 50; ++pair) {
        ASSERT_TRUE(mountBoth());
        QCoreApplication::processEvents();
        ASSERT_TRUE(unmountBoth());
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(checkedSince(before));
    // Left mounted long enough to be looked at: the small volume takes a letter of its own, ahead
    // of /var/lib's, and neither has a window.
    before = checksNow();
    ASSERT_TRUE(mountBoth());
    ASSERT_TRUE(checkedSince(before));
    before = checksNow();
    ASSERT_TRUE(unmountBoth());
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 0);
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));

    // Still following: a volume that gets a window does bring one scan.
    before = checksNow();
    ASSERT_TRUE(mountTmpfs(folder + "/d", "3g"));
    EXPECT_TRUE(WaitFor([&] { return !windowFor(folder + "/d").isEmpty(); }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 1);
}

TEST_F(LiveVolumes, MountsOverSeveralTurnsOfTheEventLoopAreOneScan)
{
    QElapsedTimer clock;
    clock.start();
    const int before = checksNow();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(mountTmpfs(folder + "/e" + std::to_string(i), "1g"));
        // Each mount reaches the follower on a turn of its own.
        QCoreApplication::processEvents();
    }
    if (clock.elapsed() >= VolumeFollower::QuietMs)
        GTEST_SKIP() << "the machine is too busy: ten mounts took " << clock.elapsed()
                     << " ms, longer than the quiet period that makes them one burst";
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 13; }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 1);
    EXPECT_EQ(windowFor(folder + "/e9"), QStringLiteral("P:\\"));
}

TEST_F(LiveVolumes, AChangeWhileTheSettingsAreOpenWaitsForThemAndTheirOwnScan)
{
    const std::string stick = folder + "/d";
    int refreshesWhileOpen = -1;
    QString windowWhileOpen = QStringLiteral("not looked at");
    WhenShown(program.settings, [&] {
        EXPECT_TRUE(mountTmpfs(stick, "3g"));
        EXPECT_TRUE(WaitFor([&] { return program.follower->Held(); }));
        refreshesWhileOpen = refreshes();
        windowWhileOpen = windowFor(stick);
        QTest::mouseClick(program.settings->OKButton, Qt::LeftButton);
    });
    int before = checksNow();
    QTest::mouseClick(program.main->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(refreshesWhileOpen, 0);
    EXPECT_TRUE(windowWhileOpen.isEmpty());
    ASSERT_TRUE(checkedSince(before));
    // The settings command's own scan shows the new volume; no second one follows.
    EXPECT_EQ(windowFor(stick), QStringLiteral("G:\\"));
    EXPECT_EQ(refreshes(), 1);

    // And with the dialog gone, the volumes are followed again.
    before = checksNow();
    ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 2);
}

TEST_F(LiveVolumes, AChangeWhileTheAboutDialogIsOpenRefreshesOnceWhenItCloses)
{
    const std::string stick = folder + "/d";
    int refreshesWhileOpen = -1;
    WhenShown(program.info, [&] {
        EXPECT_TRUE(mountTmpfs(stick, "3g"));
        EXPECT_TRUE(WaitFor([&] { return program.follower->Held(); }));
        EXPECT_TRUE(::umount2(stick.c_str(), 0) == 0 && mountTmpfs(stick, "4g"));
        refreshesWhileOpen = refreshes();
        program.info->done(0);
    });
    const int before = checksNow();
    program.main->HelpAboutItemClick(program.main);
    EXPECT_EQ(refreshesWhileOpen, 0);
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 1);
    EXPECT_EQ(totalFor(stick), QStringLiteral("4 GB ="));
}

TEST_F(LiveVolumes, AChangeWhileAMenuIsOpenWaitsForItToClose)
{
    QMenuBar *bar = program.main->menuBar();
    const QList<QAction *> menus = bar->actions();
    ASSERT_FALSE(menus.isEmpty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menus.first()).center());
    QWidget *menu = QApplication::activePopupWidget();
    ASSERT_TRUE(menu);

    const std::string stick = folder + "/d";
    ASSERT_TRUE(mountTmpfs(stick, "3g"));
    EXPECT_TRUE(WaitFor([&] { return program.follower->Held(); }));
    EXPECT_EQ(refreshes(), 0);
    EXPECT_TRUE(windowFor(stick).isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), menu) << "the menu stays open";

    const int before = checksNow();
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    ASSERT_TRUE(checkedSince(before));
    EXPECT_EQ(refreshes(), 1);
}

TEST_F(LiveVolumes, DeadFuseVolumesMountedWhileItRunsHoldTheWindowUpOneBoundAtMost)
{
    for (const int count : {2, 5}) {
        std::vector<std::unique_ptr<FuseVolume>> dead;
        QElapsedTimer sinceTick;
        qint64 longestWait = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, &ticks,
                         [&] { longestWait = std::max(longestWait, sinceTick.restart()); });
        const int before = checksNow();
        for (int i = 0; i < count; ++i) {
            const std::string point =
                folder + "/dead" + std::to_string(count) + '-' + std::to_string(i);
            ::mkdir(point.c_str(), 0755);
            dead.push_back(
                std::make_unique<FuseVolume>(point, FuseVolume::Figures{8 << 18, 4 << 18}));
            if (!dead.back()->failure().empty())
                GTEST_SKIP() << dead.back()->failure();
            dead.back()->stall();
        }
        sinceTick.start();
        ticks.start(10);
        ASSERT_TRUE(checkedSince(before, 5000)) << count;
        ticks.stop();
        EXPECT_LT(longestWait, 1500) << count << " dead volumes: the window waited that long";
        EXPECT_EQ(program.main->MDIChildCount(), 3) << "no window for a volume that never answered";
    }
}

TEST_F(LiveVolumes, UnderEndlessMountChurnANewVolumeShowsWithinTwoSeconds)
{
    const std::string churn = folder + "/churn";
    const std::string big = folder + "/big";
    QTimer toggle;
    bool mounted = false;
    QObject::connect(&toggle, &QTimer::timeout, &toggle, [&] {
        mounted = mounted ? ::umount2(churn.c_str(), 0) != 0 : mountTmpfs(churn, "64m");
    });
    toggle.start(150);
    QTest::qWait(1000);
    ASSERT_TRUE(mountTmpfs(big, "11g"));
    EXPECT_TRUE(WaitFor([&] { return !windowFor(big).isEmpty(); }, 2000))
        << "the churn held the update back";
    toggle.stop();
    EXPECT_EQ(totalFor(big), QStringLiteral("11 GB ="));
}

TEST_F(LiveVolumes, AnotherFilesystemAtTheSamePathIsShownByTheFollowerAndTheFirstRefresh)
{
    const std::string point = folder + "/d";
    const auto swap = [&](const char *size) {
        return ::umount2(point.c_str(), 0) == 0 && mountTmpfs(point, size);
    };
    ASSERT_TRUE(mountTmpfs(point, "7g"));
    ASSERT_TRUE(WaitFor([&] { return totalFor(point) == QStringLiteral("7 GB ="); }, 1500));

    // In one go: the kernel gives the new mount the old one's ID.
    ASSERT_TRUE(swap("9g"));
    EXPECT_TRUE(WaitFor([&] { return totalFor(point) == QStringLiteral("9 GB ="); }, 1500))
        << "the follower";

    ASSERT_TRUE(swap("7g"));
    program.Refresh();
    EXPECT_EQ(totalFor(point), QStringLiteral("7 GB =")) << "a refresh of the user's own";
}

TEST_F(LiveVolumes, ALiveFuseVolumeIsNeverMissingWhileAContainerLayerComesAndGoes)
{
    const std::string point = folder + "/fuse";
    ::mkdir(point.c_str(), 0755);
    FuseVolume fuse(point, {uint64_t{64} << 18, uint64_t{60} << 18});
    if (!fuse.failure().empty())
        GTEST_SKIP() << fuse.failure();
    const std::string layers = "/var/lib/containers/storage/overlay/2e";
    for (const char *part : {"", "/lower", "/upper", "/work", "/merged"})
        std::filesystem::create_directories(layers + part);
    const std::string options =
        "lowerdir=" + layers + "/lower,upperdir=" + layers + "/upper,workdir=" + layers + "/work";
    const std::string merged = layers + "/merged";
    // Another process, so that the layer comes and goes while a refresh runs. It only makes
    // system calls: other threads of this one may have held the allocator's lock at the fork.
    const pid_t churn = ::fork();
    ASSERT_GE(churn, 0);
    if (churn == 0) {
        const timespec moment = {0, 200'000'000};
        for (;;) {
            ::mount("overlay", merged.c_str(), "overlay", 0, options.c_str());
            ::nanosleep(&moment, nullptr);
            ::umount2(merged.c_str(), 0);
            ::nanosleep(&moment, nullptr);
        }
    }
    int missing = 0;
    for (int round = 0; round < 20; ++round) {
        program.Refresh();
        missing += totalFor(point) != QStringLiteral("64 GB =");
    }
    QString letter;
    for (int i = 0; i < program.main->MDIChildCount(); ++i) {
        if (program.main->MDIChildren(i) == childFor(point))
            letter = program.main->MDIChildren(i)->windowTitle().left(2);
    }
    int missingInOverview = 0;
    for (int round = 0; round < 10; ++round) {
        QString listed;
        WhenShown(program.gesamt, [&] {
            listed = program.gesamt->LabelDriveList->text();
            program.gesamt->done(0);
        });
        program.main->btnAllDirvesClick(program.main);
        missingInOverview += letter.isEmpty() || !listed.contains(letter);
    }
    ::kill(churn, SIGKILL);
    ::waitpid(churn, nullptr, 0);
    EXPECT_EQ(missing, 0) << "refreshes without the FUSE volume, of 20";
    EXPECT_EQ(missingInOverview, 0) << "overviews without it, of 10";
}
