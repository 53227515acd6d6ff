#include "fill_warning.h"

#include "number_format.h"

#include <gtest/gtest.h>

#include <limits>

using namespace std::chrono_literals;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;
constexpr int64_t MiB = int64_t{1} << 20;
constexpr int64_t largest = std::numeric_limits<int64_t>::max();

const char *Name(WarningLevel level)
{
    return level == WarningLevel::Critical  ? "critical"
           : level == WarningLevel::Warning ? "warning"
                                            : "none";
}

} // namespace

TEST(WarningLevelOf, Rule)
{
    constexpr auto W = WarningLevel::Warning;
    constexpr auto C = WarningLevel::Critical;
    constexpr auto N = WarningLevel::None;
    const std::optional<std::chrono::seconds> none;
    struct Row
    {
        const char *name;
        int64_t totalBytes, freeBytes;
        bool readOnly;
        std::optional<std::chrono::seconds> timeToFull;
        WarningLevel level;
    };
    const Row rows[] = {
        {"half free, steady", 100 * GiB, 50 * GiB, false, none, N},
        {"exactly 5 % free is not below", 100 * GiB, 5 * GiB, false, none, N},
        {"a byte below 5 % and below 10 GiB", 100 * GiB, 5 * GiB - 1, false, none, C},
        {"below 5 %, exactly 10 GiB free", 1000 * GiB, 10 * GiB, false, none, N},
        {"below 5 %, a byte below 10 GiB", 1000 * GiB, 10 * GiB - 1, false, none, C},
        {"3 % of a large disk is 30 GiB", 1000 * GiB, 30 * GiB, false, none, N},
        {"a small RAM disk 97 % full", 100 * MiB, 3 * MiB, false, none, C},
        {"full", 100 * GiB, 0, false, none, C},
        {"full within 4 hours", 100 * GiB, 80 * GiB, false, 3h, C},
        {"full in exactly 4 hours", 100 * GiB, 30 * GiB, false, 4h, C},
        {"full in 4 hours and a second, below 40 %", 100 * GiB, 30 * GiB, false, 4h + 1s, W},
        {"full in exactly 24 hours, below 40 %", 100 * GiB, 30 * GiB, false, 24h, W},
        {"full in 24 hours and a second", 100 * GiB, 30 * GiB, false, 24h + 1s, N},
        {"full within 24 hours, exactly 40 % free", 100 * GiB, 40 * GiB, false, 20h, N},
        {"full within 24 hours, a byte below 40 %", 100 * GiB, 40 * GiB - 1, false, 20h, W},
        {"full within 24 hours, 60 % free", 100 * GiB, 60 * GiB, false, 20h, N},
        {"below 5 % and full within a day: critical wins", 100 * GiB, GiB, false, 20h, C},
        {"a prediction below 0 is full already", 100 * GiB, 30 * GiB, false, -2h, C},
        {"read-only and full", 100 * GiB, 0, true, none, N},
        {"read-only and full within an hour", 100 * GiB, 30 * GiB, true, 1h, N},
        {"size 0", 0, 0, false, 1h, N},
        {"a failed reading", -1, -1, false, none, N},
        {"more free than capacity", 100 * GiB, 100 * GiB + 1, false, 1h, N},
        {"negative free space", 100 * GiB, -1, false, 1h, N},
        {"8 EiB, a byte below 40 %", largest, largest / 5 * 2, false, 20h, W},
        {"8 EiB, 40 % rounded up", largest, largest / 5 * 2 + 1, false, 20h, N},
        {"8 EiB, a byte below 5 % is far above 10 GiB", largest, largest / 20, false, none, N},
    };
    for (const Row &row : rows) {
        const WarningLevel level =
            WarningLevelOf(row.totalBytes, row.freeBytes, row.readOnly, row.timeToFull);
        EXPECT_EQ(level, row.level) << row.name << ": " << Name(level);
    }
}

