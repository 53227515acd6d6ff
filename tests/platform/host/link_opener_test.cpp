#include "link_opener.h"

#include "../../gui_helpers.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Puts a stand-in xdg-open first on PATH that writes its arguments to a file and then runs the
// given shell commands.
class StandInOpener
{
public:
    explicit StandInOpener(const char *then = "exit 0")
    {
        const QString script = folder.filePath(QStringLiteral("xdg-open"));
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1'\n%2\n")
                       .arg(record(), QString::fromUtf8(then))
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        path = qgetenv("PATH");
        qputenv("PATH", folder.path().toUtf8() + ":" + path);
    }
    ~StandInOpener() { qputenv("PATH", path); }

    QString record() const { return folder.filePath(QStringLiteral("arguments")); }
    QStringList arguments() const
    {
        QFile file(record());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        lines.removeLast();
        return lines;
    }

    QTemporaryDir folder;
    QByteArray path;
};

} // namespace

TEST(XdgOpener, HandsTheLinkOverAsItsOneArgumentWithoutAShell)
{
    StandInOpener opener;
    QTemporaryDir scratch;
    const QString planted = scratch.filePath(QStringLiteral("planted"));
    const QString link =
        QStringLiteral("https://volumo.example/a b;touch %1 $(touch %1) `touch %1`").arg(planted);
    const std::unique_ptr<LinkOpener> host = CreateHostLinkOpener();
    QSignalSpy failures(host.get(), &LinkOpener::Failed);
    host->Open(link);
    ASSERT_TRUE(WaitFor([&] { return opener.arguments().size() == 2; }));
    EXPECT_EQ(opener.arguments(), (QStringList{"1", link}));
    QTest::qWait(100);
    EXPECT_EQ(failures.count(), 0);
    EXPECT_FALSE(QFile::exists(planted)) << "nothing in the link ran";
}

TEST(XdgOpener, FailureComesWhenTheOpenerEndsHoweverLateAndNeverForOneStillBusy)
{
    struct Row
    {
        const char *name;
        const char *then;
        int seconds; // until it fails
        bool failed;
    };
    const Row rows[] = {
        {"fails at once", "exit 4", 0, true},
        {"fails after a second", "sleep 1; exit 4", 1, true},
        {"never ends", "exec sleep 1000", 0, false},
    };
    for (const Row &row : rows) {
        StandInOpener opener(row.then);
        const std::unique_ptr<LinkOpener> host = CreateHostLinkOpener();
        QSignalSpy failures(host.get(), &LinkOpener::Failed);
        QElapsedTimer clock;
        clock.start();
        host->Open(QStringLiteral("MAILTO:info@volumo.example"));
        EXPECT_LT(clock.elapsed(), 500) << row.name << ": Open never waits for the opener";
        WaitFor([&] { return failures.count() > 0; }, row.failed ? 5000 : 1500);
        EXPECT_EQ(failures.count(), row.failed ? 1 : 0) << row.name;
        if (row.failed) {
            EXPECT_EQ(failures.front().front().toString(),
                      QStringLiteral("MAILTO:info@volumo.example"));
            EXPECT_GE(clock.elapsed(), row.seconds * 1000) << row.name;
        }
    }
}

TEST(XdgOpener, AMissingOpenerFails)
{
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    const std::unique_ptr<LinkOpener> host = CreateHostLinkOpener();
    QSignalSpy failures(host.get(), &LinkOpener::Failed);
    host->Open(QStringLiteral("https://volumo.example/"));
    EXPECT_TRUE(WaitFor([&] { return failures.count() == 1; }));
    qputenv("PATH", path);
}
