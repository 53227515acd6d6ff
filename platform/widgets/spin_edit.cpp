#include "spin_edit.h"

#include "number_format.h"
#include "whole_number.h"

#include <QApplication>
#include <QFocusEvent>
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
        QApplication::beep();
        emit refused();
        event->accept();
        return;
    default:
        break;
    }

    const QString typed = event->text();
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (!typed.isEmpty() && !shortcut) {
        const QString decimal = QString::fromStdString(NumberSeparatorsInForce().decimal);
        for (const QChar c : typed) {
            const bool control = c.unicode() < 32 || c.unicode() == 127;
            const bool allowed =
                (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || decimal.contains(c);
            if (!control && !allowed) {
                QApplication::beep();
                emit refused();
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
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
