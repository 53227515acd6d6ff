#pragma once

#include "drive_report.h"
#include "form_screen.h"
#include "mdi_frame.h"

#include <QWidget>

class QFrame;
class QLabel;
class TChartSeries;
class TDBChart;
class MainMenu;

// A drive window: a chart of occupied against free space above a panel of figures. Its menu
// hands every command to the main window.
class TMDIChild : public QWidget
{
    Q_OBJECT

public:
    explicit TMDIChild(QWidget *parent = nullptr);

    static constexpr QSize DesignClientSize{301, 313};

    // Shows one drive: caption and chart title from its root text ("C:\") and the machine it is
    // on where that is not this one, the occupied and the free point, the mount it stands for as
    // the chart's hint, and the six figures.
    void ShowDrive(const DriveReport &drive, const std::string &machine = {});
    // The drive's figures as they are now, in place: only a text or a slice that changed is
    // drawn again.
    void ShowFigures(const DriveStats &stats);
    // How it fills up: a mark in the caption, and when it will be full in the hint and the
    // chart's tooltip (empty where that is not known).
    void ShowFilling(FillMark mark, const std::string &timeToFull);

    // The drive it shows and the mount that is.
    DriveNo Drive() const { return number; }
    const std::string &Key() const { return key; }
    const std::string &Description() const { return description; }

    CloseAction FormClose(QObject *Sender);
    void FormResize(QObject *Sender);

    void Ende1Click(QObject *Sender);
    void AktionNeuClick(QObject *Sender);
    void AktionGesamtClick(QObject *Sender);
    void Anordnung1Click(QObject *Sender);
    void WindowCascadeItemClick(QObject *Sender);
    void WindowTileItemClick(QObject *Sender);
    void WindowArrangeItemClick(QObject *Sender);
    void WindowMinimizeItemClick(QObject *Sender);
    void HelpAboutItemClick(QObject *Sender);

    TDBChart *DBChart1 = nullptr;
    TChartSeries *Series1 = nullptr;
    QWidget *Panel1 = nullptr;
    QFrame *Shape1 = nullptr;
    QFrame *Shape2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *LabelMBFrei = nullptr;
    QLabel *LabelProzentFrei = nullptr;
    QLabel *LabelMBBelegt = nullptr;
    QLabel *LabelProzentBelegt = nullptr;
    QLabel *LabelMBGesamt = nullptr;
    QLabel *LabelProzentGesamt = nullptr;
    QFrame *Bevel1 = nullptr;
    MainMenu *MainMenu1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createMenu();

    FormRegistration registration{this};
    DriveNo number = 0;
    std::string key;
    std::string description;
    std::string machine;
};
