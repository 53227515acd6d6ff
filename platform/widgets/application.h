#pragma once

#include <QApplication>
#include <QPalette>
#include <QString>
#include <QTranslator>

#include <utility>

class QAction;
class QFontMetrics;

// The program's application object: the title every error box carries, the classic light
// palette of the forms whatever the desktop's theme, the hint of whatever is under the mouse or
// highlighted in a menu, and an error box for an exception that leaves an event handler, after
// which the program goes on.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    // Which event loop the application object gets: on Linux Qt's own, not GLib's, unless the
    // environment names one. GLib's wakes the loop with a system call for every event posted,
    // and each widget made and shown posts two: a refresh of two dozen drive windows made a
    // thousand such calls. Qt's wakes it once a round. The choice holds while the object is
    // made, and the environment is as before once it is (a browser the program starts for a
    // link inherits nothing of it).
    class EventLoopChoice
    {
    public:
        EventLoopChoice();
        ~EventLoopChoice();
        EventLoopChoice(const EventLoopChoice &) = delete;
        EventLoopChoice &operator=(const EventLoopChoice &) = delete;

    private:
        bool chosen = false;
    };

    TApplication(int &argc, char **argv, const EventLoopChoice & = EventLoopChoice());
    ~TApplication() override;

    QString Title() const { return title; }
    void SetTitle(const QString &text) { title = text; }

    // The hint in force; HintChanged is emitted at every change.
    QString Hint() const { return hint; }

    // The hint of a highlighted menu entry, also when it was reached with the keyboard.
    void ShowMenuHint(QAction *action);

    // The modal error box: error icon, the application's title, one "OK" button.
    void ShowException(const QString &message);

    bool notify(QObject *receiver, QEvent *event) override;

signals:
    void HintChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setHint(const QString &text);
    // The hint of what is highlighted in a menu now, else of the control under the pointer.
    QString hintNow() const;
    void updateHintSoon();

    // Qt's own texts (a window's system menu, its title-bar buttons, a text field's context
    // menu) in German, where the system has Qt's German translations.
    QTranslator toolkitTexts;
    QString title;
    QString hint;
    bool hintQueued = false;
};

// The one application object; it exists from the start of main to its end.
extern TApplication *Application;

// A window whose title bar shows a caption of its own rather than its window title (an MDI
// child's frame). The application's style hands the caption to the platform style with the
// rest of the title bar, which draws it in the colours it gives the bar: a desktop theme's
// caption text on the theme's bar, white on a classic blue one.
class TitleBarCaption
{
public:
    // The caption as it fits `width` pixels in `metrics`.
    virtual QString TitleBarText(const QFontMetrics &metrics, int width) const = 0;

protected:
    ~TitleBarCaption() = default;
};

// Button face, window text and highlight as the forms' declared colours were chosen against:
// light, whatever the desktop's theme.
QPalette ClassicPalette();

// Where the hint of a widget comes from: its own, or the nearest ancestor's that has one.
QString HintOf(const QWidget *widget);

// Tooltips show only on widgets that ask for them; Qt's tool buttons would otherwise show
// their text.
void SetShowHint(QWidget *widget, bool show);

// Shows the exception in flight in the application's error box; called from a catch block.
void ShowHandlerException();

// Runs one event handler. An exception that leaves it is shown in the application's error box
// and the program goes on; it never unwinds through the toolkit's own frames.
template <class Handler> void RunHandler(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ShowHandlerException();
    }
}

// The same as a slot: connect(button, &QPushButton::clicked, this, EventHandler([this] {...})).
template <class Handler> auto EventHandler(Handler handler)
{
    return [handler = std::move(handler)](auto &&...) {
        RunHandler(handler);
    };
}
