#pragma once

#include "dialog_form.h"
#include "form_screen.h"

#include <memory>

class QLabel;
class QTableWidget;
class TBitBtn;
struct FleetSnapshot;

// The overview of all machines a Prometheus server knows: every volume of every machine in one
// table, the fullest first, with its time to full and its state. It follows the snapshots it is
// given while it is shown; choosing a row (double-click, Enter or "Anzeigen") names that row's
// machine and closes the dialog.
class TAlleRechner : public DialogForm
{
    Q_OBJECT

public:
    explicit TAlleRechner(QWidget *parent = nullptr);
    ~TAlleRechner() override;

    void OKButtonClick(QObject *Sender);
    void AnzeigenClick(QObject *Sender);

    // Shows the snapshot in place: the chosen volume stays chosen wherever it now stands, and
    // the table keeps its scroll position. Nothing shows an empty table.
    void ShowFleet(std::shared_ptr<const FleetSnapshot> snapshot);

    // The columns of Tabelle.
    enum Column {
        colRechner,
        colLaufwerk,
        colMount,
        colGroesse,
        colFrei,
        colBelegt,
        colProzent,
        colVollIn,
        colZustand,
        columnCount
    };

    // How old the figures are, and why when the server no longer answers.
    QLabel *LabelStand = nullptr;
    QTableWidget *Tabelle = nullptr;
    TBitBtn *Anzeigen = nullptr;
    TBitBtn *OKButton = nullptr;

signals:
    // The row's machine, by Prometheus' instance, was chosen to be shown.
    void MachineChosen(const QString &instance);

private:
    int selectedRow() const;
    void choose(int row);
    void showStand();

    std::shared_ptr<const FleetSnapshot> snapshot;

    FormRegistration registration{this};
};

// The overview of all machines while it exists: set by its constructor, cleared by its
// destructor.
extern TAlleRechner *AlleRechner;
