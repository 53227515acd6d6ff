#include "About.h"

#include "Main.h"
#include "application.h"
#include "buttons.h"
#include "fonts.h"
#include "link_clicks.h"
#include "link_opener.h"
#include "panel.h"
#include "ticker.h"
#include "timer.h"

#include <QEvent>
#include <QLabel>
#include <QMessageBox>

#include <stdexcept>

TFormInfo *FormInfo = nullptr;
int32_t TickerPos = 0;

const QString TickerText =
    QStringLiteral("                "
                   "Volumo 2008-2026 VT - Gruesse an Anna, Ben, Clara, Dirk, Emil, Frida und "
                   "alle Tester - geschrieben mit C++ und Qt; dass der Ticker ruckelt, liegt "
                   "natuerlich am Betriebssystem!"
                   "       "
                   "+++ Diese Version ist FREEWARE +++"
                   "   ");

namespace {

const QString mailPrefix = QStringLiteral("MAILTO:");

// Sized to its text when the dialog is first shown.
QLabel *label(QWidget *parent, const QString &text, QPoint at, const QFont &font,
              const QColor &colour = Qt::black)
{
    QLabel *result = ColouredLabel(parent, text, colour, font);
    result->move(at);
    return result;
}

QLabel *link(QWidget *parent, const QString &text, QPoint at)
{
    QFont font = DeclaredFont(QStringLiteral("MS Sans Serif"), 11);
    font.setUnderline(true);
    QLabel *result = label(parent, text, at, font, Qt::blue);
    result->setCursor(Qt::PointingHandCursor);
    return result;
}

} // namespace

TFormInfo::TFormInfo(QWidget *parent)
    : DialogForm(QStringLiteral("Info"), QSize(390, 286), true, parent)
{
    setWindowIcon(QIcon(QStringLiteral(":/icons/about.png")));
    const QFont panelFont = DeclaredFont(QStringLiteral("MS Sans Serif"), 11);
    const QFont title = DeclaredFont(QStringLiteral("Arial"), 24, true);

    Panel1 = new TPanel(this, TPanel::LoweredOuterRaisedInner);
    Panel1->setGeometry(4, 4, 381, 241);
    Panel1->setFont(panelFont);

    // In drawing order: later ones lie over earlier ones.
    Label5 = label(Panel1, QStringLiteral("Volumo"), {130, 70}, title, Qt::white);
    Label5->setAutoFillBackground(true);
    QPalette silver = Label5->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    Label5->setPalette(silver);
    Copyright = label(Panel1, QStringLiteral("Copyright © 2008-2026 das Volumo-Team"), {128, 164},
                      panelFont);
    LabelVersion = label(Panel1, QStringLiteral("LabelVersion"), {128, 129}, panelFont);
    Comments = label(Panel1, QStringLiteral("Laufwerks-Statistik"), {128, 111}, panelFont);
    ProductName = label(Panel1, QStringLiteral("Volumo"), {128, 68}, title, Qt::blue);
    Image1 = new QLabel(Panel1);
    Image1->setGeometry(11, 13, 111, 95);
    Image1->setScaledContents(true);
    Label1 = label(Panel1, QStringLiteral("FREEWARE"), {128, 146}, panelFont);
    Label2 = link(Panel1, QStringLiteral("info@volumo.example"), {174, 192});
    Label3 = link(Panel1, QStringLiteral("https://volumo.example/"), {174, 212});
    Label6 = label(Panel1, QStringLiteral("e-Mail:"), {128, 192}, panelFont);
    Label7 = label(Panel1, QStringLiteral("Internet:"), {128, 212}, panelFont);
    Image2 = new QLabel(Panel1);
    Image2->setGeometry(128, 12, 246, 34);
    Label4 = new QLabel(QStringLiteral("Label4"), Panel1);
    Label4->setGeometry(128, 47, 245, 13);
    Label4->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 12));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setAutoFillBackground(true);
    QPalette ticker = Label4->palette();
    ticker.setColor(QPalette::Window, QColor(0, 0, 128));       // navy
    ticker.setColor(QPalette::WindowText, QColor(0, 255, 255)); // aqua
    Label4->setPalette(ticker);

    new LinkClicks(Label2, EventHandler([this] { Label2Click(Label2); }));
    new LinkClicks(Label3, EventHandler([this] { Label3Click(Label3); }));

    OKButton = new TBitBtn(this);
    OKButton->SetKind(TBitBtn::bkOK);
    OKButton->setGeometry(307, 254, 77, 26);
    OKButton->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 12));
    OKButton->setStatusTip(QStringLiteral("Schließen"));
    OKButton->setToolTip(QStringLiteral("Schließen"));
    SetShowHint(OKButton, true);
    connect(OKButton, &QPushButton::clicked, this,
            EventHandler([this] { OKButtonClick(OKButton); }));

    Timer1 = new TTimer(100, this);
    connect(Timer1, &QTimer::timeout, this, EventHandler([this] { Timer1Timer(Timer1); }));
    connect(this, &QDialog::finished, this, EventHandler([this] { FormClose(this); }));

    connect(&registration, &FormRegistration::Activated, this,
            EventHandler([this] { FormActivate(this); }));
    FormCreate(this);
    // Published once whole: a form that failed half-way leaves no reference behind.
    FormInfo = this;
}

