#include "Verbinden.h"

#include "application.h"
#include "buttons.h"
#include "fonts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSslCertificate>

TVerbinden *Verbinden = nullptr;

namespace {

QLabel *caption(QWidget *parent, const QString &text, QPoint at, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(at);
    label->setBuddy(buddy);
    return label;
}

QLineEdit *field(QWidget *parent, QRect bounds, const QString &hint)
{
    auto *edit = new QLineEdit(parent);
    edit->setGeometry(bounds);
    edit->setStatusTip(hint);
    SetShowHint(edit, true);
    return edit;
}

QPushButton *browseButton(QWidget *parent, QRect bounds, const QString &name)
{
    auto *button = new QPushButton(QStringLiteral("…"), parent);
    button->setGeometry(bounds);
    button->setAutoDefault(false);
    button->setAccessibleName(name);
    button->setStatusTip(name);
    SetShowHint(button, true);
    return button;
}

// A file named in a message: its middle gives way so that the message stays within the dialog.
QString shortPath(const QString &path, const QFontMetrics &metrics)
{
    return metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, 300);
}

bool readable(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
}

} // namespace

TVerbinden::TVerbinden(QWidget *parent)
    : DialogForm(QStringLiteral("Rechner verbinden"), QSize(400, 262), false, parent)
{
    setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));

    EditAdresse = field(this, {96, 10, 288, 21},
                        QStringLiteral("Die Adresse des Prometheus-Servers, mit http:// oder "
                                       "https://"));
    EditAdresse->setPlaceholderText(QStringLiteral("https://prometheus.example:9090"));
    LabelAdresse = caption(this, QStringLiteral("&Adresse:"), {8, 14}, EditAdresse);

    GroupAnmeldung = new QGroupBox(QStringLiteral("Anmeldung (wahlweise)"), this);
    GroupAnmeldung->setGeometry(8, 40, 384, 108);
    EditBenutzer = field(GroupAnmeldung, {88, 22, 150, 21},
                         QStringLiteral("Der Benutzer, falls der Server eine Anmeldung verlangt"));
    LabelBenutzer = caption(GroupAnmeldung, QStringLiteral("&Benutzer:"), {10, 26}, EditBenutzer);
    EditKennwort = field(GroupAnmeldung, {88, 49, 150, 21},
                         QStringLiteral("Das Kennwort des Benutzers; es wird nicht gespeichert"));
    EditKennwort->setEchoMode(QLineEdit::Password);
    LabelKennwort = caption(GroupAnmeldung, QStringLiteral("&Kennwort:"), {10, 53}, EditKennwort);
    EditToken = field(GroupAnmeldung, {88, 76, 260, 21},
                      QStringLiteral("Eine Datei, die ein Bearer-Token enthält, statt Benutzer "
                                     "und Kennwort"));
    LabelToken = caption(GroupAnmeldung, QStringLiteral("&Token-Datei:"), {10, 80}, EditToken);
    ButtonToken =
        browseButton(GroupAnmeldung, {353, 75, 23, 23}, QStringLiteral("Token-Datei auswählen"));
    auto *either =
        new QLabel(QStringLiteral("Benutzer und Kennwort\noder eine Token-Datei"), GroupAnmeldung);
    either->setTextFormat(Qt::PlainText);
    either->setGeometry(248, 24, 128, 44);
    either->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    either->setEnabled(false);

    EditCA = field(this, {96, 158, 260, 21},
                   QStringLiteral("Zertifikate (PEM), denen Volumo zusätzlich zu denen des "
                                  "Systems vertraut"));
    LabelCA = caption(this, QStringLiteral("&CA-Datei:"), {8, 162}, EditCA);
    ButtonCA = browseButton(this, {361, 157, 23, 23}, QStringLiteral("CA-Datei auswählen"));

    LabelFehler = new QLabel(this);
    LabelFehler->setTextFormat(Qt::PlainText);
    LabelFehler->setWordWrap(true);
    LabelFehler->setGeometry(8, 188, 384, 28);
    LabelFehler->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette alarm = LabelFehler->palette();
    alarm.setColor(QPalette::WindowText, Qt::red);
    LabelFehler->setPalette(alarm);

    OKButton = new TBitBtn(this);
    OKButton->SetKind(TBitBtn::bkOK);
    // The dialog closes only once what was entered can be used: the click handler decides.
    OKButton->ModalResult = 0;
    OKButton->setGeometry(220, 226, 77, 26);
    connect(OKButton, &QPushButton::clicked, this,
            EventHandler([this] { OKButtonClick(OKButton); }));
    BitBtn1 = new TBitBtn(this);
    BitBtn1->SetKind(TBitBtn::bkAbort);
    BitBtn1->setGeometry(303, 226, 89, 26);
    for (TBitBtn *button : {OKButton, BitBtn1})
        button->setFont(DeclaredFont(QStringLiteral("MS Sans Serif"), 11));
    connect(ButtonToken, &QPushButton::clicked, this,
            EventHandler([this] { ButtonTokenClick(ButtonToken); }));
    connect(ButtonCA, &QPushButton::clicked, this,
            EventHandler([this] { ButtonCAClick(ButtonCA); }));

    ActiveControl = EditAdresse;
    QWidget *order[] = {EditAdresse, EditBenutzer, EditKennwort, EditToken, ButtonToken,
                        EditCA,      ButtonCA,     OKButton,     BitBtn1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Published once whole: a form that failed half-way leaves no reference behind.
    Verbinden = this;
}

