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
        {"figures failing after the existence test read as 0",
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 64, 10);
             f.failQueries(u'C');
         },
         true, false, 0, 0, 0, "", false},
        {"gone between the existence test and the figures",
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 64, 10);
             f.afterProbe = [&f](char16_t letter) {
                 f.removeDrive(letter);
             };
         },
         true, false, 0, 0, 0, "", false},
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
        ScopedVolumeSource installed(fake);
        DriveReport report;
        bool threw = false;
        try {
            ReportDrive(3, report);
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
    fake.afterProbe = [&](char16_t letter) {
        probed += letter;
        EXPECT_EQ(fake.scanDepth, 1) << "every probe inside the pass";
    };
    ScopedVolumeSource installed(fake);

    const std::vector<DriveReport> reports = ReportDrives();
    EXPECT_EQ(probed, u"CDEFGHIJKLMNOPQRSTUVWXYZ") << "never A: or B:";
    probed.clear();
    const std::vector<DriveReport> downward = ReportDrives(26, 3);
    EXPECT_EQ(probed, u"ZYXWVUTSRQPONMLKJIHGFEDC");
    ASSERT_EQ(downward.size(), 24u);
    EXPECT_EQ(downward.front().number, 26);
    EXPECT_EQ(fake.passCount, 2);
    fake.passCount = 1;
    EXPECT_EQ(fake.passCount, 1);
    EXPECT_EQ(fake.scanDepth, 0);
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
        {"a drive whose figures fail is listed, not summed",
         {".", ","},
         [](FakeVolumeSource &f) {
             f.setDriveGB(u'C', 100, 50);
             f.failQueries(u'D');
             f.setDriveGB(u'E', 10, 5);
         },
         {"C:  D:  E:  ", "55 GB", " 50.00 %", "55 GB", " 50.00 %", "110 GB", "100.00 %"},
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
        ScopedVolumeSource installed(fake);
        const OverviewFigures figures = OverviewOf(ReportDrives());
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

TEST(DriveWindowsNow, ARefreshIsDueWhenADriveWithAWindowComesOrGoesAndNeverOpensAPass)
{
    struct Row
    {
        const char *name;
        std::function<void(FakeVolumeSource &)> change;
        bool refresh;
    };
    const Row rows[] = {
        {"nothing changed", [](FakeVolumeSource &) {}, false},
        {"a drive of 3 GiB added", [](FakeVolumeSource &fake) { fake.setDriveGB(u'F', 3, 1); },
         true},
        {"a drive below one GiB added",
         [](FakeVolumeSource &fake) { fake.setDrive(u'F', 1023 * MiB, 0); }, false},
        {"a drive with a window removed", [](FakeVolumeSource &fake) { fake.removeDrive(u'D'); },
         true},
        {"a drive without a window removed", [](FakeVolumeSource &fake) { fake.removeDrive(u'E'); },
         false},
        {"a drive's figures changed", [](FakeVolumeSource &fake) { fake.setDriveGB(u'C', 931, 1); },
         false},
        {"a drive failing to describe itself",
         [](FakeVolumeSource &fake) { fake.throwOnDescribe(u'D'); }, true},
    };
    for (const Row &row : rows) {
        FakeVolumeSource fake;
        fake.setDriveGB(u'C', 931, 400);
        fake.setDriveGB(u'D', 1863, 1400);
        fake.setDrive(u'E', 512 * MiB, 100 * MiB);
        ScopedVolumeSource installed(fake);
        const std::vector<WindowedDrive> shown = WindowsOf(ReportDrives(26, 3));
        ASSERT_EQ(shown.size(), 2u);

        row.change(fake);
        const int passes = fake.passCount;
        EXPECT_EQ(WindowsChanged(DriveWindowsNow(shown), shown), row.refresh) << row.name;
        EXPECT_EQ(fake.passCount, passes) << row.name;
    }
}
