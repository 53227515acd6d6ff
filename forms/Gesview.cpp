#include "Gesview.h"

#include "Colours.h"
#include "application.h"
#include "buttons.h"
#include "chart.h"
#include "drive_report.h"
#include "fonts.h"
#include "panel.h"

#include <QLabel>

TGESAMT *GESAMT = nullptr;

namespace {

constexpr int panelWidth = 401;

QLabel *label(QWidget *parent, const QString &text, const QColor &colour, bool bold = false)
{
    return ColouredLabel(parent, text, colour,
                         DeclaredFont(QStringLiteral("MS Sans Serif"), 11, bold));
}

} // namespace

TGESAMT::TGESAMT(QWidget *parent)
    : DialogForm(QStringLiteral("Gesamtübersicht"), QSize(403, 363), false, parent)
{
    OKButton = new TBitBtn(this);
    OKButton->SetKind(TBitBtn::bkOK);
    OKButton->setGeometry(319, 328, 77, 26);
    OKButton->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));
    OKButton->setStatusTip(QStringLiteral("Schließen"));
    SetShowHint(OKButton, true);
    connect(OKButton, &QPushButton::clicked, this,
            EventHandler([this] { OKButtonClick(OKButton); }));

    Panel1 = new TPanel(this, TPanel::LoweredOuterRaisedInner);
    Panel1->setGeometry(0, 224, panelWidth, 97);
    Bevel1 = BevelLine(Panel1, 10, 70, 359);
    Label1 = label(Panel1, QStringLiteral("Laufwerke:"), Qt::black);
    Label1->move(10, 14);
    // A list too long for the panel is cut at the panel's edge.
    LabelDriveList = label(Panel1, QString(), Qt::black);
    LabelDriveList->setGeometry(69, 14, panelWidth - 69 - 2, 13);
    Bevel2 = BevelLine(Panel1, 10, 33, 359);

    Gesa = label(Panel1, QStringLiteral("Freier Speicher gesamt"), clFuchsia);
    Gesa->move(35, 52);
    Label4 = label(Panel1, QStringLiteral("Belegter Speicher gesamt"), clBlue);
    Label4->move(35, 38);
    Label6 = label(Panel1, QStringLiteral("Speicherkapazität gesamt"), Qt::black, true);
    Label6->move(35, 77);

    // The GB figures end at x = 266 of the panel, the percentages at x = 328.
    const struct
    {
        QLabel *&label;
        const QColor &colour;
        bool bold;
        int right;
        int top;
    } figures[] = {
        {Label3, clFuchsia, false, 266, 51}, {Label5, clBlue, false, 266, 38},
        {Label7, Qt::black, true, 266, 77},  {Label8, clFuchsia, false, 328, 52},
        {Label9, clBlue, false, 328, 38},    {Label10, Qt::black, true, 328, 77},
    };
    for (const auto &figure : figures) {
        figure.label = label(Panel1, QStringLiteral("0"), figure.colour, figure.bold);
        figure.label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Panel1->AnchorRight(figure.label, panelWidth - figure.right, figure.top);
    }
    Label10->setText(QStringLiteral("100.00 %"));

    DBChart1 = new TDBChart(this);
    DBChart1->setGeometry(4, 4, 397, 217);
    DBChart1->SetCaption(QStringLiteral("Gesamtübersicht alle Laufwerke"));
    View3DSettings view;
    view.Zoom = 109;
    DBChart1->SetView3DOptions(view);
    DBChart1->SetLegendVisible(true);
    Series1 = new TPieSeries(DBChart1);
    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->MarksArrowHead = true;

    Shape2 = ColourSquare(Panel1, 10, 39, clBlue);
    Shape1 = ColourSquare(Panel1, 10, 55, clFuchsia);

    connect(&registration, &FormRegistration::Activated, this,
            EventHandler([this] { FormActivate(this); }));
    // Published once whole: a form that failed half-way leaves no reference behind.
    GESAMT = this;
}

void TGESAMT::prepareShowing()
{
    for (QLabel *caption : {Label1, Gesa, Label4, Label6})
        caption->adjustSize();
}

void TGESAMT::OKButtonClick(QObject *)
{
    done(QDialog::Accepted);
}

void TGESAMT::FormActivate(QObject *)
{
    ShowOverview(OverviewOf(volumes ? ReportDrives(*volumes) : std::vector<DriveReport>()));
}

void TGESAMT::ShowOverview(const OverviewFigures &figures)
{
    LabelDriveList->setText(QString::fromStdString(figures.driveList));
    Label3->setText(QString::fromStdString(figures.freeText));
    Label8->setText(QString::fromStdString(figures.freeShare));
    Label5->setText(QString::fromStdString(figures.usedText));
    Label9->setText(QString::fromStdString(figures.usedShare));
    Label7->setText(QString::fromStdString(figures.totalText));
    Label10->setText(QString::fromStdString(figures.totalShare));
    const std::vector<TChartSeries::Point> &points = Series1->points();
    const auto used = static_cast<double>(figures.usedGB);
    const auto free = static_cast<double>(figures.freeGB);
    if (points.size() != 2 || points[0].value != used || points[1].value != free) {
        Series1->Clear();
        Series1->Add(used, QStringLiteral("GB belegt"), clBlue);
        Series1->Add(free, QStringLiteral("GB frei"), clFuchsia);
    }
}

TGESAMT::~TGESAMT()
{
    if (GESAMT == this)
        GESAMT = nullptr;
}
