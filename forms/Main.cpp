#include "Main.h"

#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Rechner.h"
#include "Verbinden.h"
#include "application.h"
#include "buttons.h"
#include "chart.h"
#include "drive_report.h"
#include "fonts.h"
#include "main_menu.h"
#include "mdi_frame.h"
#include "status_bar.h"
#include "tiling.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <memory>

TMainForm *MainForm = nullptr;
RunSettings Settings;

namespace {

// A tool bar with a border line along its top and its bottom edge.
class ToolBarFrame : public QFrame
{
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QPalette colours = palette();
        painter.setPen(colours.color(QPalette::Dark));
        painter.drawLine(0, 0, width(), 0);
        painter.drawLine(0, height() - 2, width(), height() - 2);
        painter.setPen(colours.color(QPalette::Light));
        painter.drawLine(0, 1, width(), 1);
        painter.drawLine(0, height() - 1, width(), height() - 1);
    }
};

QString mainTitle()
{
    return QStringLiteral("Volumo von den Volumo-Entwicklern - Version 2.5.1");
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), registration(this, [this]() -> QWidget * {
          // Asked for as soon as the form is on the screen, which is before its frame exists.
          return frame && MDIChildCount() > 0 ? MDIChildren(0) : nullptr;
      })
{
    setFont(DeclaredFont(QStringLiteral("Segoe UI"), 13));
    menuBar()->setNativeMenuBar(false);

    client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createToolBar();
    layout->addWidget(ToolBar1);
    area = new QMdiArea(client);
    area->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(area, 1);
    StatusBar1 = new TStatusBar(client);
    StatusBar1->AddPanel(200);
    StatusBar1->AddPanel(50);
    layout->addWidget(StatusBar1);
    setCentralWidget(client);

    createMenu();
    connect(menuBar(), &QMenuBar::hovered, Application, &TApplication::ShowMenuHint);
    frame = new MdiFrame(area, menuBar(), MainMenu1, this);
    connect(frame, &MdiFrame::ChildrenChanged, this,
            EventHandler([this] { UpdateMenuItems(this); }));

    resize(984, 741 + menuBar()->sizeHint().height());

    connect(&registration, &FormRegistration::Activated, this,
            EventHandler([this] { AktualisierenClick(this); }));
    for (QWidget *passive :
         {static_cast<QWidget *>(this), client, static_cast<QWidget *>(area), area->viewport(),
          static_cast<QWidget *>(ToolBar1), static_cast<QWidget *>(StatusBar1)})
        Screen->RegisterPassive(passive);

    FormCreate(this);
    // Published once whole: a form that failed half-way leaves no reference behind.
    MainForm = this;
}

