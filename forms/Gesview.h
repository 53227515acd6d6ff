#pragma once

#include "dialog_form.h"
#include "form_screen.h"

class QFrame;
class QLabel;
class TBitBtn;
class TChartSeries;
class TDBChart;
class TPanel;
class VolumeSource;
struct OverviewFigures;

// The total overview: every usable drive from C: to Z: summed into one pie and one table of
// figures, probed afresh each time the dialog is shown.
class TGESAMT : public DialogForm
{
    Q_OBJECT

public:
    explicit TGESAMT(QWidget *parent = nullptr);
    ~TGESAMT() override;

    void OKButtonClick(QObject *Sender);
    void FormActivate(QObject *Sender);

    // Shows the sums in place: only what changed is drawn again.
    void ShowOverview(const OverviewFigures &figures);

    // The volumes it sums; none, and it sums nothing.
    void SetVolumes(VolumeSource *source) { volumes = source; }

    TBitBtn *OKButton = nullptr;
    TPanel *Panel1 = nullptr;
    QFrame *Bevel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *LabelDriveList = nullptr;
    QFrame *Bevel2 = nullptr;
    QLabel *Gesa = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    TDBChart *DBChart1 = nullptr;
    TChartSeries *Series1 = nullptr;
    QFrame *Shape2 = nullptr;
    QFrame *Shape1 = nullptr;

protected:
    void prepareShowing() override;

private:
    FormRegistration registration{this};
    VolumeSource *volumes = nullptr;
};

// The total overview while it exists: set by its constructor, cleared by its destructor.
extern TGESAMT *GESAMT;
