#include "Childwin.h"

#include "Colours.h"
#include "Commands.h"
#include "Gesview.h"
#include "Main.h"
#include "chart.h"
#include "drive_report.h"
#include "fonts.h"
#include "main_menu.h"
#include "panel.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace {

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

    MainMenu1 = new MainMenu(this, [this] { createMenu(); });
}

void TMDIChild::createMenu()
{
    const MenuEntries menu =
        FillMenu(MainMenu1, MenuOwner::DriveWindow, MainForm ? *MainForm : MenuEntries());
    RouteCommands(this, {
                            {menu.Ende1, &TMDIChild::Ende1Click},
                            {menu.Aktualisieren, &TMDIChild::AktionNeuClick},
                            {menu.AktionGesamt, &TMDIChild::AktionGesamtClick},
                            {menu.Anordnung1, &TMDIChild::Anordnung1Click},
                            {menu.WindowCascadeItem, &TMDIChild::WindowCascadeItemClick},
                            {menu.WindowTileItem, &TMDIChild::WindowTileItemClick},
                            {menu.WindowArrangeItem, &TMDIChild::WindowArrangeItemClick},
                            {menu.WindowMinimizeItem, &TMDIChild::WindowMinimizeItemClick},
                            {menu.HelpAboutItem, &TMDIChild::HelpAboutItemClick},
                        });
}

void TMDIChild::ShowDrive(const DriveReport &drive, const std::string &onMachine)
{
    number = drive.number;
    machine = onMachine;
    key = drive.key;
    description = drive.description;
    const QString root = QString::fromStdU16String(DriveRoot(drive.number));
    DBChart1->SetCaption(QStringLiteral("Laufwerksbelegung ") + root);
    Series1->Clear();
    ShowFilling(FillMark::None, {});
    ShowFigures(drive.stats);
}

void TMDIChild::ShowFigures(const DriveStats &stats)
{
    const DriveFigures figures = FiguresOf(stats);
    const std::vector<TChartSeries::Point> &points = Series1->points();
    if (points.size() != 2 || points[0].value != figures.usedPoint ||
        points[1].value != figures.freePoint) {
        Series1->Clear();
        Series1->Add(figures.usedPoint, QStringLiteral("GB belegt"), clBlue);
        Series1->Add(figures.freePoint, QStringLiteral("GB frei"), clFuchsia);
    }
    // A label given the text it shows already is left alone.
    LabelMBFrei->setText(QString::fromStdString(figures.freeGB));
    LabelProzentFrei->setText(QString::fromStdString(figures.freePercent));
    LabelMBBelegt->setText(QString::fromStdString(figures.usedGB));
    LabelProzentBelegt->setText(QString::fromStdString(figures.usedPercent));
    LabelMBGesamt->setText(QString::fromStdString(figures.totalGB));
    LabelProzentGesamt->setText(QString::fromStdString(figures.totalPercent));
}

void TMDIChild::ShowFilling(FillMark fillMark, const std::string &full)
{
    const QString caption = QString::fromStdString(DriveCaption(number, machine, fillMark));
    if (windowTitle() != caption) {
        setWindowTitle(caption);
        // The title bar's icon turns into a warning sign while the volume fills up.
        setWindowIcon(fillMark == FillMark::None
                          ? QIcon()
                          : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    }
    const QString hint = QString::fromStdString(DriveHint(number, description, full));
    if (DBChart1->statusTip() != hint)
        DBChart1->setStatusTip(hint);
    // Where it will be full, the chart's tooltip says so too.
    if (DBChart1->toolTip().isEmpty() != full.empty() ||
        (!full.empty() && DBChart1->toolTip() != hint))
        SetShowHint(DBChart1, !full.empty());
}

CloseAction TMDIChild::FormClose(QObject *)
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
    Screen->ShowModal(GESAMT);
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
