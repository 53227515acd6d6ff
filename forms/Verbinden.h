#pragma once

#include "dialog_form.h"
#include "form_screen.h"
#include "prometheus_connection.h"

#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TBitBtn;

// The dialog that connects to a Prometheus server: its address, optionally a user and password
// or a file holding a bearer token, and optionally a file of CA certificates trusted besides the
// system's. OK checks what was entered and closes only when it can be used; what is wrong is
// said in the dialog, and every field keeps what the user typed. It stores nothing itself.
class TVerbinden : public DialogForm
{
    Q_OBJECT

public:
    explicit TVerbinden(QWidget *parent = nullptr);
    ~TVerbinden() override;

    void OKButtonClick(QObject *Sender);
    void ButtonTokenClick(QObject *Sender);
    void ButtonCAClick(QObject *Sender);

    // Fills the fields from a connection (the remembered one); the password field stays empty
    // unless it holds one.
    void ShowConnection(const PrometheusConnection &connection);
    // What the user entered, once OK was pressed and it was valid; nothing after any other
    // way out of the dialog's last showing.
    std::optional<PrometheusConnection> Accepted() const { return accepted; }

    QLabel *LabelAdresse = nullptr;
    QLineEdit *EditAdresse = nullptr;
    QGroupBox *GroupAnmeldung = nullptr;
    QLabel *LabelBenutzer = nullptr;
    QLineEdit *EditBenutzer = nullptr;
    QLabel *LabelKennwort = nullptr;
    QLineEdit *EditKennwort = nullptr;
    QLabel *LabelToken = nullptr;
    QLineEdit *EditToken = nullptr;
    QPushButton *ButtonToken = nullptr;
    QLabel *LabelCA = nullptr;
    QLineEdit *EditCA = nullptr;
    QPushButton *ButtonCA = nullptr;
    // Why OK did not close the dialog; empty until it did not.
    QLabel *LabelFehler = nullptr;
    TBitBtn *OKButton = nullptr;
    TBitBtn *BitBtn1 = nullptr;

protected:
    void prepareShowing() override;
    void showEvent(QShowEvent *event) override;

private:
    // The connection the fields describe, or nothing after telling the user what is wrong.
    std::optional<PrometheusConnection> entered();
    void refuse(const QString &problem, QLineEdit *field);
    void chooseFile(QLineEdit *field, const QString &caption, const QString &filter);

    std::optional<PrometheusConnection> accepted;

    FormRegistration registration{this};
};

// The connection dialog while it exists: set by its constructor, cleared by its destructor.
extern TVerbinden *Verbinden;
