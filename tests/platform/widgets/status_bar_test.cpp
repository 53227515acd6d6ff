#include "status_bar.h"

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
