#pragma once

#include "Commands.h"
#include "drive_report.h"
#include "drive_stats.h"
#include "form_screen.h"
#include "prometheus_connection.h"

#include <QMainWindow>
#include <QPointer>

class MdiFrame;
class QMdiArea;
class QFrame;
class TAlleRechner;
class TBitBtn;
class TVerbinden;
class MainMenu;
class TMDIChild;
class TSpeedButton;
class TStatusBar;
class VolumeSource;

// The settings of the run, never saved: grid rows and columns, chart kind (0 as declared, 1 pie,
// 2 horizontal bars, 3 vertical bars) and 3D drawing.
struct RunSettings
{
    int32_t TileRows = 0;
    int32_t TileCols = 0;
    uint8_t ChartKind = 0;
    bool Chart3D = false;
    // Tell the user, and mark the drive window, when a volume is about to be full.
    bool ShowWarnings = true;
};
extern RunSettings Settings;

// The main window: the frame of the drive windows, with the menu bar, the tool bar and the
// status bar. It owns the handlers of every command; its menu's entries are its own members.
class TMainForm : public QMainWindow, public MenuEntries
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    void FormCreate(QObject *Sender);
    void FormDestroy(QObject *Sender);
    void FormResize(QObject *Sender);
    void ShowStatusMessage(const QString &text);
    void DisplayHint(QObject *Sender);
    void UpdateMenuItems(QObject *Sender);

    void Ende1Click(QObject *Sender);
    void HelpAboutItemClick(QObject *Sender);
    void btnAllDirvesClick(QObject *Sender);
    void AktualisierenClick(QObject *Sender);
    void Anordnung1Click(QObject *Sender);
    void WarnungenAnzeigenClick(QObject *Sender);
    void RechnerVerbindenClick(QObject *Sender);
    void DieserRechnerClick(QObject *Sender);
    void AlleRechnerClick(QObject *Sender);

    // Another machine the "Rechner" menu offers: Prometheus' name for it, and its entry's text.
    struct MachineEntry
    {
        QString instance;
        QString text;
        bool operator==(const MachineEntry &) const = default;
    };
    // The machines the menu offers, and the one shown (empty: this one).
    void ShowMachines(const std::vector<MachineEntry> &machines, const QString &shown);
    // The machine the windows show, in the title (empty: this one), and how its figures stand,
    // in the status bar's second panel (empty where there is nothing to say).
    void ShowMachine(const QString &name, const QString &condition);

    // The dialogs of the other machines, once made.
    TVerbinden *Verbinden = nullptr;
    TAlleRechner *AlleRechnerDialog = nullptr;

signals:
    // The user chose a machine (an empty instance: this one), or a server to connect to.
    void MachineChosen(const QString &instance);
    void ConnectionChosen(const PrometheusConnection &connection);

public:
    void WindowCascadeItemClick(QObject *Sender);
    void WindowTileItemClick(QObject *Sender);
    void WindowArrangeItemClick(QObject *Sender);
    void WindowMinimizeItemClick(QObject *Sender);

    // The drive windows, most recently focused first.
    int MDIChildCount() const;
    TMDIChild *MDIChildren(int index) const;
    MdiFrame *Frame() const { return frame; }

    // The drive windows the last scan opened, with the mounts they stand for, whether or not
    // the user has closed some since: what a change of the volumes is measured against.
    const std::vector<WindowedDrive> &ShownDrives() const { return shownDrives; }

    // The volumes the scan shows; none, and it finds no drive.
    void SetVolumes(VolumeSource *source) { volumes = source; }
    VolumeSource *Volumes() const { return volumes; }

    // The client area: tool bar, drive windows' area and status bar, without menu bar and frame.
    QWidget *Client() const { return client; }

    MainMenu *MainMenu1 = nullptr;
    TStatusBar *StatusBar1 = nullptr;
    QFrame *ToolBar1 = nullptr;
    TSpeedButton *SpeedButton2 = nullptr;
    TBitBtn *btnRefresh = nullptr;
    TSpeedButton *btnAllDirves = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void ScanDrives(QObject *Sender);
    void createMenu();
    void createToolBar();

    QWidget *client = nullptr;
    QMdiArea *area = nullptr;
    MdiFrame *frame = nullptr;
    bool centred = false;

    // The scan's working values: the drive being probed and its window.
    int64_t TotalGB = 0;
    int64_t FreeGB = 0;
    int64_t UsedGB = 0;
    uint8_t DriveNumber = 0;
    // Null once the window it names is gone.
    QPointer<TMDIChild> CurrentChild;
    std::vector<WindowedDrive> shownDrives;
    VolumeSource *volumes = nullptr;
    std::vector<MachineEntry> machines;
    std::vector<QAction *> machineActions;

    // Its activation runs the refresh; it hands the focus to its active child.
    FormRegistration registration;
};

// The main window while it exists: set by its constructor, cleared by its destructor.
extern TMainForm *MainForm;
