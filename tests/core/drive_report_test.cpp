#include "drive_report.h"
#include "number_format.h"
#include "volume_source_fake.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

constexpr int64_t GiB = int64_t{1} << 30;
constexpr int64_t MiB = int64_t{1} << 20;

// The German separators, for one test's lifetime.
class GermanSeparators
{
public:
    GermanSeparators() { SetNumberSeparators({".", ","}); }
    ~GermanSeparators() { SetNumberSeparators(previous); }

private:
    NumberSeparators previous = NumberSeparatorsInForce();
};

} // namespace

TEST(ReportDrive, WhatOneProbeFinds)
{
    struct Row
    {
        const char *name;
        std::function<void(FakeVolumeSource &)> drive; // drive C:
        bool exists, window;
        int64_t total, free, used;
        const char *description;
        bool throws;
    };
    const Row rows[] = {
        {"a usable drive", [](FakeVolumeSource &f) { f.setDriveGB(u'C', 931, 400); }, true, true,
         931, 400, 531, "/mnt/c (fakefs, fakeC)", false},
        {"exactly one GiB gets a window", [](FakeVolumeSource &f) { f.setDrive(u'C', GiB, 0); },
         true, true, 1, 0, 1, "/mnt/c (fakefs, fakeC)", false},
        {"one byte short of a GiB gets none",
         [](FakeVolumeSource &f) { f.setDrive(u'C', GiB - 1, 0); }, true, false, 0, 0, 0, "",
         false},
        {"500 MiB exists without a window",
         [](FakeVolumeSource &f) { f.setDrive(u'C', 500 * MiB, 300 * MiB); }, true, false, 0, 0, 0,
         "", false},
        {"a drive of 0 bytes exists", [](FakeVolumeSource &f) { f.setDrive(u'C', 0, 0); }, true,
         false, 0, 0, 0, "", false},
        {"no drive", [](FakeVolumeSource &) {}, false, false, 0, 0, 0, "", false},
        {"listed by the host but without figures is no drive",
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 64, 10);
             f.failQueries(u'C');
         },
         false, false, 0, 0, 0, "", false},
        {"gone right after its answer keeps the figures and the mount the pass saw",
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 64, 10);
             f.afterAnswer = [&f](char16_t letter) {
                 f.removeDrive(letter);
             };
         },
         true, true, 64, 10, 54, "/mnt/c (fakefs, fakeC)", false},
        {"a failing description keeps the figures but gives no window",
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 100, 10);
             f.throwOnDescribe(u'C');
         },
         true, false, 100, 10, 90, "", true},
    };
    for (const Row &row : rows) {
        FakeVolumeSource fake;
        row.drive(fake);
        DriveReport report;
        bool threw = false;
        try {
            ReportDrive(*fake.open(), 3, report);
        } catch (const std::exception &) {
            threw = true;
        }
        EXPECT_EQ(threw, row.throws) << row.name;
        EXPECT_EQ(report.number, 3) << row.name;
        EXPECT_EQ(report.exists, row.exists) << row.name;
        EXPECT_EQ(report.window, row.window) << row.name;
        EXPECT_EQ(report.stats.TotalGB, row.total) << row.name;
        EXPECT_EQ(report.stats.FreeGB, row.free) << row.name;
        EXPECT_EQ(report.stats.UsedGB, row.used) << row.name;
        EXPECT_EQ(report.description, row.description) << row.name;
    }
}

