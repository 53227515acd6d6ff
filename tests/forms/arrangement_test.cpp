#include "../gui_helpers.h"
#include "Childwin.h"
#include "Main.h"
#include "chart.h"
#include "mdi_frame.h"
#include "program.h"
#include "status_bar.h"

#include <QFrame>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

class Arrangement : public testing::Test
{
protected:
    void SetUp() override
    {
        program.Ready();
        program.main->resize(984,
                             741 + (program.main->height() - program.main->Client()->height()));
        QTest::qWait(10);
    }

    void drives(int count)
    {
        program.volumes = FakeVolumeSource();
        for (int i = 0; i < count; ++i)
            program.volumes.setDriveGB(static_cast<char16_t>(u'C' + i), 100, 50);
        program.Refresh();
    }

    QRect bounds(int index) const
    {
        return program.main->Frame()->Bounds(program.main->MDIChildren(index));
    }

    void grid(int rows, int columns)
    {
        Settings.TileRows = rows;
        Settings.TileCols = columns;
        program.main->WindowTileItemClick(program.main->WindowTileItem);
    }

    void TearDown() override
    {
        Settings.TileRows = 2;
        Settings.TileCols = 3;
    }

    ProgramUnderTest program;
};

} // namespace

TEST_F(Arrangement, GridCellsFromTheClientArea)
{
    ASSERT_EQ(program.main->Client()->size(), QSize(984, 741));
    drives(6);
    grid(2, 3);
    // W = (984 - 22) div 3, H = (741 - 19 - 69 - 6) div 2
    const QRect cells[] = {{0, 0, 320, 323},   {320, 0, 320, 323},   {640, 0, 320, 323},
                           {0, 323, 320, 323}, {320, 323, 320, 323}, {640, 323, 320, 323}};
    ASSERT_EQ(program.main->MDIChildCount(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(bounds(i), cells[i]) << "window " << i;
}

TEST_F(Arrangement, ChartMarksStayInsideAt4x4)
{
    drives(16);
    grid(4, 4);
    QTest::qWait(20);
    for (int i = 0; i < 16; ++i) {
        const TDBChart *chart = program.main->MDIChildren(i)->DBChart1;
        for (const MarkGeometry &mark : chart->Geometry().marks)
            EXPECT_TRUE(QRectF(chart->rect()).contains(mark.box)) << i;
    }
}

TEST_F(Arrangement, TheFocusedWindowMovesToTheFirstCellOnResize)
{
    drives(3);
    grid(2, 3);
    TMDIChild *third = program.main->MDIChildren(2);
    QTest::mouseClick(third->DBChart1, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildren(0) == third; }));
    program.main->resize(program.main->width() + 30, program.main->height() + 20);
    ASSERT_TRUE(WaitFor([&] {
        return bounds(0).topLeft() == QPoint(0, 0) && bounds(0).width() == (984 + 30 - 22) / 3;
    }));
    EXPECT_EQ(program.main->MDIChildren(0)->windowTitle(), QStringLiteral("E:\\"));
    EXPECT_EQ(program.main->MDIChildren(1)->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(bounds(1).topLeft(), QPoint((984 + 30 - 22) / 3, 0));
}

TEST_F(Arrangement, NothingMovesBeforeTheFirstRefresh)
{
    drives(2);
    grid(2, 3);
    program.main->Frame()->SetBounds(program.main->MDIChildren(0), QRect(33, 44, 200, 150));
    Settings.TileRows = 0;
    Settings.TileCols = 0;
    program.main->FormResize(program.main);
    EXPECT_EQ(bounds(0), QRect(33, 44, 200, 150));
}

TEST_F(Arrangement, MinimizedWindowsGetNewRestoredBoundsWithoutBeingRestored)
{
    drives(3);
    grid(2, 3);
    program.main->WindowMinimizeItemClick(program.main->WindowMinimizeItem);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(program.main->Frame()->IsMinimized(program.main->MDIChildren(i)));
    grid(1, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(program.main->Frame()->IsMinimized(program.main->MDIChildren(i)));
        EXPECT_EQ(bounds(i), QRect(0, 647 * i, 962, 647));
    }
    program.main->WindowArrangeItemClick(program.main->WindowArrangeItem);
    const int bottom = program.main->Frame()->Area()->viewport()->height();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(
            program.main->Frame()->SubWindowOf(program.main->MDIChildren(i))->geometry().bottom() +
                1,
            bottom);
    }
}

TEST_F(Arrangement, CascadeOverlapsTheWindows)
{
    drives(3);
    grid(2, 3);
    program.main->WindowCascadeItemClick(program.main->WindowCascadeItem);
    const QRect a = program.main->Frame()->SubWindowOf(program.main->MDIChildren(0))->geometry();
    const QRect b = program.main->Frame()->SubWindowOf(program.main->MDIChildren(1))->geometry();
    EXPECT_TRUE(a.intersects(b));
    EXPECT_NE(a.topLeft(), b.topLeft());
}

TEST_F(Arrangement, WindowsBelowTheGridAreReachedByScrolling)
{
    struct Row
    {
        const char *name;
        int rows, columns, windows;
    };
    for (const Row &row : {Row{"1 x 1 with 5 drives", 1, 1, 5}, Row{"4 x 4 with 20", 4, 4, 20}}) {
        drives(row.windows);
        grid(row.rows, row.columns);
        QMdiArea *area = program.main->Frame()->Area();
        QTest::qWait(20);
        QScrollBar *scroll = area->verticalScrollBar();
        ASSERT_TRUE(scroll->isVisible()) << row.name;
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible())
            << row.name << ": the grid leaves room for the vertical scroll bar";
        // Paging down with clicks below the handle brings the last window into view.
        QMdiSubWindow *last =
            program.main->Frame()->SubWindowOf(program.main->MDIChildren(row.windows - 1));
        for (int click = 0; click < 20 && scroll->value() < scroll->maximum(); ++click)
            QTest::mouseClick(scroll, Qt::LeftButton, {},
                              QPoint(scroll->width() / 2, scroll->height() - 20));
        EXPECT_TRUE(area->viewport()->rect().contains(last->geometry())) << row.name;
        scroll->setValue(0);
    }
}

TEST_F(Arrangement, AMaximizedWindowStaysMaximizedWhenTheFrameChangesSize)
{
    drives(3);
    grid(2, 3);
    QMdiSubWindow *frame = program.main->Frame()->SubWindowOf(program.main->MDIChildren(1));
    frame->showMaximized();
    QTest::qWait(20);
    program.main->resize(program.main->width() + 40, program.main->height() + 30);
    QTest::qWait(50);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->geometry(), program.main->Frame()->Area()->viewport()->rect());
    // Restored, it takes the cell the grid gave it meanwhile: the first, as the focused window.
    ASSERT_EQ(program.main->Frame()->SubWindowOf(program.main->MDIChildren(0)), frame);
    frame->showNormal();
    ASSERT_TRUE(WaitFor([&] { return !frame->isMaximized(); }));
    EXPECT_EQ(frame->geometry(), QRect(0, 0, (984 + 40 - 22) / 3, (741 + 30 - 19 - 69 - 6) / 2));
    program.main->resize(program.main->width() - 40, program.main->height() - 30);
    QTest::qWait(20);
}
