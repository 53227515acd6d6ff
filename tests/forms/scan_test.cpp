#include "../gui_helpers.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Main.h"
#include "buttons.h"
#include "chart.h"
#include "mdi_frame.h"
#include "number_format.h"
#include "program.h"
#include "status_bar.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

class Scan : public testing::Test
{
protected:
    void SetUp() override
    {
        program.Ready();
        SetNumberSeparators({".", ","});
    }

    // Refreshes with the given drives and waits for the old windows to go.
    void refreshWith(const std::function<void(FakeVolumeSource &)> &drives)
    {
        program.volumes = FakeVolumeSource();
        drives(program.volumes);
        program.Refresh();
    }

    TMDIChild *window(int index) const { return program.main->MDIChildren(index); }

    ProgramUnderTest program;
};

} // namespace

TEST_F(Scan, DriveWindowFilledWithItsFigures)
{
    refreshWith([](FakeVolumeSource &drives) { drives.setDriveGB(u'C', 931, 400); });
    ASSERT_EQ(program.main->MDIChildCount(), 1);
    TMDIChild *c = window(0);
    EXPECT_EQ(c->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(c->DBChart1->Caption(), QStringLiteral("Laufwerksbelegung C:\\"));
    ASSERT_EQ(c->Series1->points().size(), 2u);
    EXPECT_EQ(c->Series1->points()[0].value, 531);
    EXPECT_EQ(c->Series1->points()[0].label, QStringLiteral("GB belegt"));
    EXPECT_EQ(c->Series1->points()[0].color, QColor(0, 0, 255));
    EXPECT_EQ(c->Series1->points()[1].value, 400);
    EXPECT_EQ(c->Series1->points()[1].label, QStringLiteral("GB frei"));
    EXPECT_EQ(c->Series1->points()[1].color, QColor(255, 0, 255));
    EXPECT_EQ(ProgramUnderTest::Figures(c),
              (QStringList{"531 GB =", "57%", "400 GB =", "43%", "931 GB =", "100%"}));
    // The chart mark shows the value without grouping.
    refreshWith([](FakeVolumeSource &drives) { drives.setDriveGB(u'C', 1863, 0); });
    EXPECT_EQ(FormatChartValue(window(0)->Series1->points()[0].value), "1863");
}

TEST_F(Scan, OneWindowPerUsableDriveInLetterOrder)
{
    QString probed;
    refreshWith([&](FakeVolumeSource &drives) {
        drives.setDriveGB(u'E', 100, 50);
        drives.setDriveGB(u'C', 931, 400);
        drives.setDriveGB(u'D', 1863, 1400);
        drives.setDrive(u'F', 500 << 20, 100 << 20); // 500 MiB: no window
        drives.setDrive(u'G', GiB - 1, 0);           // one byte short of a GiB: none either
        drives.setDriveGB(u'A', 1, 1);
        drives.setDriveGB(u'B', 1, 1);
        drives.afterAnswer = [&probed](char16_t letter) {
            probed += QChar(letter);
        };
    });
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));
    EXPECT_EQ(probed, QStringLiteral("ZYXWVUTSRQPONMLKJIHGFEDC"))
        << "Z: down to C:, never A: or B:";
    // 2 rows, 3 columns: the top row, left to right.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(program.main->Frame()->Bounds(window(i)).topLeft(), QPoint(320 * i, 0));
}

TEST_F(Scan, TheWindowOpenedLastIsActiveAndHasTheFocus)
{
    refreshWith([](FakeVolumeSource &drives) {
        drives.setDriveGB(u'C', 931, 400);
        drives.setDriveGB(u'D', 1863, 1400);
        drives.setDriveGB(u'E', 100, 50);
    });
    ASSERT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));
    QMdiArea *area = program.main->Frame()->Area();
    EXPECT_EQ(area->activeSubWindow(), program.main->Frame()->SubWindowOf(window(0)));
    QWidget *focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == window(0) || window(0)->isAncestorOf(focus));
}

TEST_F(Scan, NoUsableDriveLeavesTheFramesOwnMenu)
{
    refreshWith([](FakeVolumeSource &drives) { drives.setDrive(u'C', 100 << 20, 0); });
    EXPECT_EQ(program.main->MDIChildCount(), 0);
    EXPECT_EQ(program.main->menuBar()->actions().front()->menu(), program.main->Datei1);
}

