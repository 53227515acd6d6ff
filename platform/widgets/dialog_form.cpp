#include "dialog_form.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QRadioButton>

namespace {

// Qt takes the tab stop from a radio button as it is unchecked and does not always give it back;
// which radio button is a stop is decided below.
bool isTabStop(const QWidget *widget, const QWidget *dialog)
{
    const Qt::FocusPolicy wanted =
        qobject_cast<const QRadioButton *>(widget) ? Qt::ClickFocus : Qt::TabFocus;
    return widget != dialog && (widget->focusPolicy() & wanted) && widget->isEnabled() &&
           widget->isVisibleTo(dialog);
}

// Radio buttons that exclude each other: the auto-exclusive ones with one parent.
bool sameGroup(const QRadioButton *radio, const QWidget *other)
{
    const auto *otherRadio = qobject_cast<const QRadioButton *>(other);
    return otherRadio && radio->autoExclusive() && otherRadio->autoExclusive() &&
           radio->parentWidget() == otherRadio->parentWidget();
}

// The stop Tab may land on next from `from`: a radio button only where it is its group's
// checked one (or the group has none checked), and never one of the group Tab leaves.
bool isStopFrom(const QWidget *widget, const QWidget *from, const QWidget *dialog)
{
    if (!isTabStop(widget, dialog))
        return false;
    const auto *radio = qobject_cast<const QRadioButton *>(widget);
    if (!radio)
        return true;
    if (sameGroup(radio, from))
        return false;
    if (radio->isChecked() || !radio->autoExclusive())
        return true;
    for (const QRadioButton *sibling : radio->parentWidget()->findChildren<QRadioButton *>(
             QString(), Qt::FindDirectChildrenOnly)) {
        if (sibling->isChecked() && sameGroup(radio, sibling))
            return false;
    }
    return true;
}

} // namespace

DialogForm::DialogForm(const QString &caption, QSize clientSize, bool closeBox, QWidget *parent)
    : QDialog(parent), closeBox(closeBox)
{
    setWindowTitle(caption);
    setFixedSize(clientSize);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
}

void DialogForm::setVisible(bool visible)
{
    if (visible && !prepared) {
        prepared = true;
        prepareShowing();
    }
    QDialog::setVisible(visible);
}

void DialogForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QWidget *first = ActiveControl;
    for (QWidget *widget = nextInFocusChain(); !first && widget != this;
         widget = widget->nextInFocusChain()) {
        if (isStopFrom(widget, this, this))
            first = widget;
    }
    if (first)
        first->setFocus(Qt::TabFocusReason);
}

bool DialogForm::focusNextPrevChild(bool next)
{
    QWidget *from = focusWidget() ? focusWidget() : this;
    for (QWidget *widget = next ? from->nextInFocusChain() : from->previousInFocusChain();
         widget != from;
         widget = next ? widget->nextInFocusChain() : widget->previousInFocusChain()) {
        if (isStopFrom(widget, from, this)) {
            widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

void DialogForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DialogForm::closeEvent(QCloseEvent *event)
{
    // Without a close box only the dialog's own buttons close it.
    if (!closeBox) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
