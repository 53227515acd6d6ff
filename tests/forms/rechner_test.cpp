#include "../gui_helpers.h"
#include "Rechner.h"
#include "buttons.h"
#include "fleet.h"
#include "number_format.h"
#include "prometheus_answer.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr int64_t gib = int64_t{1} << 30;

// Today at the given time of day, on this machine's clock.
FleetTime today(int hour, int minute)
{
    return FleetTime(std::chrono::milliseconds(
        QDateTime(QDate::currentDate(), QTime(hour, minute)).toMSecsSinceEpoch()));
}

RemoteFilesystem volume(const std::string &mountPoint, int64_t sizeGiB, int64_t availGiB,
                        std::optional<std::chrono::seconds> timeToFull = std::nullopt)
{
    RemoteFilesystem fs;
    fs.mountPoint = mountPoint;
    fs.device = "/dev/disk" + mountPoint;
    fs.fsType = "ext4";
    fs.sizeBytes = sizeGiB * gib;
    fs.availBytes = availGiB * gib;
    fs.timeToFull = timeToFull;
    return fs;
}

Machine machine(const std::string &name, bool up, std::vector<RemoteFilesystem> filesystems,
                std::optional<FleetTime> lastSeen = today(12, 5))
{
    Machine m;
    m.instance = name + ":9100";
    m.nodename = name;
    m.up = up;
    m.lastSeen = lastSeen;
    m.filesystems = std::move(filesystems);
    return m;
}

std::shared_ptr<const FleetSnapshot> fleet(std::vector<Machine> machines)
{
    auto snapshot = std::make_shared<FleetSnapshot>();
    snapshot->machines = std::move(machines);
    snapshot->fetchedAt = today(12, 5);
    return snapshot;
}

class AllMachines : public testing::Test
{
protected:
    AllMachines()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        SetNumberSeparators({".", ","});
    }
    ~AllMachines() override
    {
        SetNumberSeparators(separators);
        QLocale::setDefault(locale);
    }

    QStringList line(int row) const
    {
        QStringList texts;
        for (int c = 0; c < TAlleRechner::columnCount; ++c)
            texts << dialog.Tabelle->item(row, c)->text();
        return texts;
    }

    QPoint centreOf(int row) const
    {
        return dialog.Tabelle->visualRect(dialog.Tabelle->model()->index(row, 0)).center();
    }

    // Shows the dialog modally, runs `inDialog` in it, and gives its result and the machines
    // named meanwhile.
    std::pair<int, QStringList> run(const std::function<void()> &inDialog)
    {
        QStringList chosen;
        QObject::connect(&dialog, &TAlleRechner::MachineChosen, &dialog,
                         [&](const QString &instance) { chosen << instance; });
        WhenShown(&dialog, [this, inDialog] {
            inDialog();
            if (dialog.isVisible())
                QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
        });
        const int result = Screen->ShowModal(&dialog);
        QObject::disconnect(&dialog, &TAlleRechner::MachineChosen, &dialog, nullptr);
        return {result, chosen};
    }

    const QLocale locale;
    const NumberSeparators separators = NumberSeparatorsInForce();
    TAlleRechner dialog;
};

} // namespace

