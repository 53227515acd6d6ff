#pragma once

#include <QIcon>
#include <QPushButton>
#include <QRect>
#include <QToolButton>

// Where a button's glyph and caption go.
struct ButtonFace
{
    QRect glyph;
    QRect caption;
};

// Glyph above the caption (the tool bar): the glyph centred in a row as high as the tallest
// tool-bar glyph (16 px), the caption on the line below, the pair centred in the button, so that
// every button of the bar has its glyph on one line and its caption on one baseline. Glyph at
// the left (a dialog's buttons): the glyph 2 px from the left edge, the caption centred in the
// rest. A button held down shows both a pixel to the lower right.
ButtonFace LayoutButtonFace(QSize button, QSize glyph, int captionHeight, bool glyphTop, bool down);

// A button with a glyph and a caption that takes the focus on a mouse press. If the focus has
// moved on by the time the button is released (the press activated a form whose handler moved
// the focus elsewhere), the press is dropped. In a dialog a modal result closes the dialog
// after the click handler ran.
class TBitBtn : public QPushButton
{
    Q_OBJECT

public:
    enum Kind { bkCustom, bkOK, bkAbort };

    explicit TBitBtn(QWidget *parent = nullptr);

    // bkOK: caption "OK", green check mark, default button, modal result OK (QDialog::Accepted);
    // bkAbort: "Abbrechen", red cross, modal result Abort. Neither is a cancel button.
    void SetKind(Kind kind);
    void SetGlyphTop(bool top);
    int ModalResult = 0;

    // Where it draws its glyph and caption now.
    ButtonFace Face() const;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void finishClick();
    bool glyphTop = false;
    bool closePending = false;
};

// The modal result of "Abbrechen": not QDialog::Rejected, so that nothing mistakes it for Esc.
constexpr int mrAbort = 3;

// A flat tool button that never takes the focus, glyph above its caption.
class TSpeedButton : public QToolButton
{
    Q_OBJECT

public:
    explicit TSpeedButton(QWidget *parent = nullptr);

    // Where it draws its glyph and caption now.
    ButtonFace Face() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
