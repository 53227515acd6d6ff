#include "Anordn.h"

#include "Main.h"
#include "application.h"
#include "buttons.h"
#include "fonts.h"
#include "spin_edit.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

Tanordnung *anordnung = nullptr;

namespace {

// The chart kinds on offer: the value OK stores, the button that chooses it and the series kind
// a drive window then shows. ChartKind 0 (before the first OK) keeps the declared pie.
const struct
{
    uint8_t chartKind;
    QRadioButton *Tanordnung::*button;
    SeriesKind series;
} chartKinds[] = {{1, &Tanordnung::rbKreis, SeriesKind::Pie},
                  {2, &Tanordnung::rbBalkenHor, SeriesKind::HorizBar},
                  {3, &Tanordnung::rbBalkenVer, SeriesKind::Bar}};

QLabel *image(QWidget *parent, int left, int top)
{
    auto *label = new QLabel(parent);
    label->setGeometry(left, top, 32, 32);
    return label;
}

QRadioButton *radio(QWidget *parent, const QString &caption, QRect bounds, bool checked = false)
{
    auto *button = new QRadioButton(caption, parent);
    button->setGeometry(bounds);
    button->setChecked(checked);
    return button;
}

} // namespace

Tanordnung::Tanordnung(QWidget *parent)
    : DialogForm(QStringLiteral("Einstellungen"), QSize(396, 208), false, parent)
{
    setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));

    GroupBox2 = new QGroupBox(QStringLiteral("Diagrammtyp"), this);
    GroupBox2->setGeometry(8, 8, 185, 154);
    Image1 = image(GroupBox2, 13, 23);
    Image2 = image(GroupBox2, 13, 61);
    Image3 = image(GroupBox2, 13, 99);
    rbKreis = radio(GroupBox2, QStringLiteral("Kreis"), {63, 29, 113, 17}, true);
    rbBalkenHor = radio(GroupBox2, QStringLiteral("Balken horizontal"), {63, 67, 113, 17});
    rbBalkenVer = radio(GroupBox2, QStringLiteral("Balken vertikal"), {63, 105, 113, 17});

    GroupBox3 = new QGroupBox(QStringLiteral("Dimension"), this);
    GroupBox3->setGeometry(199, 8, 189, 64);
    rb3D = radio(GroupBox3, QStringLiteral("3D"), {23, 28, 42, 17}, true);
    rb2D = radio(GroupBox3, QStringLiteral("2D"), {71, 28, 46, 17});

    GroupBox1 = new QGroupBox(QStringLiteral("Anordnung"), this);
    GroupBox1->setGeometry(199, 78, 189, 84);
    SpinEdit1 = new TSpinEdit(1, 4, 2, GroupBox1);
    SpinEdit1->setGeometry(12, 23, 41, 22);
    Label1 = new QLabel(QStringLiteral("Zeile(n)"), GroupBox1);
    Label1->move(60, 27);
    SpinEdit2 = new TSpinEdit(1, 4, 3, GroupBox1);
    SpinEdit2->setGeometry(12, 51, 41, 22);
    Label2 = new QLabel(QStringLiteral("Spalte(n)"), GroupBox1);
    Label2->move(60, 55);
    Label1->setBuddy(SpinEdit1);
    Label2->setBuddy(SpinEdit2);

    OKButton = new TBitBtn(this);
    OKButton->SetKind(TBitBtn::bkOK);
    OKButton->setGeometry(216, 172, 77, 26);
    connect(OKButton, &QPushButton::clicked, this,
            EventHandler([this] { OKButtonClick(OKButton); }));
    BitBtn1 = new TBitBtn(this);
    BitBtn1->SetKind(TBitBtn::bkAbort);
    BitBtn1->setGeometry(299, 172, 89, 26);
    for (TBitBtn *button : {OKButton, BitBtn1})
        button->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));

    // OK comes first; in "Anordnung" the columns come before the rows.
    ActiveControl = OKButton;
    QWidget *order[] = {OKButton, BitBtn1,     SpinEdit2, SpinEdit1, rbBalkenHor,
                        rbKreis,  rbBalkenVer, rb2D,      rb3D};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Published once whole: a form that failed half-way leaves no reference behind.
    anordnung = this;
}

void Tanordnung::prepareShowing()
{
    Image1->setPixmap(QPixmap(QStringLiteral(":/icons/pie.png")));
    Image2->setPixmap(QPixmap(QStringLiteral(":/icons/bars-horizontal.png")));
    Image3->setPixmap(QPixmap(QStringLiteral(":/icons/bars-vertical.png")));
    Label1->adjustSize();
    Label2->adjustSize();
}

Tanordnung::~Tanordnung()
{
    if (anordnung == this)
        anordnung = nullptr;
}

void Tanordnung::ReadLayout(RunSettings &settings) const
{
    settings.TileRows = SpinEdit1->GridValue();
    settings.TileCols = SpinEdit2->GridValue();
    settings.Chart3D = rb3D->isChecked();
}

void Tanordnung::OKButtonClick(QObject *)
{
    ReadLayout(Settings);
    for (const auto &choice : chartKinds) {
        if ((this->*choice.button)->isChecked()) {
            Settings.ChartKind = choice.chartKind;
            break;
        }
    }
}

std::optional<SeriesKind> SeriesKindOf(uint8_t chartKind)
{
    for (const auto &choice : chartKinds) {
        if (choice.chartKind == chartKind)
            return choice.series;
    }
    return std::nullopt;
}
