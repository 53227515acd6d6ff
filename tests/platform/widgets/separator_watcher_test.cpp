#include "number_format.h"
#include "separator_watcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>

TEST(SeparatorWatcher, RereadsTheSeparatorsWhenTheLocaleChanges)
{
    const locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine";
    freelocale(german);

    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    SeparatorWatcher watcher;
    EXPECT_EQ(FormatGB(1863), "1,863");
    const std::string before = FormatGB(12345);

    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(FormatGB(1863), "1,863") << "nothing changes until the program is told";
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &change);
    EXPECT_EQ(FormatGB(1863), "1.863");
    EXPECT_EQ(before, "12,345") << "a text already made keeps its separators";
    ::unsetenv("LC_ALL");
}
