#include "link_opener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Puts a stand-in xdg-open first on PATH that writes its arguments to a file and exits with
// the given code.
class StandInOpener
{
public:
    explicit StandInOpener(int exitCode)
    {
        const QString script = folder.filePath(QStringLiteral("xdg-open"));
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1'\nexit %2\n")
                       .arg(record(), QString::number(exitCode))
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
    StandInOpener opener(0);
    QTemporaryDir scratch;
    const QString planted = scratch.filePath(QStringLiteral("planted"));
    const QString link =
        QStringLiteral("https://volumo.example/a b;touch %1 $(touch %1) `touch %1`").arg(planted);
    EXPECT_TRUE(CreateHostLinkOpener()->Open(link));
    EXPECT_EQ(opener.arguments(), (QStringList{"1", link}));
    EXPECT_FALSE(QFile::exists(planted)) << "nothing in the link ran";
}

TEST(XdgOpener, ReportsAFailingOpener)
{
    StandInOpener opener(4);
    EXPECT_FALSE(CreateHostLinkOpener()->Open(QStringLiteral("MAILTO:info@volumo.example")));
}

TEST(XdgOpener, ReportsAMissingOpener)
{
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    EXPECT_FALSE(CreateHostLinkOpener()->Open(QStringLiteral("https://volumo.example/")));
    qputenv("PATH", path);
}
