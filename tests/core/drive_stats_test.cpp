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
        const DriveStats stats = ReadDriveStats(*fake.open(), 3);
        EXPECT_EQ(stats.TotalGB, row.total) << row.name;
        EXPECT_EQ(stats.FreeGB, row.free) << row.name;
        EXPECT_EQ(stats.UsedGB, row.used) << row.name;
    }
}

TEST(ReadDriveStats, ExistenceSizeAndFreeAreOneAnswerOfThePassAndTheNextPassAsksAnew)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'D', 100, 40);
    // Changed right after the host's answer: the pass keeps what it was told.
    fake.afterAnswer = [&](char16_t letter) {
        fake.setDriveGB(letter, 200, 1);
    };
    const std::unique_ptr<Pass> pass = fake.open();
    ASSERT_TRUE(DriveExists(*pass, DriveLetter(4)));
    const DriveStats stats = ReadDriveStats(*pass, 4);
    EXPECT_EQ(stats.TotalGB, 100);
    EXPECT_EQ(stats.FreeGB, 40);
    EXPECT_EQ(fake.answers, 1);

    fake.afterAnswer = nullptr;
    EXPECT_EQ(ReadDriveStats(*fake.open(), 4).FreeGB, 1) << "nothing carries over";
    EXPECT_EQ(fake.answers, 2);
}

TEST(QueryDrive, NoAnswerGivesMinusOneAndZeroGB)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'G', 64, 10);
    fake.failQueries(u'G');
    const std::unique_ptr<Pass> pass = fake.open();
    for (const DriveNo number : {DriveNo{7}, DriveNo{25}}) {
        EXPECT_EQ(QueryDriveSize(*pass, number), -1) << int(number);
        EXPECT_EQ(QueryDriveFree(*pass, number), -1) << int(number);
        const DriveStats stats = ReadDriveStats(*pass, number);
        EXPECT_EQ(stats.TotalGB, 0) << int(number);
        EXPECT_EQ(stats.FreeGB, 0) << int(number);
    }
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
