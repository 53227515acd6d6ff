#include "number_separators.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>

namespace {

bool localeAvailable(const char *name)
{
    const locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (!locale)
        return false;
    freelocale(locale);
    return true;
}

} // namespace

TEST(ReadHostSeparators, FromTheUsersNumericLocale)
{
    struct Row
    {
        const char *name;
        const char *lcAll;
        const char *lcNumeric;
        NumberSeparators expected;
    };
    const Row rows[] = {
        {"german", "de_DE.UTF-8", nullptr, {".", ","}},
        {"english", "en_US.UTF-8", nullptr, {",", "."}},
        {"C has no thousands separator", "C", nullptr, {"", "."}},
        {"numeric category alone decides", nullptr, "de_DE.UTF-8", {".", ","}},
        {"missing locale falls back", "xx_XX.UTF-8", nullptr, {",", "."}},
    };
    if (!localeAvailable("de_DE.UTF-8") || !localeAvailable("en_US.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 and en_US.UTF-8 are not generated on this machine";

    const char *keepLang = std::getenv("LANG");
    const std::string lang = keepLang ? keepLang : "";
    for (const Row &row : rows) {
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_NUMERIC");
        ::setenv("LANG", "C.UTF-8", 1);
        if (row.lcAll)
            ::setenv("LC_ALL", row.lcAll, 1);
        if (row.lcNumeric)
            ::setenv("LC_NUMERIC", row.lcNumeric, 1);
        EXPECT_EQ(ReadHostSeparators(), row.expected) << row.name;
    }
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_NUMERIC");
    if (keepLang)
        ::setenv("LANG", lang.c_str(), 1);
}
