// The real program on real volumes: tmpfs volumes of 931 GiB, 1863 GiB and 512 MiB in a private
// mount namespace (private_mounts, as root), seen through the Linux volume source by the forms,
// and followed as they are mounted and unmounted.
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
    ScopedVolumeSource installed(host);
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
    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        return host.space(root);
    }
    std::optional<VolumeSpace> probe(const std::u16string &root) override
    {
        return host.probe(root);
    }
    std::string describe(const std::u16string &root) override { return host.describe(root); }
    void beginScan() override
    {
        if (depth++ == 0)
            ++passes;
        host.beginScan();
    }
    void endScan() override
    {
        if (depth > 0)
            --depth;
        host.endScan();
    }

    int passes = 0;

private:
    LinuxVolumeSource host;
    int depth = 0;
};

bool mountTmpfs(const std::string &point, const std::string &size)
{
    ::mkdir(point.c_str(), 0755);
    return ::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

// Longer than the quiet period and a refresh: any scan a change brings has run by then.
void settle()
{
    QTest::qWait(VolumeFollower::QuietMs + 400);
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
        installed.emplace(source);
        SetNumberSeparators({".", ","});
        program.Start();
        ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }));
        settle();
        ASSERT_EQ(program.main->MDIChildCount(), 3);
        passes = source.passes;
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
        for (int i = 0; i < program.main->MDIChildCount(); ++i) {
            const TMDIChild *child = program.main->MDIChildren(i);
            if (child->DBChart1->statusTip().contains(
                    QStringLiteral(" = %1 (").arg(QString::fromStdString(point))))
                return child->windowTitle();
        }
        return {};
    }

    std::string folder;
    VolumeWatcher changes;
    ProgramUnderTest program{&changes};
    CountingSource source;
    std::optional<ScopedVolumeSource> installed;
    int passes = 0;
};

} // namespace

TEST_F(LiveVolumes, AMountedVolumeShowsAndAnUnmountedOneGoesWithinASecondWithoutInput)
{
    const std::string stick = folder + "/d";
    ASSERT_TRUE(mountTmpfs(stick, "3g"));
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 1);
    EXPECT_EQ(program.main->MDIChildCount(), 4);

    ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }, 1000));
    settle();
    EXPECT_TRUE(windowFor(stick).isEmpty());
    EXPECT_EQ(source.passes, passes + 2);
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
    for (int pair = 0; pair < 50; ++pair) {
        ASSERT_TRUE(mountBoth());
        QCoreApplication::processEvents();
        ASSERT_TRUE(unmountBoth());
        QCoreApplication::processEvents();
    }
    settle();
    // Left mounted long enough to be looked at: the small volume takes a letter of its own, ahead
    // of /var/lib's, and neither has a window.
    ASSERT_TRUE(mountBoth());
    settle();
    ASSERT_TRUE(unmountBoth());
    settle();
    EXPECT_EQ(source.passes, passes);
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));

    // Still following: a volume that gets a window does bring one scan.
    ASSERT_TRUE(mountTmpfs(folder + "/d", "3g"));
    EXPECT_TRUE(WaitFor([&] { return !windowFor(folder + "/d").isEmpty(); }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 1);
}

TEST_F(LiveVolumes, ABurstOfMountsIsOneScan)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(mountTmpfs(folder + "/e" + std::to_string(i), "1g"));
    ASSERT_LT(clock.elapsed(), 100) << "the burst took too long to be one";
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 13; }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 1);
    EXPECT_EQ(windowFor(folder + "/e9"), QStringLiteral("P:\\"));
}

TEST_F(LiveVolumes, AChangeWhileTheSettingsAreOpenWaitsForThemAndTheirOwnScan)
{
    const std::string stick = folder + "/d";
    int passesWhileOpen = -1;
    QString windowWhileOpen = QStringLiteral("not looked at");
    WhenShown(program.settings, [&] {
        EXPECT_TRUE(mountTmpfs(stick, "3g"));
        settle();
        passesWhileOpen = source.passes;
        windowWhileOpen = windowFor(stick);
        QTest::mouseClick(program.settings->OKButton, Qt::LeftButton);
    });
    QTest::mouseClick(program.main->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(passesWhileOpen, passes);
    EXPECT_TRUE(windowWhileOpen.isEmpty());
    settle();
    // The settings command's own scan shows the new volume; no second one follows.
    EXPECT_EQ(windowFor(stick), QStringLiteral("G:\\"));
    EXPECT_EQ(source.passes, passes + 1);

    // And with the dialog gone, the volumes are followed again.
    ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
    EXPECT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 3; }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 2);
}

TEST_F(LiveVolumes, AChangeWhileTheAboutDialogIsOpenRefreshesOnceWhenItCloses)
{
    const std::string stick = folder + "/d";
    int passesWhileOpen = -1;
    WhenShown(program.info, [&] {
        EXPECT_TRUE(mountTmpfs(stick, "3g"));
        settle();
        EXPECT_TRUE(::umount2(stick.c_str(), 0) == 0 && mountTmpfs(stick, "4g"));
        settle();
        passesWhileOpen = source.passes;
        program.info->done(0);
    });
    program.main->HelpAboutItemClick(program.main);
    EXPECT_EQ(passesWhileOpen, passes);
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 1);
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
    settle();
    EXPECT_EQ(source.passes, passes);
    EXPECT_TRUE(windowFor(stick).isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), menu) << "the menu stays open";

    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return windowFor(stick) == QStringLiteral("G:\\"); }, 1000));
    settle();
    EXPECT_EQ(source.passes, passes + 1);
}
