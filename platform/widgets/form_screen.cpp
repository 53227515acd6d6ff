#include "form_screen.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QMdiSubWindow>

#include <algorithm>

FormScreen *Screen = nullptr;

FormScreen::FormScreen(QObject *parent) : QObject(parent)
{
    Screen = this;
    qApp->installEventFilter(this);
}

FormScreen::~FormScreen()
{
    if (Screen == this)
        Screen = nullptr;
}

void FormScreen::RegisterPassive(QWidget *widget)
{
    passive.emplace_back(widget);
}

void FormScreen::enter(FormRegistration *form)
{
    forms.push_back(form);
}

void FormScreen::leave(FormRegistration *form)
{
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
    if (active == form->Form()) {
        active = nullptr;
        emit ActiveFormChanged();
    }
}

FormRegistration *FormScreen::find(const QWidget *widget) const
{
    const auto it = std::find_if(forms.begin(), forms.end(), [widget](FormRegistration *form) {
        return form->Form() == widget;
    });
    return it == forms.end() ? nullptr : *it;
}

QWidget *FormScreen::FormOf(QWidget *widget) const
{
    for (; widget; widget = widget->parentWidget()) {
        if (find(widget))
            return widget;
        // A child form sits inside the sub-window that frames it.
        if (auto *frame = qobject_cast<QMdiSubWindow *>(widget); frame && find(frame->widget()))
            return frame->widget();
        if (widget->isWindow())
            return nullptr;
    }
    return nullptr;
}

void FormScreen::setActive(QWidget *form)
{
    if (form == active)
        return;
    active = form;
    emit ActiveFormChanged();
}

void FormScreen::activate(QWidget *form)
{
    if (!form || form == active)
        return;
    setActive(form);
    if (FormRegistration *entry = find(form))
        emit entry->Activated();
}

int FormScreen::ShowModal(QDialog *dialog)
{
    const QPointer<QWidget> previous = active;
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    activate(dialog);
    const int result = dialog->exec();
    // The focus goes back to the form that held it; that is no activation.
    setActive(previous);
    return result;
}

bool FormScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        auto *widget = qobject_cast<QWidget *>(watched);
        const bool landsNowhere =
            !widget || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason ||
            std::find(passive.begin(), passive.end(), widget) != passive.end();
        if (!landsNowhere)
            activate(FormOf(widget));
    } else if (event->type() == QEvent::WindowActivate && !active) {
        // A window taking the focus with no form active (at start-up, or back from another
        // program after the last child form is gone) activates its form, or the child it hands
        // the focus to.
        auto *widget = qobject_cast<QWidget *>(watched);
        if (FormRegistration *form = widget && widget->isWindow() ? find(widget) : nullptr) {
            QWidget *child = form->ActiveChild();
            activate(child ? child : form->Form());
        }
    }
    return QObject::eventFilter(watched, event);
}

FormRegistration::FormRegistration(QWidget *form, std::function<QWidget *()> activeChild)
    : form(form), activeChild(std::move(activeChild)), screen(Screen)
{
    screen->enter(this);
}

FormRegistration::~FormRegistration()
{
    if (screen)
        screen->leave(this);
}
