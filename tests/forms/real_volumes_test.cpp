// The real program on real volumes: tmpfs volumes of 931 GiB, 1863 GiB and 512 MiB in a private
// mount namespace (private_mounts, as root), seen through the Linux volume source by the forms.
#include "../gui_helpers.h"
#include "../host_fixtures.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "chart.h"
#include "number_format.h"
#include "program.h"
#include "volume_source_linux.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <fstream>

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