TVerbinden::~TVerbinden()
{
    if (Verbinden == this)
        Verbinden = nullptr;
}

void TVerbinden::prepareShowing()
{
    for (QLabel *label : {LabelAdresse, LabelBenutzer, LabelKennwort, LabelToken, LabelCA})
        label->adjustSize();
}

void TVerbinden::showEvent(QShowEvent *event)
{
    accepted.reset();
    LabelFehler->clear();
    DialogForm::showEvent(event);
}

void TVerbinden::ShowConnection(const PrometheusConnection &connection)
{
    EditAdresse->setText(connection.url.isEmpty() ? QString()
                                                  : connection.url.toString(QUrl::RemoveUserInfo));
    EditBenutzer->setText(connection.user);
    EditKennwort->setText(connection.password);
    EditToken->setText(QDir::toNativeSeparators(connection.tokenFile));
    EditCA->setText(QDir::toNativeSeparators(connection.caFile));
    LabelFehler->clear();
}

void TVerbinden::OKButtonClick(QObject *)
{
    accepted = entered();
    if (!accepted)
        return;
    // An address typed with user and password in it shows them in their own fields next time.
    ShowConnection(*accepted);
    done(QDialog::Accepted);
}

void TVerbinden::ButtonTokenClick(QObject *)
{
    chooseFile(EditToken, QStringLiteral("Token-Datei auswählen"), QString());
}

void TVerbinden::ButtonCAClick(QObject *)
{
    chooseFile(EditCA, QStringLiteral("CA-Datei auswählen"),
               QStringLiteral("Zertifikate (*.pem *.crt *.cer);;Alle Dateien (*)"));
}

void TVerbinden::chooseFile(QLineEdit *field, const QString &caption, const QString &filter)
{
    const QString chosen = QFileDialog::getOpenFileName(
        this, caption, QFileInfo(field->text().trimmed()).path(), filter);
    if (!chosen.isEmpty())
        field->setText(QDir::toNativeSeparators(chosen));
}

void TVerbinden::refuse(const QString &problem, QLineEdit *field)
{
    LabelFehler->setText(problem);
    field->setFocus(Qt::OtherFocusReason);
}

std::optional<PrometheusConnection> TVerbinden::entered()
{
    const ParsedAddress parsed = ParsePrometheusAddress(EditAdresse->text());
    if (!parsed.problem.isEmpty()) {
        refuse(parsed.problem, EditAdresse);
        return std::nullopt;
    }
    PrometheusConnection connection = parsed.connection;
    const QString user = EditBenutzer->text().trimmed();
    const QString password = EditKennwort->text();
    // Credentials written into the address count only where the fields hold none: a pair is
    // never made of one from each.
    if (!user.isEmpty() || !password.isEmpty()) {
        connection.user = user;
        connection.password = password;
    }
    connection.tokenFile = QDir::fromNativeSeparators(EditToken->text().trimmed());
    connection.caFile = QDir::fromNativeSeparators(EditCA->text().trimmed());

    if (connection.user.isEmpty() && !connection.password.isEmpty()) {
        refuse(QStringLiteral("Zum Kennwort fehlt der Benutzer."), EditBenutzer);
        return std::nullopt;
    }
    if (!connection.user.isEmpty() && connection.password.isEmpty()) {
        refuse(QStringLiteral("Zum Benutzer fehlt das Kennwort."), EditKennwort);
        return std::nullopt;
    }
    if (!connection.user.isEmpty() && !connection.tokenFile.isEmpty()) {
        refuse(QStringLiteral("Bitte entweder Benutzer und Kennwort oder eine Token-Datei "
                              "angeben, nicht beides."),
               EditToken);
        return std::nullopt;
    }
    const QFontMetrics metrics = LabelFehler->fontMetrics();
    if (!connection.tokenFile.isEmpty() && !readable(connection.tokenFile)) {
        refuse(QStringLiteral("Die Token-Datei %1 kann nicht gelesen werden.")
                   .arg(shortPath(connection.tokenFile, metrics)),
               EditToken);
        return std::nullopt;
    }
    if (!connection.caFile.isEmpty()) {
        if (!readable(connection.caFile)) {
            refuse(QStringLiteral("Die CA-Datei %1 kann nicht gelesen werden.")
                       .arg(shortPath(connection.caFile, metrics)),
                   EditCA);
            return std::nullopt;
        }
#if QT_CONFIG(ssl)
        if (QSslCertificate::fromPath(connection.caFile, QSsl::Pem).isEmpty()) {
            refuse(QStringLiteral("Die CA-Datei %1 enthält kein Zertifikat im PEM-Format.")
                       .arg(shortPath(connection.caFile, metrics)),
                   EditCA);
            return std::nullopt;
        }
#endif
    }
    return connection;
}