TEST_F(AllMachines, EveryVolumeFullestFirstInTheDriveWindowsFormats)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Alle Rechner"));
    EXPECT_EQ(AlleRechner, &dialog);
    QStringList headings;
    for (int c = 0; c < TAlleRechner::columnCount; ++c)
        headings << dialog.Tabelle->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings, QStringList({"Rechner", "Laufwerk", "Einhängepunkt", "Größe", "Frei",
                                     "Belegt", "Belegt %", "Voll in", "Zustand"}));

    Machine alpha = machine("alpha", true, {volume("/", 1863, 1000), volume("/data", 10, 1)});
    alpha.filesystems[0].sizeBytes += gib / 2;
    const Machine beta = machine("beta", false, {volume("/", 931, 400, 3h)}, today(12, 3));
    const Machine delta = machine("delta", true, {volume("/", 100, 30, 3h)});
    Machine gamma = machine("gamma", true, {volume("/", 4, 2)});
    gamma.stale = true;
    const Machine epsilon = machine("epsilon", false, {}, std::nullopt);
    dialog.ShowFleet(fleet({alpha, beta, delta, epsilon, gamma}));

    const QStringList expected[] = {
        {"alpha", "D:\\", "/data", "10 GB", "1 GB", "9 GB", "90%", "", ""},
        {"delta", "C:\\", "/", "100 GB", "30 GB", "70 GB", "70%", "etwa 3 Std.", "fast voll"},
        // Down: the last figures, and since when they are all there is.
        {"beta", "C:\\", "/", "931 GB", "400 GB", "531 GB", "57%", "etwa 3 Std.",
         "nicht erreichbar, zuletzt 12:03"},
        {"gamma", "C:\\", "/", "4 GB", "2 GB", "2 GB", "50%", "", "veraltet"},
        {"alpha", "C:\\", "/", "1.863 GB", "1.000 GB", "863 GB", "46%", "", ""},
        {"epsilon", "", "keine Laufwerke", "", "", "", "", "", "nicht erreichbar"},
    };
    ASSERT_EQ(dialog.Tabelle->rowCount(), static_cast<int>(std::size(expected)));
    for (int row = 0; row < dialog.Tabelle->rowCount(); ++row)
        EXPECT_EQ(line(row), expected[row]) << row;
    EXPECT_EQ(dialog.LabelStand->text(), QStringLiteral("Stand 12:05"));

    // Figures end at the right of their columns, texts start at the left.
    EXPECT_TRUE(dialog.Tabelle->item(0, TAlleRechner::colFrei)->textAlignment() & Qt::AlignRight);
    EXPECT_TRUE(dialog.Tabelle->item(0, TAlleRechner::colMount)->textAlignment() & Qt::AlignLeft);
}

