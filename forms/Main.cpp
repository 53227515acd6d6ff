#include "Main.h"

#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "application.h"
#include "buttons.h"
#include "chart.h"
#include "event_handler.h"
#include "fonts.h"
#include "main_menu.h"
#include "mdi_frame.h"
#include "number_format.h"
#include "screen.h"
#include "spin_edit.h"
#include "status_bar.h"
#include "uGlobal.h"
#include "volume_source.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

TMainForm *MainForm = nullptr;
TSettings Settings;

namespace {

const QColor clBlue(0, 0, 255);
const QColor clFuchsia(255, 0, 255);

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

QString percentText(int64_t part, int64_t total)
{
    return QString::fromStdString(FormatPercent(PercentOf(part, total))) + QStringLiteral("%");
}

QString gigabyteText(int64_t value)
{
    return QString::fromStdString(FormatGB(value)) + QStringLiteral(" GB =");
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setFont(DeclaredFont(QStringLiteral("Segoe UI"), 13));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/volumo.png")));
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
    connect(menuBar(), &QMenuBar::hovered, this,
            [](QAction *action) { Application->ShowMenuHint(action); });
    frame = new MdiFrame(area, menuBar(), MainMenu1, this);
    connect(frame, &MdiFrame::ChildrenChanged, this,
            EventHandler([this] { UpdateMenuItems(this); }));

    resize(984, 741 + menuBar()->sizeHint().height());

    // The frame hands the focus to its active child; its own activation runs the refresh.
    Screen->RegisterForm(
        this, [this] { AktualisierenClick(this); },
        [this]() -> QWidget * { return MDIChildCount() > 0 ? MDIChildren(0) : nullptr; });
    for (QWidget *passive :
         {static_cast<QWidget *>(this), client, static_cast<QWidget *>(area), area->viewport(),
          static_cast<QWidget *>(ToolBar1), static_cast<QWidget *>(StatusBar1)})
        Screen->RegisterPassive(passive);

    FormCreate(this);
}

TMainForm::~TMainForm()
{
    FormDestroy(this);
    // The children go down with the frame; nothing may call back into it meanwhile.
    Screen->UnregisterForm(this);
    frame->disconnect(this);
    Application->OnHint = nullptr;
}

void TMainForm::createMenu()
{
    MainMenu1 = new TMainMenu(this);
    Datei1 = MainMenu1->AddMenu(QStringLiteral("&Datei"), QStringLiteral("Dateioperationen"));
    Ende1 =
        MainMenu1->AddItem(Datei1, QStringLiteral("&Beenden"), QStringLiteral("Programm beenden"));
    Edit1 = MainMenu1->AddMenu(QStringLiteral("&Ansicht"),
                               QStringLiteral("Ansicht aktualisieren, ..."));
    Aktualisieren = MainMenu1->AddItem(Edit1, QStringLiteral("&Aktualisieren"),
                                       QStringLiteral("Sämtliche Laufwerke neu scannen"));
    AktionGesamt = MainMenu1->AddItem(Edit1, QStringLiteral("&Gesamtübersicht"),
                                      QStringLiteral("Gesamtübersicht anzeigen"));
    AktionGesamt->setEnabled(false);
    Einstellungen1 = MainMenu1->AddMenu(QStringLiteral("&Optionen"), QStringLiteral("Optionen"));
    Anordnung1 = MainMenu1->AddItem(Einstellungen1, QStringLiteral("&Programmeinstellungen"),
                                    QStringLiteral("Programmeinstellungen"));
    Window1 = MainMenu1->AddMenu(QStringLiteral("&Fenster"),
                                 QStringLiteral("Befehle zum Anordnen von Fenstern"));
    WindowCascadeItem = MainMenu1->AddItem(Window1, QStringLiteral("Ü&berlappend"),
                                           QStringLiteral("Fenster überlappend anordnen"));
    WindowTileItem = MainMenu1->AddItem(Window1, QStringLiteral("&Nebeneinander"),
                                        QStringLiteral("Fenster nicht überlappend anordnen"));
    WindowArrangeItem = MainMenu1->AddItem(
        Window1, QStringLiteral("&Symbole anordnen"),
        QStringLiteral("Fenstersymbole am unteren Rand des Hauptfensters anordnen"));
    WindowMinimizeItem = MainMenu1->AddItem(Window1, QStringLiteral("&Alle verkleinern"),
                                            QStringLiteral("Alle Fenster verkleinern"));
    Help1 = MainMenu1->AddMenu(QStringLiteral("&?"), QStringLiteral("Hilfethemen"));
    HelpAboutItem =
        MainMenu1->AddItem(Help1, QStringLiteral("&Info"), QStringLiteral("Info über Volumo"));

    const std::pair<QAction *, void (TMainForm::*)(QObject *)> routes[] = {
        {Ende1, &TMainForm::Ende1Click},
        {Aktualisieren, &TMainForm::AktualisierenClick},
        {Anordnung1, &TMainForm::Anordnung1Click},
        {WindowCascadeItem, &TMainForm::WindowCascadeItemClick},
        {WindowTileItem, &TMainForm::WindowTileItemClick},
        {WindowArrangeItem, &TMainForm::WindowArrangeItemClick},
        {WindowMinimizeItem, &TMainForm::WindowMinimizeItemClick},
        {HelpAboutItem, &TMainForm::HelpAboutItemClick},
    };
    for (const auto &[action, handler] : routes) {
        connect(
            action, &QAction::triggered, this,
            EventHandler([this, action = action, handler = handler] { (this->*handler)(action); }));
    }
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
    Application->OnHint = [this](QObject *Sender) {
        DisplayHint(Sender);
    };
    Screen->OnActiveFormChange = [this](QObject *Sender) {
        UpdateMenuItems(Sender);
    };
    setWindowTitle(QStringLiteral("Volumo von den Volumo-Entwicklern - Version 2.5.1"));
}

void TMainForm::FormDestroy(QObject *)
{
    if (Screen)
        Screen->OnActiveFormChange = nullptr;
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
    Screen->ShowModal(TheFormInfo());
}

void TMainForm::btnAllDirvesClick(QObject *)
{
    Screen->ShowModal(TheGESAMT());
}

void TMainForm::AktualisierenClick(QObject *Sender)
{
    Settings.TileRows = anordnung->SpinEdit1->GridValue();
    Settings.TileCols = anordnung->SpinEdit2->GridValue();
    Settings.Chart3D = anordnung->rb3D->isChecked();
    ScanDrives(Sender);
}

void TMainForm::Anordnung1Click(QObject *Sender)
{
    Screen->ShowModal(anordnung);
    ScanDrives(Sender);
    WindowTileItemClick(Sender);
}

void TMainForm::ScanDrives(QObject *Sender)
{
    ShowStatusMessage(QStringLiteral("Scanne Laufwerke, ..."));
    for (int i = MDIChildCount() - 1; i >= 0; --i)
        frame->Close(MDIChildren(i));

    const MdiFrame::Opening opening(*frame);
    for (DriveNumber = 26; DriveNumber >= 3; --DriveNumber) {
        // Each drive's pass on its own: a failure ends that pass, and the scan goes on.
        try {
            const QString root = QString::fromStdU16String(DriveRoot(DriveNumber));
            if (!DriveExists(DriveLetter(DriveNumber)))
                continue;
            const DriveStats stats = ReadDriveStats(DriveNumber);
            TotalGB = stats.TotalGB;
            FreeGB = stats.FreeGB;
            UsedGB = stats.UsedGB;
            if (!(TotalGB > 0))
                continue; // drives below one whole GiB get no window

            CurrentChild = new TMDIChild;
            frame->AddChild(CurrentChild, CurrentChild->MainMenu1, TMDIChild::DesignClientSize,
                            [child = CurrentChild] { return child->FormClose(child); });
            CurrentChild->setWindowTitle(root);
            CurrentChild->DBChart1->SetCaption(QStringLiteral("Laufwerksbelegung ") + root);
            CurrentChild->Series1->Clear();
            CurrentChild->Series1->Add(static_cast<double>(UsedGB), QStringLiteral("GB belegt"),
                                       clBlue);
            CurrentChild->Series1->Add(static_cast<double>(FreeGB), QStringLiteral("GB frei"),
                                       clFuchsia);
            if (VolumeSource *source = InstalledVolumeSource()) {
                const std::string where = source->describe(DriveRoot(DriveNumber));
                if (!where.empty())
                    CurrentChild->DBChart1->setStatusTip(root + QStringLiteral(" = ") +
                                                         QString::fromStdString(where));
            }
            ShowStatusMessage(CurrentChild->windowTitle());
            CurrentChild->DBChart1->SetView3D(Settings.Chart3D);
            switch (Settings.ChartKind) {
            case 1:
                ChangeSeriesKind(CurrentChild->Series1, SeriesKind::Pie);
                break;
            case 2:
                ChangeSeriesKind(CurrentChild->Series1, SeriesKind::HorizBar);
                break;
            case 3:
                ChangeSeriesKind(CurrentChild->Series1, SeriesKind::Bar);
                break;
            default:
                break;
            }
            CurrentChild->LabelMBFrei->setText(gigabyteText(FreeGB));
            CurrentChild->LabelProzentFrei->setText(percentText(FreeGB, TotalGB));
            CurrentChild->LabelMBBelegt->setText(gigabyteText(UsedGB));
            CurrentChild->LabelProzentBelegt->setText(percentText(UsedGB, TotalGB));
            CurrentChild->LabelMBGesamt->setText(gigabyteText(TotalGB));
            CurrentChild->LabelProzentGesamt->setText(percentText(TotalGB, TotalGB));
        } catch (...) {
        }
    }
    WindowTileItemClick(Sender);
}

void TMainForm::WindowTileItemClick(QObject *)
{
    if (Settings.TileRows == 0 || Settings.TileCols == 0)
        return;
    const QSize clientSize = client->size();
    const int W = (clientSize.width() - 22) / Settings.TileCols;
    const int H =
        (clientSize.height() - StatusBar1->height() - ToolBar1->height() - 6) / Settings.TileRows;
    int x = 0;
    int y = 0;
    for (int i = 0; i < MDIChildCount(); ++i) {
        frame->SetBounds(MDIChildren(i), QRect(x, y, W, H));
        x += W;
        if ((i + 1) % Settings.TileCols == 0) {
            x = 0;
            y += H;
        }
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
