#include "uGlobal.h"
#include "volume_source_fake.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(DriveLetter, NumberPlus64)
{
    EXPECT_EQ(DriveLetter(3), u'C');
    EXPECT_EQ(DriveLetter(26), u'Z');
    EXPECT_EQ(DriveLetter(1), u'A');
}

TEST(DriveExists, EitherCaseGivesTheSameAnswer)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'C', 931, 400);
    const std::unique_ptr<Pass> pass = fake.open();

    EXPECT_TRUE(DriveExists(*pass, u'C'));
    EXPECT_TRUE(DriveExists(*pass, u'c'));
    EXPECT_FALSE(DriveExists(*pass, u'D'));
    EXPECT_FALSE(DriveExists(*pass, u'd'));
}

TEST(DriveExists, ZeroBytesStillExist)
{
    FakeVolumeSource fake;
    fake.setDrive(u'E', 0, 0);
    EXPECT_TRUE(DriveExists(*fake.open(), u'E'));
}

TEST(DriveExists, DriveNumberIsTakenIn8Bits)
{
    FakeVolumeSource fake;
    fake.setDriveGB(u'C', 10, 5);
    const std::unique_ptr<Pass> pass = fake.open();
    // Only a..z are upper-cased; the code less 64 is then cut to 8 bits, so 'C' + 256 names C:.
    EXPECT_TRUE(DriveExists(*pass, static_cast<char16_t>(u'C' + 256)));
    EXPECT_FALSE(DriveExists(*pass, u'\u00E7'));
    EXPECT_FALSE(DriveExists(*pass, u'['));
}

TEST(BytesToGB, DropsTheRemainder)
{
    struct Row
    {
        const char *name;
        int64_t bytes;
        int64_t gigabytes;
    };
    const Row rows[] = {
        {"zero", 0, 0},
        {"failure value", -1, 0},
        {"one byte short of a GiB", 1'073'741'823, 0},
        {"exactly one GiB", 1'073'741'824, 1},
        {"1 TB disk", 1'000'204'886'016, 931},
        {"2 TB disk", 2'000'398'934'016, 1863},
        {"largest count", INT64_MAX, 8'589'934'591},
        {"negative rounds toward zero", -1'073'741'825, -1},
    };
    for (const Row &row : rows)
        EXPECT_EQ(BytesToGB(row.bytes), row.gigabytes) << row.name;
}