TFormInfo::~TFormInfo()
{
    if (FormInfo == this)
        FormInfo = nullptr;
}

void TFormInfo::FormCreate(QObject *)
{
    LabelVersion->setText(QStringLiteral("2.5.1"));
}

void TFormInfo::prepareShowing()
{
    for (QLabel *text : {Label5, Copyright, LabelVersion, Comments, ProductName, Label1, Label2,
                         Label3, Label6, Label7})
        text->adjustSize();
    // One line wide; a longer text would wrap within it.
    Comments->setWordWrap(true);
    // The ticker's line is 13 px high: its face shrinks until the whole line fits, descenders
    // too.
    Label4->setFont(FittedFont(Label4->font(), Label4->height()));
    Image1->setPixmap(QPixmap(QStringLiteral(":/icons/illustration.png")));
    Image2->setPixmap(QPixmap(QStringLiteral(":/icons/logo.png")));
}

void TFormInfo::FormActivate(QObject *)
{
    Timer1->SetEnabled(true);
}

void TFormInfo::FormClose(QObject *)
{
    Timer1->SetEnabled(false);
}

void TFormInfo::OKButtonClick(QObject *)
{
    done(QDialog::Accepted);
}

void TFormInfo::Timer1Timer(QObject *)
{
    const TickerWindow window =
        NextTickerWindow(TickerPos, static_cast<int32_t>(TickerText.size()));
    Label4->setText(TickerText.mid(window.first, window.count));
    TickerPos = window.next;
}

void TFormInfo::SetOpener(LinkOpener *linkOpener)
{
    if (opener)
        opener->disconnect(this);
    opener = linkOpener;
    if (opener)
        connect(opener, &LinkOpener::Failed, this,
                [this](const QString &link) { RunHandler([&] { linkFailed(link); }); });
}

void TFormInfo::openLink(const QString &link)
{
    try {
        if (!opener)
            throw std::runtime_error("no link opener");
        opener->Open(link);
    } catch (...) {
        linkFailed(link);
    }
}

void TFormInfo::linkFailed(const QString &link)
{
    const QString message = link.startsWith(mailPrefix)
                                ? QStringLiteral("Fehler beim Starten der E-Mail-Anwendung.")
                                : QStringLiteral("Fehler beim Starten des Internet-Browsers.");
    // An opener can fail long after the click: over the dialog while it is open, else over the
    // main window.
    QWidget *owner = isVisible() ? static_cast<QWidget *>(this) : MainForm;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), message, QMessageBox::Ok,
                    owner);
    box.exec();
}

void TFormInfo::Label2Click(QObject *)
{
    openLink(mailPrefix + Label2->text());
}

void TFormInfo::Label3Click(QObject *)
{
    openLink(Label3->text());
}
