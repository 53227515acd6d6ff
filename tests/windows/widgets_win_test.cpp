// The Qt side of the Windows adapters, on Qt's Windows platform under Wine: the regional
// settings' change as Windows announces it to a window, and the shell's link opener. Built
// against Qt for Windows (scripts/windows) and run by scripts/windows check.
#include "link_opener.h"
#include "number_format.h"
#include "separator_watcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Sends WM_SETTINGCHANGE to a window of ours the way Windows does, naming the area that changed.
void announce(QWidget &window, const wchar_t *area)
{
    const HWND handle = reinterpret_cast<HWND>(window.winId());
    DWORD_PTR result = 0;
    SendMessageTimeoutW(handle, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(area), SMTO_NORMAL,
                        5000, &result);
}

} // namespace

TEST(SeparatorWatcher, ReadsTheSeparatorsAnewWhenAWindowHearsOfTheRegionalSettings)
{
    wchar_t previous[8] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous, 8), 0);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
    SeparatorWatcher watcher;
    QWidget window;
    EXPECT_EQ(FormatGB(1863), "1.863");

    // The user picks another thousands separator; Windows then tells every top-level window.
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"'"));
    EXPECT_EQ(FormatGB(1863), "1.863") << "nothing changes until Windows says so";
    announce(window, L"WindowMetrics");
    EXPECT_EQ(FormatGB(1863), "1.863") << "another area of the settings";
    announce(window, L"intl");
    EXPECT_EQ(FormatGB(1863), "1'863");
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
    announce(window, nullptr);
    EXPECT_EQ(FormatGB(1863), "1.863") << "no area named";

    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous));
}

TEST(SeparatorWatcher, GoneItHearsNothingMore)
{
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
    QWidget window;
    {
        SeparatorWatcher watcher;
    }
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"'"));
    announce(window, L"intl");
    EXPECT_EQ(FormatGB(1863), "1.863");
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
}

TEST(LinkOpener, TheShellsRefusalComesBackAsFailedOnceTheEventLoopRuns)
{
    const std::unique_ptr<LinkOpener> opener = CreateHostLinkOpener();
    QStringList failed;
    QObject::connect(opener.get(), &LinkOpener::Failed, opener.get(),
                     [&](const QString &link) { failed.append(link); });
    const QString nothing = QStringLiteral("C:\\no such folder\\nothing.volumo");
    opener->Open(nothing);
    EXPECT_TRUE(failed.isEmpty()) << "told only from the event loop";
    QElapsedTimer waited;
    waited.start();
    while (failed.isEmpty() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(failed, QStringList{nothing});
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