TEST(ReportDrives, CToZInOnePassAFailureStaysWithItsDrive)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'A', 1, 1);
    fake.setDriveGB(u'B', 1, 1);
    fake.setDriveGB(u'C', 931, 400);
    fake.setDriveGB(u'D', 100, 10);
    fake.throwOnDescribe(u'D');
    fake.setDriveGB(u'Z', 50, 25);
    std::u16string probed;
    fake.afterAnswer = [&](char16_t letter) {
        probed += letter;
    };

    const std::vector<DriveReport> reports = ReportDrives(fake);
    EXPECT_EQ(probed, u"CDEFGHIJKLMNOPQRSTUVWXYZ") << "never A: or B:, each once";
    probed.clear();
    const std::vector<DriveReport> downward = ReportDrives(fake, 26, 3);
    EXPECT_EQ(probed, u"ZYXWVUTSRQPONMLKJIHGFEDC");
    ASSERT_EQ(downward.size(), 24u);
    EXPECT_EQ(downward.front().number, 26);
    EXPECT_EQ(fake.passCount, 2);
    ASSERT_EQ(reports.size(), 24u);
    std::u16string windows;
    for (const DriveReport &report : reports) {
        if (report.window)
            windows += DriveLetter(report.number);
    }
    EXPECT_EQ(windows, u"CZ");
    EXPECT_TRUE(reports[1].exists) << "D: passed its existence test";
    EXPECT_EQ(reports[1].stats.TotalGB, 100);
}

TEST(FiguresOf, SixTextsAndTwoPoints)
{
    const GermanSeparators german;
    struct Row
    {
        const char *name;
        int64_t total, free;
        std::vector<std::string> texts; // occupied GB, %, free GB, %, total GB, %
    };
    const Row rows[] = {
        {"931 with 400 free", 931, 400, {"531 GB =", "57%", "400 GB =", "43%", "931 GB =", "100%"}},
        {"ties go to the even neighbour",
         8,
         1,
         {"7 GB =", "88%", "1 GB =", "12%", "8 GB =", "100%"}},
        {"37.5 and 62.5", 8, 3, {"5 GB =", "62%", "3 GB =", "38%", "8 GB =", "100%"}},
        {"thousands grouped",
         1863,
         1400,
         {"463 GB =", "25%", "1.400 GB =", "75%", "1.863 GB =", "100%"}},
        {"nothing free", 64, 0, {"64 GB =", "100%", "0 GB =", "0%", "64 GB =", "100%"}},
        {"one GiB", 1, 0, {"1 GB =", "100%", "0 GB =", "0%", "1 GB =", "100%"}},
    };
    for (const Row &row : rows) {
        const DriveStats stats{row.total, row.free, row.total - row.free};
        const DriveFigures figures = FiguresOf(stats);
        EXPECT_EQ(
            (std::vector<std::string>{figures.usedGB, figures.usedPercent, figures.freeGB,
                                      figures.freePercent, figures.totalGB, figures.totalPercent}),
            row.texts)
            << row.name;
        EXPECT_EQ(figures.usedPoint, static_cast<double>(row.total - row.free)) << row.name;
        EXPECT_EQ(figures.freePoint, static_cast<double>(row.free)) << row.name;
    }
}

