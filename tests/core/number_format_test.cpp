#include "drive_stats.h"
#include "number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

const NumberSeparators german{".", ","};
const NumberSeparators english{",", "."};
const NumberSeparators noGrouping{"", "."};

} // namespace

TEST(RoundPercent, NearestWithTiesToEven)
{
    struct Row
    {
        const char *name;
        double percent;
        int64_t rounded;
    };
    const Row rows[] = {
        {"tie 12.5 down to even", 12.5, 12},
        {"tie 13.5 up to even", 13.5, 14},
        {"tie 0.5 to zero", 0.5, 0},
        {"tie 44.5", 44.5, 44},
        {"tie 45.5", 45.5, 46},
        {"tie 99.5", 99.5, 100},
        {"tie 37.5", 37.5, 38},
        {"tie 87.5", 87.5, 88},
        {"below half", 7.2, 7},
        {"above half", 99.994, 100},
        {"just below a tie", 0.49999999999999994, 0},
        {"just above a tie", 12.500000000000002, 13},
        {"negative tie", -1.5, -2},
        {"negative half", -0.5, 0},
        {"not a number", std::nan(""), 0},
        {"too large", 1e300, INT64_MAX},
        {"2^63 saturates", 0x1p63, INT64_MAX},
        {"the largest double below 2^63 is exact", 0x1p63 - 1024, INT64_MAX - 1023},
        {"-2^63 is exact", -0x1p63, INT64_MIN},
        {"below -2^63 saturates", -0x1p64, INT64_MIN},
    };
    for (const Row &row : rows)
        EXPECT_EQ(RoundPercent(row.percent), row.rounded) << row.name;
}

TEST(RoundPercent, FreeAndOccupiedSharesAlwaysAddUpTo100)
{
    for (int64_t total = 1; total <= 1200; ++total) {
        for (int64_t free = 0; free <= total; ++free) {
            const int64_t sum =
                RoundPercent(PercentOf(free, total)) + RoundPercent(PercentOf(total - free, total));
            ASSERT_EQ(sum, 100) << free << " of " << total;
        }
    }
}

