#pragma once

#include "form_screen.h"
#include "main_menu.h"
#include "mdi_frame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
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

// Moves the mouse over the middle of `widget` and lets the hint follow.
inline void Hover(QWidget *widget, int ms = 80)
{
    QTest::mouseMove(widget, widget->rect().center());
    QTest::qWait(ms);
}

// The x just right of a widget, in its parent: where a right-aligned figure ends.
inline int RightEdge(const QWidget *widget)
{
    return widget->geometry().right() + 1;
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
    QPointer<QWidget> owner;
};

// Once a modal message box is up, notes what it shows and presses its button. Returns the
// record to read after the code that shows the box has returned; it waits for a box for as long
// as the record is kept.
inline std::shared_ptr<SeenBox> AnswerNextMessageBox()
{
    auto seen = std::make_shared<SeenBox>();
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [kept = std::weak_ptr<SeenBox>(seen), poll] {
        const std::shared_ptr<SeenBox> seen = kept.lock();
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (seen && !box)
            return;
        poll->stop();
        poll->deleteLater();
        if (!seen)
            return;
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = static_cast<int>(box->buttons().size());
        seen->owner = box->parentWidget();
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

// A frame window made as the main form is: a button of its own above the client area, a menu of
// its own ("&Rahmen"), and child forms that each bring a text field and a one-entry menu named
// after them. It counts its own activations.
struct TestFrame
{
    TestFrame()
    {
        auto *client = new QWidget(&window);
        auto *layout = new QVBoxLayout(client);
        layout->addWidget(button);
        area->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(area);
        window.setCentralWidget(client);
        window.resize(800, 600);
        QObject::connect(&registration, &FormRegistration::Activated, &window,
                         [this] { ++activations; });
        for (QWidget *passive : {static_cast<QWidget *>(&window), client,
                                 static_cast<QWidget *>(area), area->viewport()})
            Screen->RegisterPassive(passive);
    }

    QWidget *addChild(const QString &name, CloseAction action = caFree)
    {
        auto *child = new QWidget;
        child->setWindowTitle(name);
        new QLineEdit(child);
        (new FormRegistration(child))->setParent(child);
        auto *menu = new MainMenu(child);
        menu->AddMenu(QStringLiteral("&") + name, QString());
        mdi.AddChild(child, menu, QSize(200, 100), [action] { return action; });
        return child;
    }

    // The children's captions, most recently focused first.
    QStringList order() const
    {
        QStringList names;
        for (int i = 0; i < mdi.MDIChildCount(); ++i)
            names << mdi.MDIChildren(i)->windowTitle();
        return names;
    }

    // The bar as it shows once control is back in the event loop.
    QStringList bar() const
    {
        QCoreApplication::processEvents();
        QStringList titles;
        for (QAction *action : window.menuBar()->actions())
            titles << action->text();
        return titles;
    }

    QMainWindow window;
    QPushButton *button = new QPushButton(QStringLiteral("Knopf"));
    QMdiArea *area = new QMdiArea;
    MainMenu ownMenu{&window, [this] {
                         ownMenu.AddMenu(QStringLiteral("&Rahmen"), QString());
                     }};
    MdiFrame mdi{area, window.menuBar(), &ownMenu};
    int activations = 0;
    FormRegistration registration{&window, [this]() -> QWidget * {
                                      return mdi.MDIChildCount() ? mdi.MDIChildren(0) : nullptr;
                                  }};
};

// QString in test failure messages as text, not as a list of characters.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
