// The C library's own grouping as the oracle for the grouped formats: glibc's printf("%'lld")
// under the real de_DE.UTF-8 and en_US.UTF-8 locales (POSIX, so the Linux build only).
#include "number_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <langinfo.h>
#include <locale.h>
#include <string>

class GroupingOracle : public testing::TestWithParam<const char *>
{
};

TEST_P(GroupingOracle, AgreesWithTheCLibrary)
{
    const locale_t locale = newlocale(LC_ALL_MASK, GetParam(), static_cast<locale_t>(nullptr));
    if (!locale)
        GTEST_SKIP() << "locale " << GetParam() << " is not generated on this machine";
    const NumberSeparators separators{nl_langinfo_l(THOUSEP, locale),
                                      nl_langinfo_l(RADIXCHAR, locale)};
    ASSERT_EQ(separators.thousands.size(), 1u);

    const locale_t previous = uselocale(locale);
    char buffer[64];
    int checked = 0;
    for (long long n = 0; n < 100'000'000; n += (n < 20'000 ? 1 : 997)) {
// The ' flag (group by the locale) is POSIX, not ISO C++.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
        std::snprintf(buffer, sizeof buffer, "%'lld", n);
#pragma GCC diagnostic pop
        const std::string expected = buffer;
        if (FormatGB(n, separators) != expected) {
            uselocale(previous);
            FAIL() << n << ": " << FormatGB(n, separators) << " vs " << expected;
        }
        if (n < 10'000 && FormatPercent(static_cast<double>(n), separators) != expected) {
            uselocale(previous);
            FAIL() << n << ": " << FormatPercent(static_cast<double>(n), separators);
        }
        ++checked;
    }
    uselocale(previous);
    freelocale(locale);
    EXPECT_GT(checked, 100'000);
}

INSTANTIATE_TEST_SUITE_P(Locales, GroupingOracle, testing::Values("de_DE.UTF-8", "en_US.UTF-8"),
                         [](const auto &info) { return std::string(info.param).substr(0, 2); });
