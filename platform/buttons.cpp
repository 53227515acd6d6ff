#include "buttons.h"

#include <QDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

TBitBtn::TBitBtn(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
    // The click handlers connected after this one run first; the dialog closes once they are
    // done, unless one of them closed it already.
    connect(this, &QPushButton::clicked, this, [this] {
        closePending = ModalResult != 0;
        QMetaObject::invokeMethod(this, &TBitBtn::finishClick, Qt::QueuedConnection);
    });
}

void TBitBtn::SetKind(Kind kind)
{
    switch (kind) {
    case bkOK:
        setText(QStringLiteral("OK"));
        setIcon(QIcon(QStringLiteral(":/glyphs/ok.png")));
        setDefault(true);
        ModalResult = QDialog::Accepted;
        break;
    case bkAbort:
        setText(QStringLiteral("Abbrechen"));
        setIcon(QIcon(QStringLiteral(":/glyphs/abort.png")));
        ModalResult = mrAbort;
        break;
    case bkCustom:
        break;
    }
}

void TBitBtn::SetGlyphTop(bool top)
{
    glyphTop = top;
    update();
}

void TBitBtn::finishClick()
{
    if (!closePending)
        return;
    closePending = false;
    if (auto *dialog = qobject_cast<QDialog *>(window()); dialog && dialog->isVisible())
        dialog->done(ModalResult);
}

void TBitBtn::hideEvent(QHideEvent *event)
{
    // A dialog that closed by other means takes no pending close into its next showing.
    closePending = false;
    QPushButton::hideEvent(event);
}

void TBitBtn::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isDown() && !hasFocus()) {
        setDown(false);
        event->accept();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

void TBitBtn::paintEvent(QPaintEvent *event)
{
    if (!glyphTop) {
        QPushButton::paintEvent(event);
        return;
    }
    // Glyph above the caption, both centred, on the usual button face.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QSize glyph = iconSize();
    const int textHeight = fontMetrics().height();
    const int top = (height() - glyph.height() - 2 - textHeight) / 2 + (isDown() ? 1 : 0);
    const int shift = isDown() ? 1 : 0;
    icon().paint(&painter,
                 QRect((width() - glyph.width()) / 2 + shift, top, glyph.width(), glyph.height()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(QRect(shift, top + glyph.height() + 2, width(), textHeight),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, text());
}

TSpeedButton::TSpeedButton(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}