TMainForm::~TMainForm()
{
    FormDestroy(this);
    // The children go down with the frame after this; nothing may call back into the form.
    frame->disconnect(this);
    Application->disconnect(this);
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::createMenu()
{
    MainMenu1 = new MainMenu(this);
    static_cast<MenuEntries &>(*this) = FillMenu(MainMenu1, MenuOwner::MainWindow);
    RouteCommands(this, {
                            {Ende1, &TMainForm::Ende1Click},
                            {Aktualisieren, &TMainForm::AktualisierenClick},
                            {Anordnung1, &TMainForm::Anordnung1Click},
                            {WarnungenAnzeigen, &TMainForm::WarnungenAnzeigenClick},
                            {RechnerVerbinden, &TMainForm::RechnerVerbindenClick},
                            {DieserRechner, &TMainForm::DieserRechnerClick},
                            {AlleRechner, &TMainForm::AlleRechnerClick},
                            {WindowCascadeItem, &TMainForm::WindowCascadeItemClick},
                            {WindowTileItem, &TMainForm::WindowTileItemClick},
                            {WindowArrangeItem, &TMainForm::WindowArrangeItemClick},
                            {WindowMinimizeItem, &TMainForm::WindowMinimizeItemClick},
                            {HelpAboutItem, &TMainForm::HelpAboutItemClick},
                        });
}

void TMainForm::createToolBar()
{
    ToolBar1 = new ToolBarFrame(client);
    ToolBar1->setFixedHeight(69);
    ToolBar1->setFont(DeclaredFont(QStringLiteral("Segoe UI"), 12));

    btnRefresh = new TBitBtn(ToolBar1);
    btnRefresh->setGeometry(0, 2, 90, 65);
    btnRefresh->setText(QStringLiteral("Aktualisieren"));
    btnRefresh->setIcon(QIcon(QStringLiteral(":/glyphs/refresh.png")));
    btnRefresh->setIconSize(QSize(13, 15));
    btnRefresh->SetGlyphTop(true);
    btnRefresh->setStatusTip(QStringLiteral("Aktualisieren"));
    // Tab never lands here: only a click gives the button the focus.
    btnRefresh->setFocusPolicy(Qt::ClickFocus);
    connect(btnRefresh, &QPushButton::clicked, this,
            EventHandler([this] { AktualisierenClick(btnRefresh); }));

    btnAllDirves = new TSpeedButton(ToolBar1);
    btnAllDirves->setGeometry(90, 2, 107, 65);
    btnAllDirves->setText(QStringLiteral("Gesamtübersicht"));
    btnAllDirves->setIcon(QIcon(QStringLiteral(":/glyphs/info.png")));
    btnAllDirves->setIconSize(QSize(15, 15));
    btnAllDirves->setStatusTip(QStringLiteral("Gesamtübersicht"));
    connect(btnAllDirves, &QToolButton::clicked, this,
            EventHandler([this] { btnAllDirvesClick(btnAllDirves); }));

    SpeedButton2 = new TSpeedButton(ToolBar1);
    SpeedButton2->setGeometry(197, 2, 92, 65);
    SpeedButton2->setText(QStringLiteral("Einstellungen"));
    QIcon tools(QStringLiteral(":/glyphs/tools.png"));
    tools.addFile(QStringLiteral(":/glyphs/tools-disabled.png"), QSize(), QIcon::Disabled);
    SpeedButton2->setIcon(tools);
    SpeedButton2->setIconSize(QSize(16, 16));
    SpeedButton2->setStatusTip(QStringLiteral("Programmeinstellungen"));
    SetShowHint(SpeedButton2, true);
    connect(SpeedButton2, &QToolButton::clicked, this,
            EventHandler([this] { Anordnung1Click(SpeedButton2); }));
}

void TMainForm::FormCreate(QObject *)
{
    connect(Application, &TApplication::HintChanged, this,
            EventHandler([this] { DisplayHint(Application); }));
    connect(Screen, &FormScreen::ActiveFormChanged, this,
            EventHandler([this] { UpdateMenuItems(Screen); }));
    setWindowTitle(mainTitle());
}

void TMainForm::FormDestroy(QObject *)
{
    Screen->disconnect(this);
}

void TMainForm::ShowStatusMessage(const QString &text)
{
    StatusBar1->SetSimpleText(text);
}

void TMainForm::DisplayHint(QObject *)
{
    StatusBar1->SetPanelText(0, Application->Hint());
}

void TMainForm::UpdateMenuItems(QObject *)
{
    for (QAction *item : {WindowCascadeItem, WindowTileItem, WindowArrangeItem, WindowMinimizeItem})
        item->setEnabled(MDIChildCount() > 0);
}

int TMainForm::MDIChildCount() const
{
    return frame->MDIChildCount();
}

TMDIChild *TMainForm::MDIChildren(int index) const
{
    return static_cast<TMDIChild *>(frame->MDIChildren(index));
}

void TMainForm::Ende1Click(QObject *)
{
    close();
}

void TMainForm::HelpAboutItemClick(QObject *)
{
    Screen->ShowModal(FormInfo);
}

void TMainForm::btnAllDirvesClick(QObject *)
{
    Screen->ShowModal(GESAMT);
}

void TMainForm::AktualisierenClick(QObject *Sender)
{
    anordnung->ReadLayout(Settings);
    ScanDrives(Sender);
}

void TMainForm::Anordnung1Click(QObject *Sender)
{
    Screen->ShowModal(anordnung);
    ScanDrives(Sender);
    WindowTileItemClick(Sender);
}

void TMainForm::WarnungenAnzeigenClick(QObject *)
{
    Settings.ShowWarnings = WarnungenAnzeigen->isChecked();
}

void TMainForm::RechnerVerbindenClick(QObject *)
{
    if (!Verbinden)
        return;
    Screen->ShowModal(Verbinden);
    if (const std::optional<PrometheusConnection> connection = Verbinden->Accepted())
        emit ConnectionChosen(*connection);
}

void TMainForm::DieserRechnerClick(QObject *)
{
    emit MachineChosen(QString());
}

void TMainForm::AlleRechnerClick(QObject *)
{
    if (AlleRechnerDialog)
        Screen->ShowModal(AlleRechnerDialog);
}

void TMainForm::ShowMachines(const std::vector<MachineEntry> &offered, const QString &shown)
{
    // The menu is made anew only when what it offers changed: it may be open.
    if (offered != machines) {
        machines = offered;
        for (QAction *entry : machineActions)
            delete entry;
        machineActions.clear();
        for (const MachineEntry &machine : machines) {
            QAction *entry = new QAction(machine.text, Rechner1);
            entry->setCheckable(true);
            entry->setStatusTip(QStringLiteral("Die Laufwerke dieses Rechners zeigen"));
            entry->setData(machine.instance);
            Rechner1->insertAction(AlleRechner, entry);
            connect(
                entry, &QAction::triggered, this,
                EventHandler([this, instance = machine.instance] { emit MachineChosen(instance); }),
                Qt::QueuedConnection);
            machineActions.push_back(entry);
        }
        if (!machineActions.empty())
            machineActions.push_back(Rechner1->insertSeparator(AlleRechner));
    }
    DieserRechner->setChecked(shown.isEmpty());
    for (QAction *entry : machineActions) {
        if (entry->isCheckable())
            entry->setChecked(!shown.isEmpty() && entry->data().toString() == shown);
    }
}

void TMainForm::ShowMachine(const QString &name, const QString &condition)
{
    setWindowTitle(name.isEmpty() ? mainTitle() : mainTitle() + QStringLiteral(" \u2013 ") + name);
    StatusBar1->SetPanelText(1, condition);
}

void TMainForm::ScanDrives(QObject *Sender)
{
    ShowStatusMessage(QStringLiteral("Scanne Laufwerke, ..."));
    for (int i = MDIChildCount() - 1; i >= 0; --i)
        frame->Close(MDIChildren(i));

    // From Z: down to C:: each new window goes to the front of the list, so they end up in
    // ascending letter order.
    const std::vector<DriveReport> reports =
        volumes ? ReportDrives(*volumes, 26, 3) : std::vector<DriveReport>();
    shownDrives = WindowsOf(reports);
    const MdiFrame::Opening opening(*frame);
    for (const DriveReport &drive : reports) {
        DriveNumber = drive.number;
        TotalGB = drive.stats.TotalGB;
        FreeGB = drive.stats.FreeGB;
        UsedGB = drive.stats.UsedGB;
        if (!drive.window)
            continue;
        // Each drive's window on its own: a failure ends that drive's, and the scan goes on.
        // The window is filled before it opens: texts set on hidden labels schedule no
        // painting and no layout of their own.
        try {
            auto made = std::make_unique<TMDIChild>();
            TMDIChild *child = made.get();
            CurrentChild = child;
            child->ShowDrive(drive, volumes->machine());
            child->DBChart1->SetView3D(Settings.Chart3D);
            if (const std::optional<SeriesKind> kind = SeriesKindOf(Settings.ChartKind))
                ChangeSeriesKind(child->Series1, *kind);
            frame->AddChild(made.release(), child->MainMenu1, TMDIChild::DesignClientSize,
                            [child] { return child->FormClose(child); });
            ShowStatusMessage(child->windowTitle());
        } catch (...) {
        }
    }
    WindowTileItemClick(Sender);
}

void TMainForm::WindowTileItemClick(QObject *)
{
    const std::optional<Grid> grid =
        TileGrid(client->width(), client->height(), StatusBar1->height() + ToolBar1->height(),
                 Settings.TileRows, Settings.TileCols);
    if (!grid)
        return;
    const MdiFrame::Opening placing(*frame);
    for (int i = 0; i < MDIChildCount(); ++i) {
        const Cell cell = grid->CellAt(i);
        frame->SetBounds(MDIChildren(i), QRect(cell.left, cell.top, cell.width, cell.height));
    }
    ShowStatusMessage(QStringLiteral("BEREIT"));
}

void TMainForm::FormResize(QObject *Sender)
{
    WindowTileItemClick(Sender);
}

void TMainForm::WindowCascadeItemClick(QObject *)
{
    frame->Cascade();
}

void TMainForm::WindowArrangeItemClick(QObject *)
{
    frame->ArrangeIcons();
}

void TMainForm::WindowMinimizeItemClick(QObject *)
{
    // Minimizing a window activates another, which reorders the list: take it as it stands,
    // back to front, so the focused window comes last.
    std::vector<TMDIChild *> windows;
    for (int i = MDIChildCount() - 1; i >= 0; --i)
        windows.push_back(MDIChildren(i));
    for (TMDIChild *window : windows)
        frame->Minimize(window);
}

void TMainForm::showEvent(QShowEvent *event)
{
    if (!centred) {
        centred = true;
        if (const QScreen *display = screen()) {
            QRect bounds = frameGeometry();
            bounds.moveCenter(display->availableGeometry().center());
            move(bounds.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize(this);
}

void TMainForm::changeEvent(QEvent *event)
{
    // Minimizing and restoring count as changes of size too.
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        FormResize(this);
}
