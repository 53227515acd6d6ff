#include "Childwin.h"

#include "Gesview.h"
#include "Main.h"
#include "chart.h"
#include "event_handler.h"
#include "fonts.h"
#include "main_menu.h"
#include "panel.h"
#include "screen.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace {

const QColor clBlue(0, 0, 255);
const QColor clFuchsia(255, 0, 255);

QLabel *panelLabel(QWidget *panel, const QString &text, const QColor &colour,
                   Qt::Alignment alignment)
{
    // The panel carries the labels' font.
    QLabel *label = ColouredLabel(panel, text, colour, panel->font());
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

TMDIChild::TMDIChild(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Untergeordnetes MDI"));
    setFont(DeclaredFont(QStringLiteral("System"), 13));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    DBChart1 = new TDBChart(this);
    DBChart1->SetCaption(QStringLiteral("Laufwerks-Belegung"));
    Series1 = new TPieSeries(DBChart1);
    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->Title = QStringLiteral("Serie1");
    layout->addWidget(DBChart1, 1);

    auto *panel = new TPanel(this);
    Panel1 = panel;
    Panel1->setFixedHeight(66);
    Panel1->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));
    layout->addWidget(Panel1);

    Shape2 = ColourSquare(Panel1, 6, 7, clBlue);
    Label2 = panelLabel(Panel1, QStringLiteral("Belegter Speicher"), clBlue, Qt::AlignLeft);
    Label2->move(22, 6);
    Shape1 = ColourSquare(Panel1, 6, 23, clFuchsia);
    Label1 = panelLabel(Panel1, QStringLiteral("Freier Speicher"), clFuchsia, Qt::AlignLeft);
    Label1->move(22, 22);
    Label6 = panelLabel(Panel1, QStringLiteral("Speicherkapazität"), Qt::black, Qt::AlignLeft);
    Label6->move(22, 49);
    for (QLabel *caption : {Label2, Label1, Label6})
        caption->resize(TextSize(caption).width(), 13);

    // Design width 301: the gigabytes end 56 px before the right edge (at 245), the
    // percentages 21 px before it (at 280); both columns follow that edge.
    const struct
    {
        QLabel *&label;
        const QColor &colour;
        int top;
    } rows[] = {
        {LabelMBBelegt, clBlue, 6}, {LabelMBFrei, clFuchsia, 22}, {LabelMBGesamt, Qt::black, 49}};
    for (const auto &row : rows) {
        row.label = panelLabel(Panel1, QStringLiteral("<MB>"), row.colour, Qt::AlignRight);
        panel->AnchorRight(row.label, 56, row.top, 65);
    }
    const struct
    {
        QLabel *&label;
        const QColor &colour;
        int top;
    } percents[] = {{LabelProzentBelegt, clBlue, 6},
                    {LabelProzentFrei, clFuchsia, 22},
                    {LabelProzentGesamt, Qt::black, 49}};
    for (const auto &row : percents) {
        row.label = panelLabel(Panel1, QStringLiteral("<%>"), row.colour, Qt::AlignRight);
        panel->AnchorRight(row.label, 21, row.top);
    }

    // The raised line between the two rows above and the total row.
    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Raised);
    Bevel1->setGeometry(0, 41, 301, 2);

    MainMenu1 = new TMainMenu(this, [this] { createMenu(); });
    Screen->RegisterForm(this);
}

