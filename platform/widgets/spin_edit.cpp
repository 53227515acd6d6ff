#include "spin_edit.h"

#include "number_format.h"
#include "whole_number.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolButton>

#include <limits>
#include <optional>

namespace {

constexpr int arrowWidth = 13;

QToolButton *arrowButton(Qt::ArrowType arrow, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    // Held down: the first repeat after 400 ms, then every 100 ms.
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(400);
    button->setAutoRepeatInterval(100);
    return button;
}

} // namespace

std::optional<int> ParseWholeNumber(const QString &text)
{
    const QStringView view(text);
    return ReadWholeNumber(std::u16string_view(view.utf16(), static_cast<size_t>(view.size())));
}

TSpinEdit::TSpinEdit(int minValue, int maxValue, int value, QWidget *parent)
    : QLineEdit(parent), minValue(minValue), maxValue(maxValue), up(arrowButton(Qt::UpArrow, this)),
      down(arrowButton(Qt::DownArrow, this))
{
    setText(QString::number(value));
    setTextMargins(0, 0, arrowWidth, 0);
    connect(up, &QToolButton::clicked, this, &TSpinEdit::StepUp);
    connect(down, &QToolButton::clicked, this, &TSpinEdit::StepDown);
    // Pressing an arrow moves the focus into the field.
    for (QToolButton *button : {up, down})
        connect(button, &QToolButton::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
}

int TSpinEdit::Value() const
{
    return ParseWholeNumber(text()).value_or(minValue);
}

int TSpinEdit::clamp(long long value) const
{
    return static_cast<int>(std::clamp<long long>(value, minValue, maxValue));
}

int TSpinEdit::GridValue() const
{
    return clamp(Value());
}

void TSpinEdit::step(int delta)
{
    setText(QString::number(clamp(static_cast<long long>(Value()) + delta)));
}

void TSpinEdit::StepUp()
{
    step(Increment);
}

void TSpinEdit::StepDown()
{
    step(-Increment);
}

void TSpinEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        StepUp();
        return;
    case Qt::Key_Down:
        StepDown();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter counts as a refused character: it beeps and confirms nothing.
        refuse();
        event->accept();
        return;
    default:
        break;
    }

    // Control held alone makes a shortcut (the clipboard's among them); every other key that
    // brings text, Alt and AltGr ones included, types it. Alt with an access key of the dialog
    // never gets here: the shortcut takes it first.
    const bool shortcut =
        (event->modifiers() & Qt::ControlModifier) && !(event->modifiers() & Qt::AltModifier);
    if (!shortcut && !allowed(event->text())) {
        refuse();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // What a dead key or a compose sequence makes arrives here as committed text, not as a key.
    if (!allowed(event->commitString())) {
        refuse();
        QInputMethodEvent cleared; // ends the sequence, leaving the text as it was
        QLineEdit::inputMethodEvent(&cleared);
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

bool TSpinEdit::allowed(const QString &typed) const
{
    const QString decimal = QString::fromStdString(NumberSeparatorsInForce().decimal);
    for (const QChar c : typed) {
        const bool control = c.unicode() < 32 || c.unicode() == 127;
        if (!control && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && !decimal.contains(c))
            return false;
    }
    return true;
}

void TSpinEdit::refuse()
{
    QApplication::beep();
    emit refused();
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    // Leaving for another control of the dialog brings a number back within the bounds; text
    // that is no number stays, since it counts as MinValue anyway.
    const bool toAnotherControl =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (toAnotherControl) {
        if (const std::optional<int> value = ParseWholeNumber(text());
            value && (*value < minValue || *value > maxValue))
            setText(QString::number(clamp(*value)));
    }
    QLineEdit::focusOutEvent(event);
}

void TSpinEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int half = height() / 2;
    up->setGeometry(width() - arrowWidth - 1, 1, arrowWidth, half - 1);
    down->setGeometry(width() - arrowWidth - 1, half, arrowWidth, height() - half - 1);
}
