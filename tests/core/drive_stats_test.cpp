#include "drive_stats.h"
#include "volume_source_fake.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {
constexpr int64_t GiB = int64_t{1} << 30;
constexpr int64_t MiB = int64_t{1} << 20;
} // namespace

TEST(DriveRoot, LetterColonBackslash)
{
    EXPECT_EQ(DriveRoot(3), u"C:\\");
    EXPECT_EQ(DriveRoot(26), u"Z:\\");
    EXPECT_EQ(DriveRoot(0), u"");
}

TEST(ReadDriveStats, FiguresFromByteCounts)
{
    struct Row
    {
        const char *name;
        int64_t totalBytes, freeBytes;
        int64_t total, free, used;
    };
    const Row rows[] = {
        {"used is the difference of truncated figures", 19 * GiB / 10, 95 * GiB / 100, 1, 0, 1},
        {"931 with 512 free", 931 * GiB, 512 * GiB, 931, 512, 419},
        {"500 MiB drive", 500 * MiB, 300 * MiB, 0, 0, 0},
        {"full drive", 8 * GiB, 0, 8, 0, 8},
        {"empty drive", 8 * GiB, 8 * GiB, 8, 8, 0},
        {"less than one GiB free", 8 * GiB, GiB - 1, 8, 0, 8},
    };
    for (const Row &row : rows) {
        FakeVolumeSource fake;
        fake.setDrive(u'C', row.totalBytes, row.freeBytes);
        ScopedVolumeSource installed(fake);
        const DriveStats stats = ReadDriveStats(3);
        EXPECT_EQ(stats.TotalGB, row.total) << row.name;
        EXPECT_EQ(stats.FreeGB, row.free) << row.name;
        EXPECT_EQ(stats.UsedGB, row.used) << row.name;
    }
}

TEST(ReadDriveStats, AsksTheHostTwicePlainly)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'D', 100, 40);
    ScopedVolumeSource installed(fake);
    ASSERT_TRUE(DriveExists(DriveLetter(4)));
    ReadDriveStats(4);
    // one usable drive costs three queries: size for existence, then size and free
    EXPECT_EQ(fake.probeCount, 1);
    EXPECT_EQ(fake.spaceCount, 2);
}

TEST(ReadDriveStats, DriveVanishingAfterTheExistenceTestReadsAsZero)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'F', 64, 10);
    fake.afterProbe = [&](char16_t letter) {
        fake.removeDrive(letter);
    };
    ScopedVolumeSource installed(fake);

    ASSERT_TRUE(DriveExists(u'F'));
    const DriveStats stats = ReadDriveStats(6);
    EXPECT_EQ(stats.TotalGB, 0);
    EXPECT_EQ(stats.FreeGB, 0);
    EXPECT_EQ(stats.UsedGB, 0);
    EXPECT_FALSE(DriveExists(u'F'));
}

TEST(ReadDriveStats, FailingQueriesGiveMinusOneAndZeroGB)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'G', 64, 10);
    fake.failQueries(u'G');
    ScopedVolumeSource installed(fake);

    EXPECT_TRUE(DriveExists(u'G'));
    EXPECT_EQ(QueryDriveSize(7), -1);
    EXPECT_EQ(QueryDriveFree(7), -1);
    const DriveStats stats = ReadDriveStats(7);
    EXPECT_EQ(stats.TotalGB, 0);
    EXPECT_EQ(stats.FreeGB, 0);
}

TEST(ReadDriveStats, NothingCarriesOverBetweenProbes)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'C', 931, 512);
    ScopedVolumeSource installed(fake);
    EXPECT_EQ(ReadDriveStats(3).FreeGB, 512);
    fake.setDriveGB(u'C', 931, 100);
    EXPECT_EQ(ReadDriveStats(3).FreeGB, 100);
}

TEST(QueryDrive, UnknownDriveGivesMinusOne)
{
    FakeVolumeSource fake;
    ScopedVolumeSource installed(fake);
    EXPECT_EQ(QueryDriveSize(25), -1);
    EXPECT_EQ(QueryDriveFree(25), -1);
}

TEST(PercentOf, PartTimes100OverTotal)
{
    struct Row
    {
        const char *name;
        int64_t part, total;
        double percent;
    };
    const Row rows[] = {
        {"one eighth", 1, 8, 12.5},
        {"nothing", 0, 931, 0.0},
        {"everything", 931, 931, 100.0},
        {"seven eighths", 7, 8, 87.5},
        {"occupied share", 531, 931, 53100.0 / 931.0},
        {"product beyond 64 bits", INT64_MAX / 10, INT64_MAX / 10, 100.0},
    };
    for (const Row &row : rows)
        EXPECT_DOUBLE_EQ(PercentOf(row.part, row.total), row.percent) << row.name;
}
