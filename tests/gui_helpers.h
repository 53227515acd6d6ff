#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>

// Waits, running the event loop, until `condition` holds or `ms` have passed.
inline bool WaitFor(const std::function<bool()> &condition, int ms = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Shows a top-level widget and gives it the focus, as a click on it would.
inline bool ShowActive(QWidget *widget)
{
    widget->show();
    widget->activateWindow();
    return QTest::qWaitForWindowActive(widget);
}

// What a modal message box showed.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

// Once a modal message box is up, notes what it shows and presses its button. Returns the
// record to read after the code that shows the box has returned.
inline std::shared_ptr<SeenBox> AnswerNextMessageBox()
{
    auto seen = std::make_shared<SeenBox>();
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [seen, poll] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = static_cast<int>(box->buttons().size());
        poll->stop();
        poll->deleteLater();
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->accept();
    });
    poll->start(0);
    return seen;
}

// Runs `action` once `dialog` is showing modally, from inside its own event loop.
inline void WhenShown(QDialog *dialog, std::function<void()> action)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [dialog, poll, action] {
        // Up, modal and with the focus, so that keys typed now reach it.
        if (!dialog->isVisible() || QApplication::activeModalWidget() != dialog ||
            !dialog->isActiveWindow())
            return;
        // Stopped at once: deleting waits for the event loop, which may not come before the
        // next dialog is up.
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(0);
}

// QString in test failure messages as text, not as a list of characters.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
