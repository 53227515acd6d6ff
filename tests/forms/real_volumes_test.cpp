// The real program on real volumes: tmpfs volumes of 931 GiB, 1863 GiB and 512 MiB mounted in a
// private mount namespace (as root), seen through the Linux volume source by the real forms.
#include "../gui_helpers.h"
#include "../gui_tests.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "chart.h"
#include "fonts.h"
#include "mdi_frame.h"
#include "mount_table.h"
#include "number_format.h"
#include "screen.h"
#include "volume_source_linux.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string skipReason;
std::string base;

// A private mount namespace in which only "/", the system places and our volumes are mounted,
// so that the letters are ours to predict: C: = /, D: = 931 GiB, E: = 1863 GiB, F: = 512 MiB.
bool mountVolumes()
{
    if (::geteuid() != 0) {
        skipReason = "needs root to mount tmpfs volumes in a private mount namespace";
        return false;
    }
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        skipReason = "unshare -m is not permitted here";
        return false;
    }
    std::ifstream mountinfo("/proc/self/mountinfo");
    std::vector<std::string> points;
    for (std::string line; std::getline(mountinfo, line);) {
        std::istringstream words(line);
        std::string field;
        for (int i = 0; i < 5 && words >> field; ++i) {
        }
        points.push_back(DecodeMountEscapes(field));
    }
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
        const std::string &point = *it;
        if (point != "/" && point.rfind("/proc", 0) != 0 && point.rfind("/sys", 0) != 0 &&
            point.rfind("/dev", 0) != 0 && point.rfind("/run", 0) != 0)
            ::umount2(point.c_str(), MNT_DETACH);
    }
    char folder[] = "/tmp/volumo-real-XXXXXX";
    if (!::mkdtemp(folder)) {
        skipReason = "no temporary folder";
        return false;
    }
    base = folder;
    const std::pair<const char *, const char *> volumes[] = {
        {"/a", "size=931g"}, {"/b", "size=1863g"}, {"/c", "size=512m"}};
    for (const auto &[name, size] : volumes) {
        const std::string point = base + name;
        ::mkdir(point.c_str(), 0755);
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, size) != 0) {
            skipReason = "tmpfs cannot be mounted here";
            return false;
        }
    }
    // 4 KiB written leave 930 whole GiB free on D:.
    std::ofstream(base + "/a/file") << std::string(4096, 'x');
    return true;
}

void unmountVolumes()
{
    for (const char *name : {"/a", "/b", "/c"}) {
        ::umount2((base + name).c_str(), MNT_DETACH);
        ::rmdir((base + name).c_str());
    }
    ::rmdir(base.c_str());
}

QStringList figures(const TMDIChild *child)
{
    return {child->LabelMBBelegt->text(), child->LabelProzentBelegt->text(),
            child->LabelMBFrei->text(),   child->LabelProzentFrei->text(),
            child->LabelMBGesamt->text(), child->LabelProzentGesamt->text()};
}

} // namespace

TEST(RealVolumes, OneDriveWindowPerVolumeOfAtLeastOneGiB)
{
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;

    LinuxVolumeSource volumes;
    InstallVolumeSource(&volumes);
    SetNumberSeparators({".", ","});
    TMainForm main;
    MainForm = &main;
    TFormInfo info(&main);
    FormInfo = &info;
    TGESAMT gesamt(&main);
    GESAMT = &gesamt;
    Tanordnung settings(&main);
    anordnung = &settings;

    main.show();
    main.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return main.MDIChildCount() == 3; }));
    EXPECT_EQ(main.MDIChildren(0)->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(main.MDIChildren(1)->windowTitle(), QStringLiteral("D:\\"));
    EXPECT_EQ(main.MDIChildren(2)->windowTitle(), QStringLiteral("E:\\"));
    EXPECT_EQ(figures(main.MDIChildren(1)),
              (QStringList{"1 GB =", "0%", "930 GB =", "100%", "931 GB =", "100%"}));
    EXPECT_EQ(figures(main.MDIChildren(2)),
              (QStringList{"0 GB =", "0%", "1.863 GB =", "100%", "1.863 GB =", "100%"}));
    EXPECT_TRUE(
        main.MDIChildren(1)->DBChart1->statusTip().endsWith(QStringLiteral(" (tmpfs, tmpfs)")));

    // The 512 MiB volume has no window but is in the total overview.
    WhenShown(&gesamt, [&] { gesamt.done(0); });
    main.btnAllDirvesClick(&main);
    EXPECT_EQ(gesamt.LabelDriveList->text(), QStringLiteral("C:  D:  E:  F:  "));

    main.hide();
    InstallVolumeSource(nullptr);
}

int main(int argc, char **argv)
{
    const bool listing = argc > 1 && std::string(argv[1]).rfind("--gtest_list", 0) == 0;
    const bool mounted = !listing && mountVolumes();
    const int result = RunGuiTests(argc, argv);
    if (mounted)
        unmountVolumes();
    return result;
}
