#include "status_bar.h"

#include <QFontMetrics>
#include <QLabel>
#include <gtest/gtest.h>

TEST(StatusBar, PanelsLeftToRightTheLastFillingTheRest)
{
    TStatusBar bar;
    bar.AddPanel(200);
    bar.AddPanel(50);
    bar.resize(984, 19);
    bar.show();
    EXPECT_EQ(bar.height(), 19);
    EXPECT_EQ(bar.PanelRect(0).left(), 0);
    EXPECT_LE(bar.PanelRect(0).right(), 199);
    EXPECT_GE(bar.PanelRect(0).right(), 196);
    EXPECT_EQ(bar.PanelRect(1).left(), 200);
    EXPECT_EQ(bar.PanelRect(1).right(), 983);

    bar.resize(600, 19);
    EXPECT_EQ(bar.PanelRect(1).right(), 599);
}

TEST(StatusBar, SimpleTextIsKeptButNeverShown)
{
    TStatusBar bar;
    bar.AddPanel(200);
    bar.AddPanel(50);
    bar.SetPanelText(0, QStringLiteral("Hinweis"));
    bar.SetSimpleText(QStringLiteral("Scanne Laufwerke, ..."));
    EXPECT_EQ(bar.SimpleText(), QStringLiteral("Scanne Laufwerke, ..."));
    for (const QLabel *label : bar.findChildren<QLabel *>())
        EXPECT_NE(label->text(), QStringLiteral("Scanne Laufwerke, ..."));
    EXPECT_EQ(bar.PanelText(0), QStringLiteral("Hinweis"));
    EXPECT_EQ(bar.PanelText(1), QString());
}

TEST(StatusBar, ATextTooWideLosesTheMiddleOfItsPath)
{
    TStatusBar bar;
    bar.AddPanel(200);
    bar.AddPanel(50);
    bar.resize(600, 19);
    const QFontMetrics metrics = bar.fontMetrics();
    struct Row
    {
        const char *name;
        QString text;
        QString start, end; // what must stay readable
    };
    const Row rows[] = {
        {"fits", "C:\\ = / (ext4, /dev/vda)", "C:\\ = / (ext4, /dev/vda)", ""},
        {"a long mount point", "H:\\ = /mnt/a volume with a rather long name (tmpfs, tmpfs)",
         "H:\\ = /", " (tmpfs, tmpfs)"},
        {"brackets in the mount point",
         "E:\\ = /media/anna/Disk (2) and more and more (vfat, /dev/sdb1)", "E:\\ = /",
         " (vfat, /dev/sdb1)"},
        {"no path: the end goes", "Fenstersymbole am unteren Rand des Hauptfensters anordnen",
         "Fenstersymbole", ""},
    };
    for (const Row &row : rows) {
        bar.SetPanelText(0, row.text);
        const QString shown = bar.PanelText(0);
        EXPECT_LE(metrics.horizontalAdvance(shown), 200) << row.name;
        EXPECT_TRUE(shown.startsWith(row.start)) << row.name << ": " << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(row.end)) << row.name << ": " << shown.toStdString();
        EXPECT_EQ(shown == row.text, row.start == row.text) << row.name;
        EXPECT_EQ(shown.contains(QChar(0x2026)), shown != row.text) << row.name;
    }
    // Room to spare again: the whole text.
    bar.SetPanelText(1, rows[1].text);
    EXPECT_EQ(bar.PanelText(1), rows[1].text);
}