TEST(FormatGB, GroupedBySeparatorsInForce)
{
    struct Row
    {
        const char *name;
        int64_t value;
        NumberSeparators separators;
        const char *text;
    };
    const Row rows[] = {
        {"de zero", 0, german, "0"},
        {"de 7", 7, german, "7"},
        {"de 931", 931, german, "931"},
        {"de grouping 1863", 1863, german, "1.863"},
        {"de 12345", 12345, german, "12.345"},
        {"de eight nines", 99'999'999, german, "99.999.999"},
        {"de 10^8 scientific", 100'000'000, german, "1E8"},
        {"de 123456789 rounds up", 123'456'789, german, "1,2345679E8"},
        {"de carry into new digit", 999'999'995, german, "1E9"},
        {"de no carry", 999'999'994, german, "9,9999999E8"},
        {"de trailing zeros dropped", 120'000'000, german, "1,2E8"},
        {"de negative", -1863, german, "-1.863"},
        {"de most negative", INT64_MIN, german, "-9,223372E18"},
        {"en zero", 0, english, "0"},
        {"en grouping 1863", 1863, english, "1,863"},
        {"en 12345", 12345, english, "12,345"},
        {"en eight nines", 99'999'999, english, "99,999,999"},
        {"en 10^8 scientific", 100'000'000, english, "1E8"},
        {"en 123456789", 123'456'789, english, "1.2345679E8"},
        {"empty thousands joins directly", 12345, noGrouping, "12345"},
        {"multibyte thousands", 1234567, {"\u202F", ","}, "1\u202F234\u202F567"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FormatGB(row.value, row.separators), row.text) << row.name;
}

TEST(FormatGB, FollowsTheSeparatorsInForce)
{
    const NumberSeparators before = NumberSeparatorsInForce();
    SetNumberSeparators(german);
    EXPECT_EQ(FormatGB(1863), "1.863");
    SetNumberSeparators(english);
    EXPECT_EQ(FormatGB(1863), "1,863");
    EXPECT_EQ(FormatSumGB(1863), "1863");
    EXPECT_EQ(FormatPercentFixed(45.5), " 45.50");
    SetNumberSeparators(before);
}

TEST(FormatPercent, RoundedThenGroupedWithFourDigits)
{
    struct Row
    {
        const char *name;
        double percent;
        const char *text;
    };
    const Row rows[] = {
        {"zero", 0, "0"},
        {"tie 0.5 to zero", 0.5, "0"},
        {"7.2", 7.2, "7"},
        {"tie 44.5", 44.5, "44"},
        {"tie 45.5", 45.5, "46"},
        {"99.994", 99.994, "100"},
        {"all", 100, "100"},
        {"four digits grouped", 1234, "1.234"},
        {"five digits scientific", 12345, "1,235E4"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FormatPercent(row.percent, german), row.text) << row.name;
}

TEST(FormatSumGB, PlainDigits)
{
    struct Row
    {
        int64_t value;
        const char *text;
    };
    const Row rows[] = {{0, "0"},       {7, "7"},         {931, "931"},
                        {1863, "1863"}, {12345, "12345"}, {123456789012, "123456789012"},
                        {-42, "-42"}};
    for (const Row &row : rows)
        EXPECT_EQ(FormatSumGB(row.value), row.text) << row.value;
}

TEST(FormatPercentFixed, TwoDecimalsRightAlignedInSix)
{
    struct Row
    {
        const char *name;
        double percent;
        const char *text;
    };
    const Row rows[] = {
        {"zero", 0, "  0.00"},
        {"0.005 rounds up", 0.005, "  0.01"},
        {"tie 0.125 away from zero", 0.125, "  0.13"},
        {"tie 0.625 away from zero, not to even", 0.625, "  0.63"},
        {"half", 0.5, "  0.50"},
        {"a third", 100.0 / 3, " 33.33"},
        {"45.5", 45.5, " 45.50"},
        {"two thirds", 200.0 / 3, " 66.67"},
        {"tie 99.875", 99.875, " 99.88"},
        {"99.994", 99.994, " 99.99"},
        {"99.996 carries", 99.996, "100.00"},
        {"all", 100, "100.00"},
        {"longer text stays whole", 1000, "1000.00"},
        {"2.675 is stored below the tie", 2.675, "  2.67"},
        {"1.005 is stored below the tie", 1.005, "  1.00"},
        {"tiny", 1e-300, "  0.00"},
        {"occupied share of the overview", PercentOf(882, 2794), " 31.57"},
        {"free share of the overview", PercentOf(1912, 2794), " 68.43"},
        {"one of 800", PercentOf(1, 800), "  0.13"},
        {"799 of 800", PercentOf(799, 800), " 99.88"},
        {"negative", -2.5, " -2.50"},
        {"huge whole number", 1e20, "100000000000000000000.00"},
        {"not a number", std::nan(""), "   ---"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FormatPercentFixed(row.percent), row.text) << row.name;
}

TEST(SeparatorsFromSettings, FallbacksForUnusableSettings)
{
    struct Row
    {
        const char *name;
        std::optional<std::string> thousands, decimal;
        NumberSeparators expected;
    };
    const Row rows[] = {
        {"german", ".", ",", {".", ","}},
        {"english", ",", ".", {",", "."}},
        {"empty thousands means none", "", ".", {"", "."}},
        {"one multibyte character counts as one", "\u202F", ",", {"\u202F", ","}},
        {"two characters give a comma", "..", ",", {",", ","}},
        {"unreadable thousands", std::nullopt, ",", {",", ","}},
        {"unreadable decimal", ".", std::nullopt, {".", "."}},
        {"empty decimal", ".", "", {".", "."}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(SeparatorsFromSettings(row.thousands, row.decimal), row.expected) << row.name;
}

namespace {

// Round half away from zero on the exact decimal expansion of a non-negative double, which
// the C library's printf writes digit for digit (glibc's, and MinGW-w64's own on Windows). The
// program never leaves the "C" locale, so the point is always ".".
std::string exactFixed(double value)
{
    static char buffer[1200];
    std::snprintf(buffer, sizeof buffer, value >= 0x1p-20 ? "%.80f" : "%.1100f", value);
    const std::string digits = buffer;
    const size_t point = digits.find('.');
    uint64_t hundredths =
        std::stoull(digits.substr(0, point)) * 100 +
        static_cast<uint64_t>((digits[point + 1] - '0') * 10 + (digits[point + 2] - '0'));
    if (digits[point + 3] >= '5')
        ++hundredths;
    std::snprintf(buffer, sizeof buffer, "%6llu.%02llu",
                  static_cast<unsigned long long>(hundredths / 100),
                  static_cast<unsigned long long>(hundredths % 100));
    std::string text = buffer;
    // "%6llu" padded the whole part to six; the result pads the whole text to six.
    text.erase(0, text.find_first_not_of(' '));
    return std::string(text.size() < 6 ? 6 - text.size() : 0, ' ') + text;
}

} // namespace

TEST(FormatPercentFixed, AgreesWithExactDecimalRounding)
{
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> uniform(0.0, 1000.0);
    std::uniform_int_distribution<int> eighths(0, 8000);
    std::uniform_int_distribution<int> kind(0, 9);

    for (int i = 0; i < 1'000'000; ++i) {
        double value = uniform(random);
        switch (kind(random)) {
        case 0: // an exact tie: j/8 x 100 = 12.5 j
            value = eighths(random) / 8.0;
            break;
        case 1: // the neighbours of a tie
            value = std::nextafter(eighths(random) / 8.0, (i % 2) ? 0.0 : 1000.0);
            break;
        case 2: // small values with long expansions
            value = std::ldexp(uniform(random) / 1000.0, -(i % 40));
            break;
        default:
            break;
        }
        const std::string expected = exactFixed(value);
        const std::string actual = FormatPercentFixed(value);
        if (actual != expected)
            FAIL() << std::hexfloat << value << ": " << actual << " vs " << expected;
    }
}

TEST(FormatChartValue, ValueFormatOfTheMarks)
{
    struct Row
    {
        const char *name;
        double value;
        const char *text;
    };
    const Row rows[] = {
        {"no grouping", 1863, "1863"},
        {"zero", 0, "0"},
        {"a decimal stays", 2.5, "2.5"},
        {"three decimals at most", 1.23456, "1.235"},
        {"trailing zeros dropped", 2.100, "2.1"},
        {"half away from zero", 0.0625, "0.063"},
        {"rounds to whole", 9.9996, "10"},
        {"below the last place", 0.0004, "0"},
        {"negative", -2.5, "-2.5"},
        {"negative rounding to zero has no sign", -0.0001, "0"},
        {"large", 1e20, "100000000000000000000"},
        {"not a number", std::nan(""), "0"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(FormatChartValue(row.value), row.text) << row.name;
}