TEST_F(AllMachines, TheServerNoLongerAnsweringShowsAboveTheFiguresItLastGave)
{
    const Machine alpha = machine("alpha", true, {volume("/", 100, 40)});
    const struct
    {
        const char *name;
        bool snapshot;
        bool old;
        std::optional<FleetTime> fetchedAt;
        std::string problem;
        QString shown;
    } rows[] = {
        {"no server",
         false,
         false,
         {},
         {},
         "Kein Prometheus-Server verbunden: \u201EDatei\u201C > \u201ERechner "
         "verbinden\u2026\u201C."},
        {"nothing yet", true, false, {}, {}, "Noch keine Antwort vom Prometheus-Server."},
        {"answered", true, false, today(12, 5), {}, "Stand 12:05"},
        {"gone since", true, true, today(12, 3), "Keine Verbindung zum Server.",
         "Veraltet, Stand 12:03: Keine Verbindung zum Server."},
        {"never answered",
         true,
         true,
         {},
         "Zeitüberschreitung.",
         "Keine Zahlen: Zeitüberschreitung."},
        {"server's markup", true, true, today(12, 3), "<b>Fehler</b>\n<img src=x>",
         "Veraltet, Stand 12:03: <b>Fehler</b>\uFFFD<img src=x>"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::shared_ptr<FleetSnapshot> snapshot;
        if (row.snapshot) {
            snapshot = std::make_shared<FleetSnapshot>();
            snapshot->machines = {alpha};
            snapshot->old = row.old;
            snapshot->fetchedAt = row.fetchedAt;
            snapshot->problem = row.problem;
        }
        dialog.ShowFleet(snapshot);
        EXPECT_EQ(dialog.LabelStand->text(), row.shown);
        EXPECT_EQ(dialog.LabelStand->textFormat(), Qt::PlainText);
        EXPECT_EQ(dialog.LabelStand->palette().color(QPalette::WindowText) == QColor(Qt::red),
                  row.old);
        EXPECT_EQ(dialog.Tabelle->rowCount(), row.snapshot ? 1 : 0);
        if (row.snapshot) {
            EXPECT_EQ(line(0).mid(3, 4), QStringList({"100 GB", "40 GB", "60 GB", "60%"}));
        }
    }
}

TEST_F(AllMachines, LabelsFromElsewhereShowAsPlainTextCutToOneLine)
{
    const std::string hostile[] = {
        "<b>fett</b>",           "<img src=x onerror=alert(1)>",
        "\u202Eabc.exe",         "tab\there\nnewline\x07",
        std::string(10000, 'W'), "&amp; <a href='http://x'>link</a>",
    };
    std::vector<Machine> machines;
    for (size_t i = 0; i < std::size(hostile); ++i) {
        Machine m = machine(hostile[i], true,
                            {volume("/", 100, static_cast<int64_t>(10 + i)),
                             volume("/mnt/" + hostile[i], 200, static_cast<int64_t>(100 + i))});
        m.instance = "host-" + std::to_string(i) + ":9100";
        machines.push_back(m);
    }
    std::sort(machines.begin(), machines.end(),
              [](const Machine &a, const Machine &b) { return MachineName(a) < MachineName(b); });
    auto snapshot = std::make_shared<FleetSnapshot>();
    snapshot->machines = machines;
    snapshot->fetchedAt = today(12, 3);
    snapshot->old = true;
    snapshot->problem = std::string(10000, 'x') + "\u202E";
    dialog.ShowFleet(snapshot);
    ASSERT_TRUE(ShowActive(&dialog));

    const std::vector<FleetRow> rows = FleetRows(*snapshot);
    ASSERT_EQ(dialog.Tabelle->rowCount(), static_cast<int>(rows.size()));
    for (int r = 0; r < dialog.Tabelle->rowCount(); ++r) {
        const FleetRow &row = rows[static_cast<size_t>(r)];
        EXPECT_EQ(dialog.Tabelle->item(r, TAlleRechner::colRechner)->text(),
                  QString::fromStdString(PlainLine(row.machineName)))
            << r;
        EXPECT_EQ(dialog.Tabelle->item(r, TAlleRechner::colMount)->text(),
                  QString::fromStdString(PlainLine(row.mountPoint)))
            << r;
        EXPECT_EQ(dialog.Tabelle->rowHeight(r), dialog.Tabelle->rowHeight(0)) << r;
    }
    const QString bold = QString::fromStdString(PlainLine("<b>fett</b>"));
    EXPECT_EQ(bold, QStringLiteral("<b>fett</b>")); // markup is text like any other

    // However long the texts, columns stay within bounds, also when fitted to their contents
    // (a double-click on a column's divider), and the dialog keeps its size.
    const QSize size = dialog.size();
    dialog.Tabelle->resizeColumnsToContents();
    for (int c = 0; c < TAlleRechner::columnCount; ++c)
        EXPECT_LE(dialog.Tabelle->columnWidth(c), 360) << c;
    EXPECT_EQ(dialog.size(), size);

    // The server's reason is cut to the line, and the dialog's texts are all plain.
    EXPECT_TRUE(dialog.LabelStand->text().startsWith(QStringLiteral("Veraltet, Stand 12:03: x")));
    EXPECT_TRUE(dialog.LabelStand->text().endsWith(QStringLiteral("…")));
    EXPECT_FALSE(dialog.LabelStand->text().contains(QChar(0x202E)));
    EXPECT_LE(dialog.LabelStand->sizeHint().width(), dialog.LabelStand->width());
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    dialog.hide();
}

TEST_F(AllMachines, ChoosingARowNamesItsMachineAndCloses)
{
    dialog.ShowFleet(fleet({machine("alpha", true, {volume("/", 100, 10)}),
                            machine("beta", true, {volume("/", 100, 50)}),
                            machine("gamma", false, {}, today(12, 3))}));
    ASSERT_EQ(dialog.Tabelle->item(1, 0)->text(), QStringLiteral("beta"));
    const struct
    {
        const char *name;
        std::function<void()> choose;
        QStringList chosen;
    } rows[] = {
        {"double-click",
         [&] {
             // What the window system delivers: a click, then the second press as a double-click.
             QTest::mouseClick(dialog.Tabelle->viewport(), Qt::LeftButton, {}, centreOf(1));
             QTest::mouseDClick(dialog.Tabelle->viewport(), Qt::LeftButton, {}, centreOf(1));
         },
         {"beta:9100"}},
        {"Enter on the current row",
         [&] {
             QTest::keyClick(dialog.Tabelle, Qt::Key_Home);
             QTest::keyClick(dialog.Tabelle, Qt::Key_Down);
             QTest::keyClick(dialog.Tabelle, Qt::Key_Return);
         },
         {"beta:9100"}},
        {"Anzeigen",
         [&] {
             QTest::mouseClick(dialog.Tabelle->viewport(), Qt::LeftButton, {}, centreOf(2));
             QTest::mouseClick(dialog.Anzeigen, Qt::LeftButton);
         },
         {"gamma:9100"}},
        {"OK chooses nothing", [&] { QTest::mouseClick(dialog.OKButton, Qt::LeftButton); }, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        dialog.Tabelle->selectionModel()->clear();
        bool anzeigenAtFirst = true;
        bool visibleAfter = true;
        const auto [result, chosen] = run([&] {
            anzeigenAtFirst = dialog.Anzeigen->isEnabled();
            row.choose();
            QTest::qWait(0);
            visibleAfter = dialog.isVisible();
        });
        EXPECT_FALSE(anzeigenAtFirst) << "nothing chosen yet";
        EXPECT_FALSE(visibleAfter);
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(chosen, row.chosen);
    }
}

TEST_F(AllMachines, AnUpdateKeepsTheChosenVolumeAndTheScrollPosition)
{
    std::vector<Machine> machines;
    for (int i = 0; i < 40; ++i)
        machines.push_back(machine(QStringLiteral("m%1").arg(i, 2, 10, QChar('0')).toStdString(),
                                   true, {volume("/", 100, 10 + i)}));
    dialog.ShowFleet(fleet(machines));
    ASSERT_TRUE(ShowActive(&dialog));
    QScrollBar *scroll = dialog.Tabelle->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 10) << "more rows than the table shows";
    scroll->setValue(10);
    const int row = dialog.Tabelle->rowAt(dialog.Tabelle->viewport()->height() / 2);
    ASSERT_GE(row, 10);
    QTest::mouseClick(dialog.Tabelle->viewport(), Qt::LeftButton, {}, centreOf(row));
    const QString name = dialog.Tabelle->item(row, 0)->text();
    ASSERT_EQ(dialog.Tabelle->currentRow(), row);

    // The chosen machine's volume fills up and moves to the top.
    machines[static_cast<size_t>(row)].filesystems[0].availBytes = 1 * gib;
    dialog.ShowFleet(fleet(machines));
    EXPECT_EQ(dialog.Tabelle->item(0, 0)->text(), name);
    EXPECT_EQ(dialog.Tabelle->currentRow(), 0);
    EXPECT_EQ(dialog.Tabelle->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(scroll->value(), 10);
    EXPECT_TRUE(dialog.Anzeigen->isEnabled());

    // Gone from the fleet, it is chosen no more.
    machines.erase(machines.begin() + row);
    dialog.ShowFleet(fleet(machines));
    EXPECT_EQ(dialog.Tabelle->rowCount(), 39);
    EXPECT_EQ(dialog.Tabelle->currentRow(), -1);
    EXPECT_TRUE(dialog.Tabelle->selectionModel()->selectedRows().isEmpty());
    EXPECT_FALSE(dialog.Anzeigen->isEnabled());
    dialog.hide();
}