TEST_F(Scan, AFaultHalfWayEndsThatDrivesPassAndTheScanGoesOn)
{
    refreshWith([](FakeVolumeSource &drives) {
        drives.setDriveGB(u'C', 931, 400);
        drives.setDriveGB(u'D', 100, 10);
        drives.throwOnDescribe(u'D'); // the host fails on D: before its window opens
        drives.setDriveGB(u'E', 50, 25);
        drives.failQueries(u'F'); // exists, but its figures fail: 0 GiB, no window
    });
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "E:\\"}));
    EXPECT_EQ(window(1)->LabelMBFrei->text(), QStringLiteral("25 GB ="));
}

TEST_F(Scan, ManyRefreshesFromADriveWindowsOwnMenuLeaveOneWindowPerDrive)
{
    refreshWith([](FakeVolumeSource &drives) {
        drives.setDriveGB(u'C', 931, 400);
        drives.setDriveGB(u'D', 1863, 1400);
    });
    for (int i = 0; i < 25; ++i) {
        TMDIChild *front = window(0);
        front->AktionNeuClick(front); // closes this very window during the command
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(10);
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\"}));
    EXPECT_EQ(program.main->findChildren<TMDIChild *>().size(), 2);
}

TEST_F(Scan, RefreshWhileAWindowIsMinimizedOrMaximized)
{
    for (const bool maximize : {false, true}) {
        refreshWith([](FakeVolumeSource &drives) {
            drives.setDriveGB(u'C', 931, 400);
            drives.setDriveGB(u'D', 1863, 1400);
        });
        QMdiSubWindow *frame = program.main->Frame()->SubWindowOf(window(1));
        maximize ? frame->showMaximized() : frame->showMinimized();
        QTest::qWait(10);
        program.main->AktualisierenClick(program.main->btnRefresh);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(10);
        EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\"}))
            << (maximize ? "maximized" : "minimized");
    }
}

TEST_F(Scan, ChartKindAndDimensionReachTheCharts)
{
    struct Row
    {
        uint8_t kind;
        bool view3D;
        SeriesKind series;
    };
    const Row rows[] = {{0, true, SeriesKind::Pie},
                        {1, false, SeriesKind::Pie},
                        {2, true, SeriesKind::HorizBar},
                        {3, false, SeriesKind::Bar}};
    for (const Row &row : rows) {
        Settings.ChartKind = row.kind;
        program.settings->rb3D->setChecked(row.view3D);
        program.settings->rb2D->setChecked(!row.view3D);
        refreshWith([](FakeVolumeSource &drives) { drives.setDriveGB(u'C', 931, 400); });
        EXPECT_EQ(window(0)->Series1->kind(), row.series) << int(row.kind);
        EXPECT_EQ(window(0)->DBChart1->View3D(), row.view3D) << int(row.kind);
        EXPECT_EQ(window(0)->DBChart1->SeriesList().front(), window(0)->Series1);
        EXPECT_EQ(window(0)->Series1->points().size(), 2u);
    }
    Settings.ChartKind = 0;
    program.settings->rb3D->setChecked(true);
}

TEST_F(Scan, ChartTellsWhichMountALetterIs)
{
    refreshWith([](FakeVolumeSource &drives) { drives.setDriveGB(u'C', 931, 400); });
    TDBChart *chart = window(0)->DBChart1;
    EXPECT_EQ(chart->statusTip(), QStringLiteral("C:\\ = /mnt/c (fakefs, fakeC)"));
    ASSERT_TRUE(ShowActive(program.main));
    QTest::mouseMove(chart, chart->rect().center());
    QTest::qWait(80);
    EXPECT_EQ(program.main->StatusBar1->PanelText(0), chart->statusTip());
}

TEST_F(Scan, ScreenReadersGetTheLabelsAndTheChartsFigures)
{
    refreshWith([](FakeVolumeSource &drives) { drives.setDriveGB(u'C', 931, 400); });
    TMDIChild *c = window(0);
    for (QLabel *label : c->findChildren<QLabel *>()) {
        QAccessibleInterface *access = QAccessible::queryAccessibleInterface(label);
        ASSERT_TRUE(access);
        EXPECT_EQ(access->text(QAccessible::Name), label->text());
    }
    QAccessibleInterface *frame =
        QAccessible::queryAccessibleInterface(program.main->Frame()->SubWindowOf(c));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("C:\\")) << "the window's caption";
    QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(c->DBChart1);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), QStringLiteral("Laufwerksbelegung C:\\"));
    EXPECT_EQ(chart->text(QAccessible::Description), QStringLiteral("531 GB belegt, 400 GB frei"));
}
