#pragma once

#include <QIcon>
#include <QPushButton>
#include <QToolButton>

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
};
