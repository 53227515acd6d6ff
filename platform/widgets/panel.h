#pragma once

#include <QFrame>

class QColor;
class QFont;

#include <vector>

class QLabel;

// A panel with optional bevels (outer lowered, inner raised) whose right-anchored labels keep
// their distance to its right edge. A label sized to its text keeps its right edge when its text
// changes, so figures form right-aligned columns.
class TPanel : public QFrame
{
    Q_OBJECT

public:
    enum Bevels { NoBevels, LoweredOuterRaisedInner };

    explicit TPanel(QWidget *parent = nullptr, Bevels bevels = NoBevels);

    // `gapToRight`: from the panel's right edge to the label's. The label is as wide as its
    // text, and at least `minimumWidth`.
    void AnchorRight(QLabel *label, int gapToRight, int top, int minimumWidth = 0);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct Anchored
    {
        QLabel *label;
        int gapToRight;
        int top;
        int minimumWidth;
    };
    void place(const Anchored &entry) const;

    Bevels bevels;
    std::vector<Anchored> anchored;
};

// The size a plain one-line label asks for to show its text, as QLabel::sizeHint() gives it.
// Measuring a text is dear, so each text is measured once per font and resolution.
QSize TextSize(const QLabel *label);

// A plain-text label in one colour and the given font.
QLabel *ColouredLabel(QWidget *parent, const QString &text, const QColor &colour,
                      const QFont &font);

// A filled 10 x 10 square: the key of a chart colour beside its row of figures.
QFrame *ColourSquare(QWidget *parent, int left, int top, const QColor &colour);

// A horizontal bevel line: dark over light, as a raised bevel's top edge shows.
QFrame *BevelLine(QWidget *parent, int left, int top, int width);
