#include "desktop_notifier.h"

#include "../../gui_helpers.h"
#include "../../gui_tests.h"
#include "../../notification_service.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Each test on the private bus the main below starts, with a notification service of its own
// where it asks for one.
class Notices : public testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << PrivateSessionBus::Missing;
    }
};

} // namespace

TEST_F(Notices, ReachTheServiceAsSentAndReplaceTheirVolumesLastOne)
{
    NotificationService service;
    ASSERT_TRUE(service.Registered());
    const std::unique_ptr<DesktopNotifier> notifier = CreateHostNotifier();
    QSignalSpy shown(notifier.get(), &DesktopNotifier::Shown);
    QSignalSpy failed(notifier.get(), &DesktopNotifier::Failed);
    const QString title = QStringLiteral("Laufwerk D:\\ fast voll");
    const QString text = QStringLiteral("Noch 3 MB frei (3%).\n/mnt/a&b <c> (tmpfs, tmpfs)");
    struct Row
    {
        const char *name;
        QString key;
        DesktopNotifier::Urgency urgency;
        uint replaces;
        uchar urgencyHint;
    };
    // The service numbers its notices 1, 2, 3 in turn.
    const Row rows[] = {
        {"D's first notice", QStringLiteral("D:\\"), DesktopNotifier::Urgency::Critical, 0, 2},
        {"E's first notice", QStringLiteral("E:\\"), DesktopNotifier::Urgency::Normal, 0, 1},
        {"D's second replaces its first", QStringLiteral("D:\\"), DesktopNotifier::Urgency::Normal,
         1, 1},
    };
    for (const Row &row : rows) {
        const qsizetype before = shown.count();
        notifier->Notify(row.key, title, text, row.urgency);
        ASSERT_TRUE(WaitFor([&] { return shown.count() > before || failed.count() > 0; }))
            << row.name;
        ASSERT_EQ(failed.count(), 0) << row.name;
        EXPECT_EQ(shown.last().front().toString(), row.key) << row.name;
        const ReceivedNotice &notice = service.notices.back();
        EXPECT_EQ(notice.app, QStringLiteral("Volumo")) << row.name;
        EXPECT_EQ(notice.replaces, row.replaces) << row.name;
        EXPECT_EQ(notice.icon, QStringLiteral("volumo")) << row.name;
        EXPECT_EQ(notice.summary, title) << row.name;
        EXPECT_EQ(notice.body,
                  QStringLiteral("Noch 3 MB frei (3%).\n/mnt/a&amp;b &lt;c&gt; (tmpfs, tmpfs)"))
            << row.name << ": a mount path is no markup";
        EXPECT_TRUE(notice.actions.isEmpty()) << row.name;
        EXPECT_EQ(notice.hints.value(QStringLiteral("urgency")).value<uchar>(), row.urgencyHint)
            << row.name;
        EXPECT_EQ(notice.hints.value(QStringLiteral("desktop-entry")).toString(),
                  QStringLiteral("example.volumo.Volumo"))
            << row.name;
        EXPECT_EQ(notice.timeout, -1) << row.name << ": the desktop decides how long";
    }
    EXPECT_EQ(service.notices.size(), 3u);
}

TEST_F(Notices, WithoutAServiceFailAtOnce)
{
    // A minute to answer: a failure that comes sooner did not wait for it.
    const std::unique_ptr<DesktopNotifier> notifier = CreateHostNotifier(60s);
    QSignalSpy shown(notifier.get(), &DesktopNotifier::Shown);
    QSignalSpy failed(notifier.get(), &DesktopNotifier::Failed);
    notifier->Notify(QStringLiteral("C:\\"), QStringLiteral("Laufwerk C:\\ fast voll"),
                     QStringLiteral("Noch 1 GB frei (1%)."), DesktopNotifier::Urgency::Critical);
    ASSERT_TRUE(WaitFor([&] { return failed.count() == 1; }, 10000));
    EXPECT_EQ(failed.front().front().toString(), QStringLiteral("C:\\"));
    EXPECT_EQ(shown.count(), 0);
}

TEST_F(Notices, ASilentServiceBlocksNothingAndFailsAfterTheTimeout)
{
    NotificationService service(NotificationService::Answer::Never);
    ASSERT_TRUE(service.Registered());
    const std::unique_ptr<DesktopNotifier> notifier = CreateHostNotifier(1s);
    QSignalSpy shown(notifier.get(), &DesktopNotifier::Shown);
    QSignalSpy failed(notifier.get(), &DesktopNotifier::Failed);
    // The event loop goes on while the call waits for its answer: a timer keeps ticking.
    QTimer ticker;
    int ticks = 0;
    int ticksAtFailure = -1;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { ++ticks; });
    QObject::connect(notifier.get(), &DesktopNotifier::Failed, &ticker,
                     [&] { ticksAtFailure = ticks; });
    ticker.start(10);
    notifier->Notify(QStringLiteral("C:\\"), QStringLiteral("Laufwerk C:\\ fast voll"),
                     QStringLiteral("Noch 1 GB frei (1%)."), DesktopNotifier::Urgency::Critical);
    const int ticksAtNotify = ticks;
    ASSERT_TRUE(WaitFor([&] { return failed.count() == 1; }, 10000)) << "the timeout ends it";
    EXPECT_EQ(service.notices.size(), 1u) << "the call reached the service";
    EXPECT_GE(ticksAtFailure, ticksAtNotify + 3) << "the timer ticked while the answer was due";
    EXPECT_EQ(shown.count(), 0);
}

// The tests' own session bus, made before the application object.
int main(int argc, char **argv)
{
    const PrivateSessionBus bus;
    return RunGuiTests(argc, argv);
}