TEST(OverviewOf, ListSumsAndShares)
{
    struct Row
    {
        const char *name;
        NumberSeparators separators;
        std::function<void(FakeVolumeSource &)> drives;
        // drive list, used, used share, free, free share, total, total share
        std::vector<std::string> texts;
        int64_t used, free;
    };
    const auto three = [](FakeVolumeSource &f) {
        f.setDriveGB(u'C', 931, 512);
        f.setDriveGB(u'D', 1863, 1400);
        f.setDrive(u'E', GiB / 2, GiB / 4);
    };
    const Row rows[] = {
        {"every usable drive, below 1 GiB too, in German",
         {".", ","},
         three,
         {"C:  D:  E:  ", "882 GB", " 31.57 %", "1912 GB", " 68.43 %", "2794 GB", "100.00 %"},
         882,
         1912},
        {"the sums ignore the regional settings",
         {",", "."},
         three,
         {"C:  D:  E:  ", "882 GB", " 31.57 %", "1912 GB", " 68.43 %", "2794 GB", "100.00 %"},
         882,
         1912},
        {"shares rounded each on their own",
         {".", ","},
         [](FakeVolumeSource &f) { f.setDriveGB(u'C', 800, 1); },
         {"C:  ", "799 GB", " 99.88 %", "1 GB", "  0.13 %", "800 GB", "100.00 %"},
         799,
         1},
        {"nothing to sum gives zeros, never a quotient of zero by zero",
         {".", ","},
         [](FakeVolumeSource &f) { f.setDrive(u'C', GiB / 2, GiB / 4); },
         {"C:  ", "0 GB", "  0.00 %", "0 GB", "  0.00 %", "0 GB", "100.00 %"},
         0,
         0},
        {"no drive at all",
         {".", ","},
         [](FakeVolumeSource &) {},
         {"", "0 GB", "  0.00 %", "0 GB", "  0.00 %", "0 GB", "100.00 %"},
         0,
         0},
        {"a drive the host gives no figures for is neither listed nor summed",
         {".", ","},
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 100, 50);
             f.failQueries(u'D');
             f.setDriveGB(u'E', 10, 5);
         },
         {"C:  E:  ", "55 GB", " 50.00 %", "55 GB", " 50.00 %", "110 GB", "100.00 %"},
         55,
         55},
        {"no grouping in the sums",
         {".", ","},
         [](FakeVolumeSource &f) {
             for (char16_t letter = u'C'; letter <= u'Z'; ++letter)
                 f.setDriveGB(letter, 12345, 1);
         },
         {"C:  D:  E:  F:  G:  H:  I:  J:  K:  L:  M:  N:  O:  P:  Q:  R:  S:  T:  U:  V:  W:  "
          "X:  Y:  Z:  ",
          "296256 GB", " 99.99 %", "24 GB", "  0.01 %", "296280 GB", "100.00 %"},
         296256,
         24},
    };
    const NumberSeparators previous = NumberSeparatorsInForce();
    for (const Row &row : rows) {
        SetNumberSeparators(row.separators);
        FakeVolumeSource fake;
        row.drives(fake);
        const OverviewFigures figures = OverviewOf(ReportDrives(fake));
        EXPECT_EQ((std::vector<std::string>{figures.driveList, figures.usedText, figures.usedShare,
                                            figures.freeText, figures.freeShare, figures.totalText,
                                            figures.totalShare}),
                  row.texts)
            << row.name;
        EXPECT_EQ(figures.usedGB, row.used) << row.name;
        EXPECT_EQ(figures.freeGB, row.free) << row.name;
    }
    SetNumberSeparators(previous);
}

TEST(DriveWindowsNow, ARefreshIsDueWhenADriveWithAWindowComesGoesOrSwapsInOnePass)
{
    struct Row
    {
        const char *name;
        std::function<void(FakeVolumeSource &)> change;
        bool refresh;
        // Drives asked of the host: never those whose windows stand for the same mounts.
        int answers;
    };
    const Row rows[] = {
        {"nothing changed", [](FakeVolumeSource &) {}, false, 22},
        {"a drive of 3 GiB added", [](FakeVolumeSource &fake) { fake.setDriveGB(u'F', 3, 1); },
         true, 22},
        {"a drive below one GiB added",
         [](FakeVolumeSource &fake) { fake.setDrive(u'F', 1023 * MiB, 0); }, false, 22},
        {"a drive with a window removed", [](FakeVolumeSource &fake) { fake.removeDrive(u'D'); },
         true, 23},
        {"a drive without a window removed", [](FakeVolumeSource &fake) { fake.removeDrive(u'E'); },
         false, 22},
        {"a drive's figures changed", [](FakeVolumeSource &fake) { fake.setDriveGB(u'C', 931, 1); },
         false, 22},
        {"another mount at a letter with a window",
         [](FakeVolumeSource &fake) { fake.swapMount(u'D'); }, true, 23},
        {"a drive failing to describe itself",
         [](FakeVolumeSource &fake) { fake.throwOnDescribe(u'D'); }, true, 22},
        {"a host without descriptions: a drive with a window removed",
         [](FakeVolumeSource &fake) {
             fake.describes = false;
             fake.removeDrive(u'D');
         },
         true, 24},
        {"a host without descriptions: nothing changed",
         [](FakeVolumeSource &fake) { fake.describes = false; }, false, 24},
    };
    for (const Row &row : rows) {
        FakeVolumeSource fake;
        fake.setDriveGB(u'C', 931, 400);
        fake.setDriveGB(u'D', 1863, 1400);
        fake.setDrive(u'E', 512 * MiB, 100 * MiB);
        row.change(fake);
        // What the windows showed before the change, as a scan found them.
        const bool describes = fake.describes;
        FakeVolumeSource before;
        before.describes = describes;
        before.setDriveGB(u'C', 931, 400);
        before.setDriveGB(u'D', 1863, 1400);
        const std::vector<WindowedDrive> shown = WindowsOf(ReportDrives(before, 26, 3));
        ASSERT_EQ(shown.size(), 2u) << row.name;

        EXPECT_EQ(WindowsChanged(DriveWindowsNow(fake, shown), shown), row.refresh) << row.name;
        EXPECT_EQ(fake.passCount, 1) << row.name;
        EXPECT_EQ(fake.answers, row.answers) << row.name;
    }
}

