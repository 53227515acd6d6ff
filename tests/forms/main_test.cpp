#include "../gui_helpers.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "buttons.h"
#include "chart.h"
#include "main_menu.h"
#include "mdi_frame.h"
#include "program.h"
#include "status_bar.h"

#include <QAccessible>
#include <QFontInfo>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

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
    void SetUp() override { program.Ready(); }

    ProgramUnderTest program;
};

} // namespace

// The program's start: the dialogs made hidden, each a child of the main form; the first focus
// runs the first refresh.
TEST(MainFormStart, FirstFocusRunsTheRefreshOnce)
{
    ProgramUnderTest program;
    program.StandardDrives();
    for (QWidget *dialog :
         {static_cast<QWidget *>(program.info), static_cast<QWidget *>(program.gesamt),
          static_cast<QWidget *>(program.settings)}) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parent(), program.main);
    }
    EXPECT_FALSE(program.info->isVisible());
    EXPECT_FALSE(program.gesamt->isVisible());
    EXPECT_FALSE(program.settings->isVisible());

    program.Start();
    ASSERT_TRUE(WaitFor([&] { return program.main->MDIChildCount() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.answers, probesPerScan);
    EXPECT_EQ(program.main->MDIChildren(0)->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(program.main->MDIChildren(1)->windowTitle(), QStringLiteral("D:\\"));
    EXPECT_EQ(Settings.TileRows, 2);
    EXPECT_EQ(Settings.TileCols, 3);
    EXPECT_TRUE(Settings.Chart3D);
    EXPECT_EQ(Settings.ChartKind, 0);
}

TEST_F(MainForm, DeclaredWindow)
{
    TMainForm *main = program.main;
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
    // All three glyphs on one line, centred over their captions, which share one baseline.
    const ButtonFace faces[] = {main->btnRefresh->Face(), main->btnAllDirves->Face(),
                                main->SpeedButton2->Face()};
    for (size_t i = 0; i < std::size(faces); ++i) {
        EXPECT_EQ(faces[i].glyph.center().y(), faces[0].glyph.center().y()) << buttons[i].caption;
        EXPECT_EQ(faces[i].caption.top(), faces[0].caption.top()) << buttons[i].caption;
        EXPECT_LT(faces[i].glyph.bottom(), faces[i].caption.top()) << buttons[i].caption;
        EXPECT_LE(std::abs(faces[i].glyph.center().x() - buttons[i].button->width() / 2), 1)
            << buttons[i].caption;
    }

    EXPECT_EQ(main->StatusBar1->height(), 19);
    EXPECT_EQ(main->StatusBar1->PanelCount(), 2);
    EXPECT_EQ(main->StatusBar1->PanelRect(1).left(), 200);
    EXPECT_EQ(main->StatusBar1->PanelRect(1).right(), main->StatusBar1->width() - 1);
    // The drive windows' area lies between tool bar and status bar.
    EXPECT_EQ(main->StatusBar1->geometry().bottom(), main->Client()->height() - 1);
}

TEST_F(MainForm, HintsOfTheToolButtonsAndOneTooltip)
{
    TMainForm *main = program.main;
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
    TMainForm *main = program.main;
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
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    QTest::mouseClick(main->MDIChildren(0)->DBChart1, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] {
        return main->Frame()->SubWindowOf(main->MDIChildren(0)) ==
               main->Frame()->Area()->activeSubWindow();
    }));
    QTest::qWait(20);
    const int before = program.volumes.answers;
    QTest::mouseClick(main->btnRefresh, Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.answers - before, probesPerScan) << "one press, one refresh";
    EXPECT_EQ(main->MDIChildCount(), 2);
}

TEST_F(MainForm, ClosingAModalDialogOrSwitchingProgramsRefreshesNothing)
{
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    QPointer<TMDIChild> first = main->MDIChildren(0);

    int before = program.volumes.answers;
    WhenShown(program.info, [&] { program.info->OKButton->click(); });
    main->HelpAboutItemClick(main->HelpAboutItem);
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.answers, before);
    EXPECT_FALSE(first.isNull()) << "the drive windows were not rebuilt";

    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::qWait(50);
    EXPECT_EQ(program.volumes.answers, before);
    EXPECT_FALSE(first.isNull());
}

TEST_F(MainForm, MenuOfTheFrontDriveWindowOrTheFramesOwn)
{
    TMainForm *main = program.main;
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() == 2; }));
    const QStringList bar = {"&Datei", "&Ansicht", "&Optionen", "&Rechner", "&Fenster", "&?"};
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
        EXPECT_EQ(Application->Hint(), QString::fromUtf8(row.hint));
        // Where the stand-in face is wider than the declared one, the panel shortens the hint.
        const QString shown = main->StatusBar1->PanelText(0);
        EXPECT_TRUE(
            shown == Application->Hint() ||
            (shown.endsWith(QChar(0x2026)) && Application->Hint().startsWith(shown.chopped(1))))
            << shown.toStdString();
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

