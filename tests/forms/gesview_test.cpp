#include "../gui_helpers.h"
#include "Gesview.h"
#include "Main.h"
#include "buttons.h"
#include "chart.h"
#include "number_format.h"
#include "panel.h"
#include "program.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

class TotalOverview : public testing::Test
{
protected:
    void SetUp() override { program.Ready(); }

    // Shows the dialog as the tool button does; `inDialog` runs while it is open.
    void show(const std::function<void()> &inDialog = {})
    {
        WhenShown(dialog, [this, inDialog] {
            if (inDialog)
                inDialog();
            dialog->OKButton->click();
        });
        program.main->btnAllDirvesClick(program.main->btnAllDirves);
    }

    QStringList texts() const
    {
        return {dialog->LabelDriveList->text(), dialog->Label5->text(), dialog->Label9->text(),
                dialog->Label3->text(),         dialog->Label8->text(), dialog->Label7->text(),
                dialog->Label10->text()};
    }

    ProgramUnderTest program;
    TGESAMT *dialog = program.gesamt;
};

} // namespace

TEST_F(TotalOverview, SumsOfEveryUsableDrive)
{
    program.volumes = FakeVolumeSource();
    program.volumes.setDriveGB(u'C', 931, 512);
    program.volumes.setDriveGB(u'D', 1863, 1400);
    program.volumes.setDrive(u'E', GiB / 2, GiB / 4);
    show();
    EXPECT_EQ(texts(), (QStringList{"C:  D:  E:  ", "882 GB", " 31.57 %", "1912 GB", " 68.43 %",
                                    "2794 GB", "100.00 %"}));
    ASSERT_EQ(dialog->Series1->points().size(), 2u);
    EXPECT_EQ(dialog->Series1->points()[0].value, 882);
    EXPECT_EQ(dialog->Series1->points()[0].color, QColor(0, 0, 255));
    EXPECT_EQ(dialog->Series1->points()[1].value, 1912);
    EXPECT_EQ(dialog->Series1->points()[1].color, QColor(255, 0, 255));
    EXPECT_FALSE(dialog->isVisible()) << "closed normally";
}

TEST_F(TotalOverview, EachShowingProbesAfresh)
{
    program.volumes = FakeVolumeSource();
    program.volumes.setDriveGB(u'C', 100, 50);
    show([&] { program.volumes.setDriveGB(u'F', 100, 50); }); // connected while open
    EXPECT_EQ(dialog->LabelDriveList->text(), QStringLiteral("C:  "));
    show();
    EXPECT_EQ(dialog->LabelDriveList->text(), QStringLiteral("C:  F:  "));
    EXPECT_EQ(dialog->Label7->text(), QStringLiteral("200 GB"));
}

TEST_F(TotalOverview, DeclaredLayout)
{
    program.volumes = FakeVolumeSource();
    for (char16_t letter = u'C'; letter <= u'Z'; ++letter)
        program.volumes.setDriveGB(letter, 12345, 1);
    show();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Gesamtübersicht"));
    EXPECT_EQ(dialog->size(), QSize(403, 363));
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(dialog->OKButton->geometry(), QRect(319, 328, 77, 26));
    EXPECT_EQ(dialog->OKButton->toolTip(), QStringLiteral("Schließen"));
    EXPECT_EQ(dialog->Panel1->geometry(), QRect(0, 224, 401, 97));
    EXPECT_EQ(dialog->DBChart1->geometry(), QRect(4, 4, 397, 217));
    EXPECT_EQ(dialog->DBChart1->Caption(), QStringLiteral("Gesamtübersicht alle Laufwerke"));
    EXPECT_TRUE(dialog->DBChart1->View3D());
    EXPECT_TRUE(dialog->DBChart1->LegendVisible());
    EXPECT_EQ(dialog->DBChart1->View3DOptions().Zoom, 109);
    for (QLabel *figure : {dialog->Label3, dialog->Label5, dialog->Label7})
        EXPECT_EQ(RightEdge(figure), 266) << figure->text().toStdString();
    for (QLabel *figure : {dialog->Label8, dialog->Label9, dialog->Label10})
        EXPECT_EQ(RightEdge(figure), 328) << figure->text().toStdString();
    EXPECT_EQ(dialog->Label7->text(), QStringLiteral("296280 GB")) << "no grouping";
    // 24 drives do not fit: the list is cut at the panel's edge.
    EXPECT_TRUE(dialog->LabelDriveList->text().endsWith(QStringLiteral("Z:  ")));
    EXPECT_LE(RightEdge(dialog->LabelDriveList), 401);
    for (QLabel *caption : {dialog->Label1, dialog->Gesa, dialog->Label4, dialog->Label6})
        EXPECT_EQ(caption->size(), caption->sizeHint()) << caption->text().toStdString();
}

TEST_F(TotalOverview, EnterClosesEscDoesNot)
{
    bool openAfterEsc = false;
    WhenShown(dialog, [&] {
        QTest::keyClick(dialog, Qt::Key_Escape);
        openAfterEsc = dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    program.main->btnAllDirvesClick(program.main->btnAllDirves);
    EXPECT_TRUE(openAfterEsc);
    EXPECT_FALSE(dialog->isVisible());
}
