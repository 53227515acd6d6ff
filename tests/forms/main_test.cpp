#include "../gui_helpers.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "buttons.h"
#include "chart.h"
#include "main_menu.h"
#include "mdi_frame.h"
#include "program.h"
#include "status_bar.h"

#include <QFrame>
#include <QHelpEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

constexpr int probesPerScan = 24;

// The bar as it shows once control is back in the event loop.
QStringList barEntries(TMainForm *main)
{
    QCoreApplication::processEvents();
    QStringList entries;
    for (QAction *action : main->menuBar()->actions())
        entries << action->text();
    return entries;
}

class MainForm : public testing::Test
{
protected:
    void SetUp() override { Program::Get().Ready(); }
};

} // namespace

// The program's start: the first test of the run.
TEST(MainFormStart, FirstFocusRunsTheRefreshOnce)
{
    Program &program = Program::Get();
    program.StandardDrives();
    EXPECT_FALSE(program.info->isVisible());
    EXPECT_FALSE(program.gesamt->isVisible());
    EXPECT_FALSE(program.settings->isVisible());

    program.Start();
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.probeCount, probesPerScan);
    EXPECT_EQ(program.main->MDIChildren(0)->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(program.main->MDIChildren(1)->windowTitle(), QStringLiteral("D:\\"));
    EXPECT_EQ(Settings.TileRows, 2);
    EXPECT_EQ(Settings.TileCols, 3);
    EXPECT_TRUE(Settings.Chart3D);
    EXPECT_EQ(Settings.ChartKind, 0);
}

TEST_F(MainForm, DeclaredWindow)
{
    TMainForm *main = Program::Get().main;
    EXPECT_TRUE(main->windowTitle().startsWith(QStringLiteral("Volumo ")));
    EXPECT_TRUE(main->windowTitle().endsWith(QStringLiteral(" - Version 2.5.1")));
    EXPECT_EQ(main->Client()->size(), QSize(984, 741));

    EXPECT_EQ(main->ToolBar1->height(), 69);
    const struct
    {
        QAbstractButton *button;
        int left, width;
        const char *caption;
    } buttons[] = {{main->btnRefresh, 0, 90, "Aktualisieren"},
                   {main->btnAllDirves, 90, 107, "Gesamtübersicht"},
                   {main->SpeedButton2, 197, 92, "Einstellungen"}};
    for (const auto &row : buttons) {
        EXPECT_EQ(row.button->x(), row.left) << row.caption;
        EXPECT_EQ(row.button->width(), row.width) << row.caption;
        EXPECT_EQ(row.button->height(), 65) << row.caption;
        EXPECT_EQ(row.button->text(), QString::fromUtf8(row.caption));
        EXPECT_FALSE(row.button->icon().isNull()) << row.caption;
    }
    EXPECT_NE(main->btnRefresh->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(main->btnAllDirves->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(main->SpeedButton2->focusPolicy(), Qt::NoFocus);

    EXPECT_EQ(main->StatusBar1->height(), 19);
    EXPECT_EQ(main->StatusBar1->PanelCount(), 2);
    EXPECT_EQ(main->StatusBar1->PanelRect(1).left(), 200);
    EXPECT_EQ(main->StatusBar1->PanelRect(1).right(), main->StatusBar1->width() - 1);
    // The drive windows' area lies between tool bar and status bar.
    EXPECT_EQ(main->StatusBar1->geometry().bottom(), main->Client()->height() - 1);
}

TEST_F(MainForm, HintsOfTheToolButtonsAndOneTooltip)
{
    TMainForm *main = Program::Get().main;
    const struct
    {
        QWidget *button;
        const char *hint;
        bool tooltip;
    } rows[] = {{main->btnRefresh, "Aktualisieren", false},
                {main->btnAllDirves, "Gesamtübersicht", false},
                {main->SpeedButton2, "Programmeinstellungen", true}};
    for (const auto &row : rows) {
        Hover(row.button);
        EXPECT_EQ(main->StatusBar1->PanelText(0), QString::fromUtf8(row.hint));
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, row.button->rect().center(),
                        row.button->mapToGlobal(row.button->rect().center()));
        QApplication::sendEvent(row.button, &help);
        EXPECT_EQ(QToolTip::isVisible(), row.tooltip) << row.hint;
        if (row.tooltip) {
            EXPECT_EQ(QToolTip::text(), QString::fromUtf8(row.hint));
        }
        QToolTip::hideText();
    }
    Hover(main->Client()->findChild<QMdiArea *>()->viewport());
    EXPECT_EQ(main->StatusBar1->PanelText(0), QString());
}

TEST_F(MainForm, StatusTextsAreNeverOnView)
{
    TMainForm *main = Program::Get().main;
    main->AktualisierenClick(main->Aktualisieren);
    EXPECT_EQ(main->StatusBar1->SimpleText(), QStringLiteral("BEREIT"));
    for (int panel = 0; panel < 2; ++panel) {
        const QString text = main->StatusBar1->PanelText(panel);
        EXPECT_FALSE(text.contains(QStringLiteral("Scanne"))) << panel;
        EXPECT_FALSE(text.contains(QStringLiteral("BEREIT"))) << panel;
        EXPECT_FALSE(text.contains(QStringLiteral(":\\"))) << panel;
    }
    EXPECT_EQ(main->StatusBar1->PanelText(1), QString());
}

TEST_F(MainForm, ToolBarRefreshWhileADriveWindowHasTheFocusRunsOnce)
{
    Program &program = Program::Get();
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    QTest::mouseClick(main->MDIChildren(0)->DBChart1, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] {
        return main->Frame()->SubWindowOf(main->MDIChildren(0)) ==
               main->Frame()->Area()->activeSubWindow();
    }));
    QTest::qWait(20);
    const int before = program.volumes.probeCount;
    QTest::mouseClick(main->btnRefresh, Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.probeCount - before, probesPerScan) << "one press, one refresh";
    EXPECT_EQ(main->MDIChildCount(), 2);
}

