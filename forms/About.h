#pragma once

#include "dialog_form.h"
#include "form_screen.h"

#include <QString>

#include <cstdint>
#include <memory>

class LinkOpener;
class QLabel;
class TBitBtn;
class TPanel;
class TTimer;

// The scrolling credits: 16 spaces, name, years and initials, greetings, a remark, 7 spaces,
// the freeware note, 3 spaces.
extern const QString TickerText;
// Where the next ticker window starts, 1-based; 0 at program start, kept across showings.
extern int32_t TickerPos;

// The about dialog: product name, version, freeware note, copyright, the maker's e-mail and web
// links, and a ticker scrolling the credits while the dialog is shown.
class TFormInfo : public DialogForm
{
    Q_OBJECT

public:
    explicit TFormInfo(QWidget *parent = nullptr);
    ~TFormInfo() override;

    void FormCreate(QObject *Sender);
    void FormActivate(QObject *Sender);
    void FormClose(QObject *Sender);
    void OKButtonClick(QObject *Sender);
    void Timer1Timer(QObject *Sender);
    void Label2Click(QObject *Sender);
    void Label3Click(QObject *Sender);

    // The links go to this opener (the program's, or a test's own); when it reports a failure,
    // however late, the link's error box shows. Without one every link fails. Whoever sets it
    // clears it before it goes.
    void SetOpener(LinkOpener *opener);
    LinkOpener *Opener() const { return opener; }

    TPanel *Panel1 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *LabelVersion = nullptr;
    QLabel *Comments = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Label4 = nullptr;
    TBitBtn *OKButton = nullptr;
    TTimer *Timer1 = nullptr;

protected:
    void prepareShowing() override;

private:
    void openLink(const QString &link);
    void linkFailed(const QString &link);

    LinkOpener *opener = nullptr;

    FormRegistration registration{this};
};

// The about dialog while it exists: set by its constructor, cleared by its destructor.
extern TFormInfo *FormInfo;