void TMDIChild::createMenu()
{
    QMenu *Datei1 = MainMenu1->AddMenu(QStringLiteral("&Datei"), QString());
    QAction *Ende1 =
        MainMenu1->AddItem(Datei1, QStringLiteral("&Beenden"), QStringLiteral("Programm beenden"));
    QMenu *Edit1 = MainMenu1->AddMenu(QStringLiteral("&Ansicht"), QString());
    QAction *AktionNeu = MainMenu1->AddItem(Edit1, QStringLiteral("&Aktualisieren"),
                                            QStringLiteral("Sämtliche Laufwerke neu scannen"));
    QAction *AktionGesamt = MainMenu1->AddItem(Edit1, QStringLiteral("&Gesamtübersicht"),
                                               QStringLiteral("Gesamtübersicht anzeigen"));
    QMenu *Einstellungen1 = MainMenu1->AddMenu(QStringLiteral("&Optionen"), QString());
    QAction *Anordnung1 =
        MainMenu1->AddItem(Einstellungen1, QStringLiteral("&Programmeinstellungen"),
                           QStringLiteral("Programmeinstellungen"));
    QMenu *Window1 = MainMenu1->AddMenu(QStringLiteral("&Fenster"),
                                        QStringLiteral("Befehle zum Anordnen von Fenstern"));
    QAction *WindowCascadeItem = MainMenu1->AddItem(Window1, QStringLiteral("Ü&berlappend"),
                                                    QStringLiteral("Fenster überlappend anordnen"));
    QAction *WindowTileItem =
        MainMenu1->AddItem(Window1, QStringLiteral("&Nebeneinander"),
                           QStringLiteral("Fenster nicht überlappend anordnen"));
    QAction *WindowArrangeItem = MainMenu1->AddItem(
        Window1, QStringLiteral("&Symbole anordnen"),
        QStringLiteral("Fenstersymbole am unteren Rand des Hauptfensters anordnen"));
    QAction *WindowMinimizeItem = MainMenu1->AddItem(Window1, QStringLiteral("&Alle verkleinern"),
                                                     QStringLiteral("Alle Fenster verkleinern"));
    QMenu *Help1 = MainMenu1->AddMenu(QStringLiteral("&?"), QStringLiteral("Hilfethemen"));
    QAction *HelpAboutItem =
        MainMenu1->AddItem(Help1, QStringLiteral("&Info"), QStringLiteral("Info über Volumo"));

    const std::pair<QAction *, void (TMDIChild::*)(QObject *)> routes[] = {
        {Ende1, &TMDIChild::Ende1Click},
        {AktionNeu, &TMDIChild::AktionNeuClick},
        {AktionGesamt, &TMDIChild::AktionGesamtClick},
        {Anordnung1, &TMDIChild::Anordnung1Click},
        {WindowCascadeItem, &TMDIChild::WindowCascadeItemClick},
        {WindowTileItem, &TMDIChild::WindowTileItemClick},
        {WindowArrangeItem, &TMDIChild::WindowArrangeItemClick},
        {WindowMinimizeItem, &TMDIChild::WindowMinimizeItemClick},
        {HelpAboutItem, &TMDIChild::HelpAboutItemClick},
    };
    for (const auto &[action, handler] : routes) {
        connect(
            action, &QAction::triggered, this,
            EventHandler([this, action = action, handler = handler] { (this->*handler)(action); }));
    }
}

TCloseAction TMDIChild::FormClose(QObject *)
{
    return caFree;
}

void TMDIChild::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Bevel1->setGeometry(0, 41, Panel1->width(), 2);
    FormResize(this);
}

void TMDIChild::FormResize(QObject *)
{
    if (MainForm)
        MainForm->ShowStatusMessage(QStringLiteral("BEREIT"));
}

void TMDIChild::Ende1Click(QObject *Sender)
{
    MainForm->Ende1Click(Sender);
}

void TMDIChild::AktionNeuClick(QObject *Sender)
{
    MainForm->AktualisierenClick(Sender);
}

void TMDIChild::AktionGesamtClick(QObject *)
{
    Screen->ShowModal(TheGESAMT());
}

void TMDIChild::Anordnung1Click(QObject *Sender)
{
    MainForm->Anordnung1Click(Sender);
}

void TMDIChild::WindowCascadeItemClick(QObject *Sender)
{
    MainForm->WindowCascadeItemClick(Sender);
}

void TMDIChild::WindowTileItemClick(QObject *Sender)
{
    MainForm->WindowTileItemClick(Sender);
}

void TMDIChild::WindowArrangeItemClick(QObject *Sender)
{
    MainForm->WindowArrangeItemClick(Sender);
}

void TMDIChild::WindowMinimizeItemClick(QObject *Sender)
{
    MainForm->WindowMinimizeItemClick(Sender);
}

void TMDIChild::HelpAboutItemClick(QObject *Sender)
{
    MainForm->HelpAboutItemClick(Sender);
}

TMDIChild::~TMDIChild()
{
    Screen->UnregisterForm(this);
}
