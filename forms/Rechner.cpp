#include "Rechner.h"

#include "application.h"
#include "buttons.h"
#include "fleet.h"
#include "fonts.h"
#include "prometheus_answer.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTableWidget>

#include <vector>

TAlleRechner *AlleRechner = nullptr;

namespace {

constexpr int clientWidth = 880;
constexpr int tableWidth = clientWidth - 16;
// However long a text, no column grows past this; its text loses its middle instead.
constexpr int widestColumn = 360;

const struct
{
    const char16_t *title;
    int width;
    bool figure; // right-aligned
} columns[TAlleRechner::columnCount] = {
    {u"Rechner", 118, false}, {u"Laufwerk", 58, false}, {u"Einhängepunkt", 124, false},
    {u"Größe", 66, true},     {u"Frei", 66, true},      {u"Belegt", 66, true},
    {u"Belegt %", 60, true},  {u"Voll in", 88, false},  {u"Zustand", 0, false},
};

const QColor dimColour(128, 128, 128);
const QColor alarmColour(255, 0, 0);

// A text from another machine or the server, as one plain line.
QString plain(const std::string &text)
{
    return QString::fromStdString(PlainLine(text));
}

// A moment as the clock shows it, with the date where it is not today.
QString clockText(FleetTime time)
{
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(time.time_since_epoch().count());
    const QLocale locale;
    if (moment.date() == QDate::currentDate())
        return locale.toString(moment.time(), QLocale::ShortFormat);
    return locale.toString(moment, QLocale::ShortFormat);
}

// One line of the table, as it shows.
struct Line
{
    QString instance;
    QString mountPoint; // as the machine reports it: with the instance, what the line is about
    QString texts[TAlleRechner::columnCount];
    bool dim = false;   // figures that are not current
    bool alarm = false; // the volume fills up
};

QString stateOf(bool up, bool stale, const std::optional<FleetTime> &lastSeen)
{
    if (!up)
        return lastSeen ? QStringLiteral("nicht erreichbar, zuletzt %1").arg(clockText(*lastSeen))
                        : QStringLiteral("nicht erreichbar");
    if (stale)
        return QStringLiteral("veraltet");
    return QString();
}

// "voll in etwa 3 Std." under the heading "Voll in" says "etwa 3 Std.".
QString timeToFull(const std::string &text)
{
    const QString full = QString::fromStdString(text);
    const QString heading = QStringLiteral("voll in ");
    return full.startsWith(heading) ? full.mid(heading.size()) : full;
}

std::vector<Line> linesOf(const FleetSnapshot &snapshot)
{
    std::vector<Line> lines;
    std::vector<bool> shown(snapshot.machines.size());
    for (const FleetRow &row : FleetRows(snapshot)) {
        shown[row.machine] = true;
        Line line;
        line.instance = QString::fromStdString(snapshot.machines[row.machine].instance);
        line.mountPoint = QString::fromStdString(row.mountPoint);
        line.texts[TAlleRechner::colRechner] = plain(row.machineName);
        line.texts[TAlleRechner::colLaufwerk] = QStringLiteral("%1:\\").arg(QChar(row.letter));
        line.texts[TAlleRechner::colMount] = plain(row.mountPoint);
        line.texts[TAlleRechner::colGroesse] = QString::fromStdString(row.size);
        line.texts[TAlleRechner::colFrei] = QString::fromStdString(row.free);
        line.texts[TAlleRechner::colBelegt] = QString::fromStdString(row.used);
        line.texts[TAlleRechner::colProzent] = QString::fromStdString(row.percent);
        line.texts[TAlleRechner::colVollIn] = timeToFull(row.timeToFullText);
        QString &state = line.texts[TAlleRechner::colZustand];
        state = stateOf(row.up, row.stale, row.lastSeen);
        line.dim = !state.isEmpty();
        if (state.isEmpty() && row.warning == WarningLevel::Critical)
            state = QStringLiteral("fast voll");
        else if (state.isEmpty() && row.warning == WarningLevel::Warning)
            state = QStringLiteral("bald voll");
        line.alarm = row.warning != WarningLevel::None;
        lines.push_back(std::move(line));
    }
    // A machine without a volume to show still shows that it is there, and whether it answers.
    for (size_t m = 0; m < snapshot.machines.size(); ++m) {
        if (shown[m])
            continue;
        const Machine &machine = snapshot.machines[m];
        Line line;
        line.instance = QString::fromStdString(machine.instance);
        line.texts[TAlleRechner::colRechner] = plain(MachineName(machine));
        line.texts[TAlleRechner::colMount] = QStringLiteral("keine Laufwerke");
        line.texts[TAlleRechner::colZustand] = stateOf(machine.up, machine.stale, machine.lastSeen);
        line.dim = true;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

TAlleRechner::TAlleRechner(QWidget *parent)
    : DialogForm(QStringLiteral("Alle Rechner"), QSize(clientWidth, 420), false, parent)
{
    setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));

    LabelStand = new QLabel(this);
    LabelStand->setTextFormat(Qt::PlainText);
    LabelStand->setGeometry(8, 8, tableWidth, 16);

    Tabelle = new QTableWidget(0, columnCount, this);
    Tabelle->setGeometry(8, 28, tableWidth, 346);
    Tabelle->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tabelle->setSelectionBehavior(QAbstractItemView::SelectRows);
    Tabelle->setSelectionMode(QAbstractItemView::SingleSelection);
    Tabelle->setTabKeyNavigation(false);
    Tabelle->setWordWrap(false);
    Tabelle->setTextElideMode(Qt::ElideMiddle);
    Tabelle->setShowGrid(false);
    Tabelle->setCornerButtonEnabled(false);
    Tabelle->verticalHeader()->hide();
    Tabelle->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Tabelle->verticalHeader()->setDefaultSectionSize(Tabelle->fontMetrics().height() + 4);
    QHeaderView *header = Tabelle->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMaximumSectionSize(widestColumn);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    for (int c = 0; c < columnCount; ++c) {
        auto *title = new QTableWidgetItem(QString::fromUtf16(columns[c].title));
        title->setTextAlignment((columns[c].figure ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
        Tabelle->setHorizontalHeaderItem(c, title);
        if (columns[c].width)
            header->resizeSection(c, columns[c].width);
    }

    Anzeigen = new TBitBtn(this);
    Anzeigen->setText(QStringLiteral("&Anzeigen"));
    Anzeigen->setGeometry(tableWidth + 8 - 77 - 6 - 89, 384, 89, 26);
    Anzeigen->setStatusTip(QStringLiteral("Die Laufwerke des gewählten Rechners anzeigen"));
    Anzeigen->setEnabled(false);
    connect(Anzeigen, &QPushButton::clicked, this,
            EventHandler([this] { AnzeigenClick(Anzeigen); }));
    OKButton = new TBitBtn(this);
    OKButton->SetKind(TBitBtn::bkOK);
    OKButton->setGeometry(tableWidth + 8 - 77, 384, 77, 26);
    OKButton->setStatusTip(QStringLiteral("Schließen"));
    connect(OKButton, &QPushButton::clicked, this,
            EventHandler([this] { OKButtonClick(OKButton); }));
    for (TBitBtn *button : {Anzeigen, OKButton})
        button->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));

    connect(Tabelle, &QTableWidget::activated, this,
            [this](const QModelIndex &index) { RunHandler([&] { choose(index.row()); }); });
    connect(Tabelle->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { Anzeigen->setEnabled(selectedRow() >= 0); });

    ActiveControl = Tabelle;
    setTabOrder(Tabelle, Anzeigen);
    setTabOrder(Anzeigen, OKButton);
    showStand();
    // Published once whole: a form that failed half-way leaves no reference behind.
    AlleRechner = this;
}

TAlleRechner::~TAlleRechner()
{
    if (AlleRechner == this)
        AlleRechner = nullptr;
}

void TAlleRechner::OKButtonClick(QObject *)
{
    done(QDialog::Accepted);
}

void TAlleRechner::AnzeigenClick(QObject *)
{
    choose(selectedRow());
}

int TAlleRechner::selectedRow() const
{
    const QModelIndexList rows = Tabelle->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TAlleRechner::choose(int row)
{
    const QTableWidgetItem *item = Tabelle->item(row, colRechner);
    if (!item)
        return;
    const QString instance = item->data(Qt::UserRole).toString();
    done(QDialog::Accepted);
    emit MachineChosen(instance);
}

void TAlleRechner::ShowFleet(std::shared_ptr<const FleetSnapshot> next)
{
    snapshot = std::move(next);
    const std::vector<Line> lines = snapshot ? linesOf(*snapshot) : std::vector<Line>();

    // The chosen line is the same volume of the same machine after the update.
    QString chosenInstance, chosenMount;
    const int current = selectedRow();
    if (current >= 0) {
        chosenInstance = Tabelle->item(current, colRechner)->data(Qt::UserRole).toString();
        chosenMount = Tabelle->item(current, colMount)->data(Qt::UserRole).toString();
    }
    const int scrolled = Tabelle->verticalScrollBar()->value();

    Tabelle->setRowCount(static_cast<int>(lines.size()));
    int chosen = -1;
    for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
        const Line &line = lines[static_cast<size_t>(r)];
        if (current >= 0 && line.instance == chosenInstance && line.mountPoint == chosenMount)
            chosen = r;
        for (int c = 0; c < columnCount; ++c) {
            QTableWidgetItem *item = Tabelle->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
                item->setTextAlignment((columns[c].figure ? Qt::AlignRight : Qt::AlignLeft) |
                                       Qt::AlignVCenter);
                Tabelle->setItem(r, c, item);
            }
            if (item->text() != line.texts[c])
                item->setText(line.texts[c]);
            const bool alarmed = line.alarm && !line.dim && c == colZustand;
            const QBrush colour = line.dim ? dimColour : alarmed ? alarmColour : QBrush();
            if (item->foreground() != colour)
                item->setForeground(colour);
        }
        Tabelle->item(r, colRechner)->setData(Qt::UserRole, line.instance);
        Tabelle->item(r, colMount)->setData(Qt::UserRole, line.mountPoint);
    }
    if (chosen >= 0)
        Tabelle->setCurrentCell(chosen, colRechner,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else if (current >= 0)
        Tabelle->selectionModel()->clear();
    Tabelle->verticalScrollBar()->setValue(scrolled);
    showStand();
}

void TAlleRechner::showStand()
{
    QString text;
    bool old = false;
    if (!snapshot) {
        text = QStringLiteral("Kein Prometheus-Server verbunden: \u201EDatei\u201C > "
                              "\u201ERechner verbinden\u2026\u201C.");
    } else if (!snapshot->fetchedAt && !snapshot->old) {
        text = QStringLiteral("Noch keine Antwort vom Prometheus-Server.");
    } else if (!snapshot->old) {
        text = QStringLiteral("Stand %1").arg(clockText(*snapshot->fetchedAt));
    } else {
        old = true;
        const QString problem = plain(snapshot->problem);
        text = snapshot->fetchedAt ? QStringLiteral("Veraltet, Stand %1: %2")
                                         .arg(clockText(*snapshot->fetchedAt), problem)
                                   : QStringLiteral("Keine Zahlen: %1").arg(problem);
    }
    QPalette palette = LabelStand->palette();
    palette.setColor(QPalette::WindowText,
                     old ? alarmColour : this->palette().color(QPalette::WindowText));
    LabelStand->setPalette(palette);
    LabelStand->setText(
        LabelStand->fontMetrics().elidedText(text, Qt::ElideRight, LabelStand->width()));
}