TEST(WarningMemory, OncePerLevelAgainWhenWorseOrBack)
{
    constexpr auto W = WarningLevel::Warning;
    constexpr auto C = WarningLevel::Critical;
    constexpr auto N = WarningLevel::None;
    constexpr int64_t total = 100 * GiB;
    struct Row
    {
        const char *name;
        Microseconds at;
        WarningLevel level;
        int64_t totalBytes, freeBytes;
        bool told;
    };
    // One volume, step by step.
    const Row rows[] = {
        {"nothing to tell", 0min, N, total, 50 * GiB, false},
        {"the first warning", 1min, W, total, 30 * GiB, true},
        {"the same level, half a percent less free", 2min, W, total, 29 * GiB + 512 * MiB, false},
        {"a byte short of 1 % less free", 20min, W, total, 29 * GiB + 1, false},
        {"1 % less free is worse", 21min, W, total, 29 * GiB, true},
        {"critical within 10 minutes waits", 22min, C, total, 28 * GiB, false},
        {"a second short of 10 minutes", 31min - 1s, C, total, 28 * GiB, false},
        {"10 minutes on, the held notice comes", 31min, C, total, 28 * GiB, true},
        {"back to warning is no news", 32min, W, total, 28 * GiB, false},
        {"critical back after 10 minutes", 45min, C, total, 28 * GiB, true},
        {"free more than capacity: changes nothing", 46min, N, total, total + 1, false},
        {"critical still, as told", 60min, C, total, 28 * GiB, false},
        {"a failed reading: changes nothing", 61min, N, -1, -1, false},
        {"capacity 0: changes nothing", 62min, N, 0, 0, false},
        {"critical still, as told after odd readings", 63min, C, total, 28 * GiB, false},
        {"cleared", 64min, N, total, 50 * GiB, false},
        {"the warning back after clearing", 65min, W, total, 30 * GiB, true},
        {"cleared again", 66min, N, total, 50 * GiB, false},
        {"back within 10 minutes waits", 70min, W, total, 30 * GiB, false},
        {"and comes after 10 minutes", 75min, W, total, 30 * GiB, true},
        {"more free is no news", 90min, W, total, 35 * GiB, false},
        {"1 % less free than at the notice", 91min, W, total, 29 * GiB, true},
    };
    WarningMemory memory;
    for (const Row &row : rows) {
        EXPECT_EQ(memory.NoticeDue(row.level, row.totalBytes, row.freeBytes, row.at), row.told)
            << row.name;
    }
}

TEST(WarningMemory, VolumesAreApart)
{
    WarningMemory c;
    WarningMemory d;
    EXPECT_TRUE(c.NoticeDue(WarningLevel::Critical, 100 * GiB, GiB, 0s));
    EXPECT_TRUE(d.NoticeDue(WarningLevel::Critical, 100 * GiB, GiB, 1s)) << "within 10 minutes";
    EXPECT_FALSE(c.NoticeDue(WarningLevel::Critical, 100 * GiB, GiB, 2s));
}

TEST(WarningTexts, TitleAndText)
{
    const NumberSeparators before = NumberSeparatorsInForce();
    SetNumberSeparators({".", ","});
    EXPECT_EQ(WarningTitle(WarningLevel::Critical, "C:\\"), "Laufwerk C:\\ fast voll");
    EXPECT_EQ(WarningTitle(WarningLevel::Warning, "D:\\"), "Laufwerk D:\\ bald voll");
    struct Row
    {
        const char *name;
        int64_t totalBytes, freeBytes;
        std::optional<std::chrono::seconds> timeToFull;
        const char *mount;
        const char *text;
    };
    const Row rows[] = {
        {"with a time to full", 100 * GiB, 3 * GiB, 3h, "",
         "Noch 3 GB frei (3%), voll in etwa 3 Std."},
        {"without", 100 * GiB, 3 * GiB, std::nullopt, "", "Noch 3 GB frei (3%)."},
        {"whole GiB, the rest dropped", 100 * GiB, 4 * GiB - 1, std::nullopt, "",
         "Noch 3 GB frei (4%)."},
        {"below 1 GiB in MB", 10 * GiB, 350 * MiB, 20min, "",
         "Noch 350 MB frei (3%), voll in etwa 20 Min."},
        {"full", 10 * GiB, 0, std::nullopt, "", "Noch 0 MB frei (0%)."},
        {"grouped", 20000 * GiB, 12345 * GiB, 10h, "",
         "Noch 12.345 GB frei (62%), voll in etwa 10 Std."},
        {"the mount below", 100 * MiB, 3 * MiB, std::nullopt, "/mnt/ram (tmpfs, tmpfs)",
         "Noch 3 MB frei (3%).\n/mnt/ram (tmpfs, tmpfs)"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(WarningText(row.totalBytes, row.freeBytes, row.timeToFull, row.mount), row.text)
            << row.name;
    SetNumberSeparators(before);
}
