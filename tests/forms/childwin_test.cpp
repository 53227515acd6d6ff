#include "../gui_helpers.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "chart.h"
#include "main_menu.h"
#include "mdi_frame.h"
#include "program.h"
#include "status_bar.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

class DriveWindow : public testing::Test
{
protected:
    void SetUp() override { program.Ready(); }
    TMDIChild *front() const { return program.main->MDIChildren(0); }
    ProgramUnderTest program;
};

} // namespace

TEST_F(DriveWindow, DeclaredLayout)
{
    TMDIChild child;
    child.resize(TMDIChild::DesignClientSize);
    child.show();
    QTest::qWait(10);
    EXPECT_EQ(child.windowTitle(), QStringLiteral("Untergeordnetes MDI"));
    EXPECT_EQ(child.DBChart1->geometry(), QRect(0, 0, 301, 247));
    EXPECT_EQ(child.Panel1->geometry(), QRect(0, 247, 301, 66));
    EXPECT_EQ(child.DBChart1->Caption(), QStringLiteral("Laufwerks-Belegung"));
    EXPECT_FALSE(child.DBChart1->LegendVisible());
    EXPECT_EQ(child.Series1->kind(), SeriesKind::Pie);

    const struct
    {
        QLabel *label;
        const char *text;
        QPoint at;
    } captions[] = {{child.Label2, "Belegter Speicher", {22, 6}},
                    {child.Label1, "Freier Speicher", {22, 22}},
                    {child.Label6, "Speicherkapazität", {22, 49}}};
    for (const auto &row : captions) {
        EXPECT_EQ(row.label->text(), QString::fromUtf8(row.text));
        EXPECT_EQ(row.label->pos(), row.at) << row.text;
    }
    EXPECT_EQ(child.Shape2->geometry(), QRect(6, 7, 10, 10));
    EXPECT_EQ(child.Shape1->geometry(), QRect(6, 23, 10, 10));
    EXPECT_EQ(child.LabelMBBelegt->geometry(), QRect(180, 6, 65, 13));
    EXPECT_EQ(RightEdge(child.LabelProzentBelegt), 280);
    EXPECT_EQ(child.Bevel1->y(), 41);
    EXPECT_EQ(child.Label2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(child.LabelMBFrei->palette().color(QPalette::WindowText), QColor(255, 0, 255));
}

TEST_F(DriveWindow, FigureColumnsFollowTheRightEdge)
{
    TMDIChild *child = front();
    child->LabelProzentFrei->setText(QStringLiteral("100%"));
    for (const int width : {301, 420, 240}) {
        program.main->Frame()->SetBounds(child, QRect(0, 0, width + 40, 400));
        QTest::qWait(20);
        const int panel = child->Panel1->width();
        for (QLabel *figure : {child->LabelMBBelegt, child->LabelMBFrei, child->LabelMBGesamt})
            EXPECT_EQ(RightEdge(figure), panel - 56) << width;
        for (QLabel *figure :
             {child->LabelProzentBelegt, child->LabelProzentFrei, child->LabelProzentGesamt})
            EXPECT_EQ(RightEdge(figure), panel - 21) << width;
        EXPECT_EQ(child->Label2->x(), 22) << "captions stay at the left";
    }
    // A longer text grows to the left.
    child->LabelProzentFrei->setText(QStringLiteral("7%"));
    QTest::qWait(20);
    const int before = child->LabelProzentFrei->x();
    child->LabelProzentFrei->setText(QStringLiteral("100%"));
    QTest::qWait(20);
    EXPECT_LT(child->LabelProzentFrei->x(), before);
    EXPECT_EQ(RightEdge(child->LabelProzentFrei), child->Panel1->width() - 21);
}

TEST_F(DriveWindow, TheWidestFiguresShowWhole)
{
    TMDIChild *child = front();
    program.main->Frame()->SetBounds(child, QRect(0, 0, 341, 400));
    QTest::qWait(20);
    // Eight digits with separators, and the scientific form beyond them.
    for (const char *figure : {"99.999.999 GB =", "1,2345679E8 GB =", "123.456 GB =", "7 GB ="}) {
        for (QLabel *label : {child->LabelMBBelegt, child->LabelMBFrei, child->LabelMBGesamt}) {
            label->setText(QString::fromUtf8(figure));
            QTest::qWait(5);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << figure;
            EXPECT_EQ(RightEdge(label), child->Panel1->width() - 56) << figure;
            EXPECT_GE(label->width(), 65) << figure << ": never narrower than declared";
            EXPECT_GT(label->x(), RightEdge(child->Label6)) << figure << ": clear of the captions";
        }
    }
}

TEST_F(DriveWindow, ResizingPassesBereit)
{
    program.main->ShowStatusMessage(QStringLiteral("etwas"));
    program.main->Frame()->SetBounds(front(), QRect(5, 5, 333, 333));
    QTest::qWait(10);
    EXPECT_EQ(program.main->StatusBar1->SimpleText(), QStringLiteral("BEREIT"));
}

TEST_F(DriveWindow, CloseBoxDestroysTheWindow)
{
    QPointer<TMDIChild> child = front();
    program.main->Frame()->SubWindowOf(child)->close();
    ASSERT_TRUE(WaitFor([&] { return child.isNull(); }));
    EXPECT_EQ(program.main->MDIChildCount(), 1);
}

TEST_F(DriveWindow, MenuEntriesForwardToTheMainWindow)
{
    TMDIChild *child = front();
    auto *menu = child->findChild<MainMenu *>();
    ASSERT_TRUE(menu);
    QStringList entries;
    QStringList hints;
    for (QMenu *top : menu->Items()) {
        entries << top->title();
        hints << top->menuAction()->statusTip();
        for (QAction *item : top->actions()) {
            entries << item->text();
            hints << item->statusTip();
            EXPECT_TRUE(item->isEnabled());
            EXPECT_TRUE(item->shortcut().isEmpty());
        }
    }
    EXPECT_EQ(entries, (QStringList{"&Datei",
                                    "Rechner &verbinden…",
                                    "",
                                    "&Beenden",
                                    "&Ansicht",
                                    "&Aktualisieren",
                                    "&Gesamtübersicht",
                                    "&Optionen",
                                    "&Programmeinstellungen",
                                    "&Warnungen anzeigen",
                                    "&Rechner",
                                    "&Dieser Rechner",
                                    "",
                                    "&Alle Rechner…",
                                    "&Fenster",
                                    "Ü&berlappend",
                                    "&Nebeneinander",
                                    "&Symbole anordnen",
                                    "&Alle verkleinern",
                                    "&?",
                                    "&Info"}));
    EXPECT_EQ(hints, (QStringList{
                         "",
                         "Die Laufwerke anderer Rechner von einem Prometheus-Server lesen",
                         "",
                         "Programm beenden",
                         "",
                         "Sämtliche Laufwerke neu scannen",
                         "Gesamtübersicht anzeigen",
                         "",
                         "Programmeinstellungen",
                         "Melden, wenn ein Laufwerk bald voll ist, und es im Fenster kennzeichnen",
                         "Rechner wählen, dessen Laufwerke die Fenster zeigen",
                         "Die Laufwerke dieses Rechners zeigen",
                         "",
                         "Die Laufwerke aller Rechner in einer Tabelle",
                         "Befehle zum Anordnen von Fenstern",
                         "Fenster überlappend anordnen",
                         "Fenster nicht überlappend anordnen",
                         "Fenstersymbole am unteren Rand des Hauptfensters anordnen",
                         "Alle Fenster verkleinern",
                         "Hilfethemen",
                         "Info über Volumo"}));

    // The run's warnings and the machines are in one place, whichever menu shows them.
    EXPECT_EQ(menu->Items()[2]->actions()[1], program.main->WarnungenAnzeigen);
    EXPECT_TRUE(program.main->WarnungenAnzeigen->isChecked());
    EXPECT_EQ(menu->Items()[3], program.main->Rechner1);
    EXPECT_EQ(menu->Items()[0]->actions()[0], program.main->RechnerVerbinden);

    // "Nebeneinander" from the drive window lays the grid out through the main window.
    program.main->Frame()->SetBounds(child, QRect(200, 200, 100, 100));
    menu->Items()[4]->actions()[1]->trigger(); // runs once back in the event loop
    EXPECT_TRUE(
        WaitFor([&] { return program.main->Frame()->Bounds(child).topLeft() == QPoint(); }));

    // Its "Gesamtübersicht" opens the total overview itself.
    bool shown = false;
    WhenShown(program.gesamt, [&] {
        shown = true;
        program.gesamt->done(0);
    });
    menu->Items()[1]->actions()[1]->trigger();
    EXPECT_TRUE(WaitFor([&] { return shown; }));
}