TEST_F(MainForm, CloseBoxAndBeendenEndTheProgramWithoutAQuestion)
{
    TMainForm *main = program.main;
    EXPECT_EQ(runUntilTheProgramEnds([main] { main->close(); }), 0);
    EXPECT_FALSE(main->isVisible());

    program.Start();
    ASSERT_TRUE(WaitFor([&] { return main->MDIChildCount() > 0; }));
    EXPECT_EQ(runUntilTheProgramEnds([main] { main->MDIChildren(0)->Ende1Click(main->Ende1); }), 0)
        << "\"&Beenden\" in a drive window's menu";
    EXPECT_FALSE(main->isVisible());
}

TEST_F(MainForm, TheHintFollowsWhatIsHighlightedOrUnderThePointerNow)
{
    TMainForm *main = program.main;
    ASSERT_TRUE(ShowActive(main));
    TMDIChild *front = main->MDIChildren(0);
    Hover(front->DBChart1);
    ASSERT_EQ(Application->Hint(), front->DBChart1->statusTip());

    // Menus walked from the keyboard while the pointer rests on the chart.
    const struct
    {
        const char *name;
        std::function<void()> key;
        const char *hint;
    } steps[] = {
        {"Alt+F opens \"Fenster\" on its first entry",
         [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier); },
         "Fenster überlappend anordnen"},
        {"Right opens \"?\"",
         [&] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Right); },
         "Info über Volumo"},
        {"Esc closes it, \"?\" stays highlighted",
         [&] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape); },
         "Hilfethemen"},
        {"Esc leaves the menu bar: the chart under the pointer again",
         [&] { QTest::keyClick(main->menuBar(), Qt::Key_Escape); }, nullptr},
    };
    for (const auto &step : steps) {
        step.key();
        QTest::qWait(30);
        EXPECT_EQ(Application->Hint(),
                  step.hint ? QString::fromUtf8(step.hint) : front->DBChart1->statusTip())
            << step.name;
    }

    // The grid moves the drive windows under the resting pointer: the hint follows.
    Hover(main->MDIChildren(1)->DBChart1);
    Settings.TileRows = 1;
    Settings.TileCols = 1;
    main->WindowTileItemClick(main);
    QTest::qWait(30);
    EXPECT_EQ(Application->Hint(), main->MDIChildren(0)->DBChart1->statusTip());
    Settings.TileRows = 2;
    Settings.TileCols = 3;
    main->WindowTileItemClick(main);
}

TEST_F(MainForm, EveryMenuShowsTheFaceOfTheMenuBar)
{
    TMainForm *main = program.main;
    ASSERT_TRUE(ShowActive(main));
    const QString face = QFontInfo(main->menuBar()->font()).family();
    const QList<QMenu *> menus = {main->Datei1, main->Help1,
                                  main->MDIChildren(0)->MainMenu1->Items().front(),
                                  main->Frame()->SubWindowOf(main->MDIChildren(0))->systemMenu()};
    for (QMenu *menu : menus) {
        menu->popup(main->mapToGlobal(QPoint(100, 100)));
        ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
        EXPECT_EQ(QFontInfo(menu->font()).family(), face) << menu->title().toStdString();
        menu->hide();
    }
}

TEST_F(MainForm, AMenuEntryPressedThroughAssistiveTechnologyAnswersAtOnce)
{
    TMainForm *main = program.main;
    // "Info" in the front drive window's menu, pressed as a screen reader presses it.
    QMenu *help = main->MDIChildren(0)->MainMenu1->Items().back();
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(help);
    ASSERT_TRUE(menu);
    QAccessibleInterface *info = nullptr;
    for (int i = 0; i < menu->childCount(); ++i) {
        if (menu->child(i)->text(QAccessible::Name).contains(QStringLiteral("Info")))
            info = menu->child(i);
    }
    ASSERT_TRUE(info && info->actionInterface());
    bool shown = false;
    WhenShown(program.info, [&] {
        shown = true;
        program.info->OKButton->click();
    });
    info->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(shown) << "the dialog opens after the request is answered";
    EXPECT_TRUE(WaitFor([&] { return shown; }));
}

namespace {

// The relative luminance of a colour and the contrast ratio of two, as WCAG reckons them.
double luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour a label's text is drawn on: its own, or that of the nearest parent that fills its
// background.
QColor backgroundOf(const QWidget *widget)
{
    while (!widget->autoFillBackground() && !widget->isWindow())
        widget = widget->parentWidget();
    return widget->palette().color(QPalette::Active, widget->backgroundRole());
}

} // namespace

TEST_F(MainForm, EveryLabelKeepsItsContrastUnderADarkDesktopPalette)
{
    TMainForm *main = program.main;
    // What a dark desktop theme pushes onto the program.
    QPalette dark(Qt::white, QColor(53, 53, 53), QColor(90, 90, 90), QColor(20, 20, 20),
                  QColor(40, 40, 40), Qt::white, Qt::white, QColor(35, 35, 35), QColor(53, 53, 53));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    int checked = 0;
    for (const QLabel *label : main->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue; // pictures
        const QColor text = label->palette().color(QPalette::Active, label->foregroundRole());
        // Declared exceptions: fuchsia on the button face reaches 2.8:1 at best, and the
        // title's white copy on silver is a shadow under the blue title.
        if (text == QColor(255, 0, 255) || text == QColor(Qt::white))
            continue;
        EXPECT_GE(contrast(text, backgroundOf(label)), 4.5) << label->text().toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 30);
}