TEST(WindowsChanged, LettersAndMountsCountNotTheirDescriptions)
{
    const std::vector<WindowedDrive> shown = {{3, "/ (ext4, /dev/vda)", "21 8:1"},
                                              {4, "/data (ext4, /dev/vdb)", "40 8:16"}};
    struct Row
    {
        const char *name;
        std::vector<WindowedDrive> now;
        bool changed;
    };
    const Row rows[] = {
        {"the same", shown, false},
        {"a folder above a mount point renamed",
         {shown[0], {4, "/daten (ext4, /dev/vdb)", "40 8:16"}},
         false},
        {"one drive swapped for another at its letter",
         {shown[0], {4, "/data (ext4, /dev/vdb)", "41 8:32"}},
         true},
        {"a drive moved to another letter",
         {shown[0], {5, shown[1].description, shown[1].key}},
         true},
        {"one drive fewer", {shown[0]}, true},
        {"one drive more", {shown[0], shown[1], {5, "/x (tmpfs, tmpfs)", "50 0:61"}}, true},
    };
    for (const Row &row : rows)
        EXPECT_EQ(WindowsChanged(row.now, shown), row.changed) << row.name;
}

TEST(DriveCaptionAndHint, WhatTheWindowAndTheStatusBarSayOfADrive)
{
    struct Row
    {
        const char *name;
        std::string machine;
        FillMark mark;
        std::string description;
        std::string timeToFull;
        std::string caption;
        std::string hint;
    };
    const Row rows[] = {
        {"this machine's drive", "", FillMark::None, "/ (ext4, /dev/vda)", "", "D:\\",
         "D:\\ = / (ext4, /dev/vda)"},
        {"filling up", "", FillMark::Soon, "/ (ext4, /dev/vda)", "voll in etwa 9 Std.",
         "D:\\ \u2013 bald voll", "D:\\ = / (ext4, /dev/vda) \u2013 voll in etwa 9 Std."},
        {"nearly full", "", FillMark::Nearly, "/ (ext4, /dev/vda)", "", "D:\\ \u2013 fast voll",
         "D:\\ = / (ext4, /dev/vda)"},
        {"another machine's", "host-b", FillMark::Nearly, "/ (ext4, /dev/vda) auf host-b",
         "voll in etwa 3 Std.", "D:\\ \u2013 host-b \u2013 fast voll",
         "D:\\ = / (ext4, /dev/vda) auf host-b \u2013 voll in etwa 3 Std."},
        {"a host that names no mounts, nothing to say", "", FillMark::None, "", "", "D:\\", ""},
        {"a host that names no mounts, filling up", "", FillMark::Soon, "", "voll in etwa 5 Min.",
         "D:\\ \u2013 bald voll", "D:\\ \u2013 voll in etwa 5 Min."},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(DriveCaption(4, row.machine, row.mark), row.caption) << row.name;
        EXPECT_EQ(DriveHint(4, row.description, row.timeToFull), row.hint) << row.name;
    }
}