TEST_F(MainForm, ClosingAModalDialogOrSwitchingProgramsRefreshesNothing)
{
    Program &program = Program::Get();
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    QPointer<TMDIChild> first = main->MDIChildren(0);

    int before = program.volumes.probeCount;
    WhenShown(program.info, [&] { program.info->OKButton->click(); });
    main->HelpAboutItemClick(main->HelpAboutItem);
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.probeCount, before);
    EXPECT_FALSE(first.isNull()) << "the drive windows were not rebuilt";

    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.probeCount, before);
    EXPECT_FALSE(first.isNull());
}

TEST_F(MainForm, MenuOfTheFrontDriveWindowOrTheFramesOwn)
{
    Program &program = Program::Get();
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    const QStringList bar = {"&Datei", "&Ansicht", "&Optionen", "&Fenster", "&?"};
    EXPECT_EQ(barEntries(main), bar);
    // The drive window's bar: every entry enabled, "Gesamtübersicht" among them.
    for (QAction *top : main->menuBar()->actions()) {
        EXPECT_NE(top->menu(), main->Datei1) << "the frame's own bar is not on view";
        for (QAction *entry : top->menu()->actions())
            EXPECT_TRUE(entry->isEnabled()) << entry->text().toStdString();
    }

    program.CloseDriveWindows();
    EXPECT_EQ(barEntries(main), bar);
    EXPECT_EQ(main->menuBar()->actions().front()->menu(), main->Datei1);
    EXPECT_FALSE(main->AktionGesamt->isEnabled());
    for (QAction *item : {main->WindowCascadeItem, main->WindowTileItem, main->WindowArrangeItem,
                          main->WindowMinimizeItem})
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    const struct
    {
        QMenu *menu;
        const char *hint;
    } hints[] = {{main->Datei1, "Dateioperationen"},
                 {main->Edit1, "Ansicht aktualisieren, ..."},
                 {main->Einstellungen1, "Optionen"},
                 {main->Window1, "Befehle zum Anordnen von Fenstern"},
                 {main->Help1, "Hilfethemen"}};
    for (const auto &row : hints) {
        QTest::mouseMove(main->menuBar(),
                         main->menuBar()->actionGeometry(row.menu->menuAction()).center());
        QTest::qWait(20);
        EXPECT_EQ(main->StatusBar1->PanelText(0), QString::fromUtf8(row.hint));
    }

    // The tool bar's button still opens the total overview.
    bool shown = false;
    WhenShown(program.gesamt, [&] {
        shown = true;
        program.gesamt->OKButton->click();
    });
    QTest::mouseClick(main->btnAllDirves, Qt::LeftButton);
    EXPECT_TRUE(shown);
}

TEST_F(MainForm, WithAllDriveWindowsClosedComingBackBringsThemBack)
{
    Program &program = Program::Get();
    TMainForm *main = program.main;
    program.CloseDriveWindows();
    QTest::qWait(50);
    EXPECT_EQ(main->MDIChildCount(), 0) << "closing them brings nothing back by itself";

    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    main->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
}

namespace {

// Runs the program's message loop until it ends, as the program block does; `act` runs in it.
int runUntilTheProgramEnds(const std::function<void()> &act)
{
    QTimer::singleShot(0, qApp, act);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); }); // would hang otherwise
    return QApplication::exec();
}

} // namespace

// Ends the program, and starts it again for whatever runs after.
TEST_F(MainForm, CloseBoxAndBeendenEndTheProgramWithoutAQuestion)
{
    TMainForm *main = Program::Get().main;
    EXPECT_EQ(runUntilTheProgramEnds([main] { main->close(); }), 0);
    EXPECT_FALSE(main->isVisible());

    Program::Get().Start();
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() > 0; }));
    EXPECT_EQ(runUntilTheProgramEnds([main] { main->MDIChildren(0)->Ende1Click(main->Ende1); }), 0)
        << "\"&Beenden\" in a drive window's menu";
    EXPECT_FALSE(main->isVisible());
}

// A program that did not make the about dialog and the total overview at start makes each
// when it is first opened, as a child of the main form, and only once.
TEST_F(MainForm, DialogsNotMadeAtStartAreMadeWhenFirstOpened)
{
    Program &program = Program::Get();
    FormInfo = nullptr;
    GESAMT = nullptr;

    QString aboutTitle;
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        aboutTitle = dialog->windowTitle();
        poll->stop();
        poll->deleteLater();
        dialog->done(QDialog::Accepted);
    });
    poll->start(0);
    program.main->HelpAboutItemClick(program.main);
    EXPECT_EQ(aboutTitle, QStringLiteral("Info"));
    ASSERT_NE(FormInfo, nullptr);
    EXPECT_NE(FormInfo, program.info);
    EXPECT_EQ(FormInfo->parent(), program.main);
    EXPECT_EQ(TheFormInfo(), FormInfo) << "made once";

    TGESAMT *made = TheGESAMT();
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made, program.gesamt);
    EXPECT_EQ(made->parent(), program.main);
    EXPECT_EQ(TheGESAMT(), made);

    // Gone again, they leave no dangling form behind.
    delete FormInfo;
    delete GESAMT;
    EXPECT_EQ(FormInfo, nullptr);
    EXPECT_EQ(GESAMT, nullptr);
    FormInfo = program.info;
    GESAMT = program.gesamt;
}
