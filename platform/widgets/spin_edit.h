#pragma once

#include <QLineEdit>

#include <optional>

class QToolButton;

// A whole-number field with a pair of arrow buttons inside its right edge. The text keeps
// whatever reaches it; typing accepts digits, signs and the decimal separator and refuses
// everything else with a beep, however it is typed (keys, Alt and AltGr, dead keys and compose
// sequences); pasting is not typing. The arrows step the value and write it back within the
// bounds.
class TSpinEdit : public QLineEdit
{
    Q_OBJECT

public:
    TSpinEdit(int minValue, int maxValue, int value, QWidget *parent = nullptr);

    int MinValue() const { return minValue; }
    int MaxValue() const { return maxValue; }
    int Increment = 1;

    // The text read as a whole decimal number, optionally signed; text that is not a whole
    // number in the signed 32-bit range counts as MinValue. Reading never changes the text.
    int Value() const;
    // Value brought into MinValue..MaxValue.
    int GridValue() const;

    // Value + Increment (or - Increment), brought into the bounds and written back.
    void StepUp();
    void StepDown();

    QToolButton *UpButton() const { return up; }
    QToolButton *DownButton() const { return down; }

signals:
    // A typed character was refused (the beep sounded).
    void refused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool allowed(const QString &typed) const;
    void refuse();
    void step(int delta);
    int clamp(long long value) const;

    int minValue;
    int maxValue;
    QToolButton *up;
    QToolButton *down;
};

// Reads a whole decimal number with an optional sign; nothing for anything else.
std::optional<int> ParseWholeNumber(const QString &text);
