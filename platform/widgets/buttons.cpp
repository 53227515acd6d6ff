#include "buttons.h"

#include "accessible.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace {

// A caption as a screen reader speaks it: access-key marks dropped, "&&" read as "&".
QString spokenCaption(const QString &caption)
{
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && ++i == caption.size())
            break;
        spoken += caption[i];
    }
    return spoken;
}

// Pressing one of our buttons through assistive technology clicks it once control is back in
// the event loop. A click that opens a modal dialog would otherwise keep the screen reader's
// request unanswered until that dialog closes, and the screen reader stalls meanwhile.
class ButtonAccessible : public QAccessibleWidget
{
public:
    explicit ButtonAccessible(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return spokenCaption(button()->text());
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        if (auto *push = qobject_cast<QPushButton *>(button()))
            state.defaultButton = push->isDefault();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        QMetaObject::invokeMethod(button(), &QAbstractButton::click, Qt::QueuedConnection);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *buttonAccessible(const QString &, QObject *object)
{
    if (qobject_cast<TBitBtn *>(object) || qobject_cast<TSpeedButton *>(object))
        return new ButtonAccessible(static_cast<QAbstractButton *>(object));
    return nullptr;
}

} // namespace

TBitBtn::TBitBtn(QWidget *parent) : QPushButton(parent)
{
    InstallAccessibleFactoryOnce<buttonAccessible>();
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

ButtonFace LayoutButtonFace(QSize button, QSize glyph, int captionHeight, bool glyphTop, bool down)
{
    constexpr int glyphRow = 16; // the tallest tool-bar glyph
    constexpr int gap = 2;
    const int shift = down ? 1 : 0;
    ButtonFace face;
    if (glyphTop) {
        const int top = (button.height() - glyphRow - gap - captionHeight) / 2 + shift;
        face.glyph = QRect(QPoint((button.width() - glyph.width()) / 2 + shift,
                                  top + (glyphRow - glyph.height()) / 2),
                           glyph);
        face.caption = QRect(shift, top + glyphRow + gap, button.width(), captionHeight);
    } else {
        const int left = 2;
        face.glyph =
            QRect(QPoint(left + shift, (button.height() - glyph.height()) / 2 + shift), glyph);
        const int rest = left + glyph.width();
        face.caption = QRect(rest + shift, (button.height() - captionHeight) / 2 + shift,
                             button.width() - rest, captionHeight);
    }
    return face;
}

namespace {

void paintFace(QPainter &painter, const QAbstractButton &button, const ButtonFace &face)
{
    button.icon().paint(&painter, face.glyph, Qt::AlignCenter,
                        button.isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.setPen(button.palette().color(
        button.isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(face.caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                     button.text());
}

} // namespace

ButtonFace TBitBtn::Face() const
{
    return LayoutButtonFace(size(), iconSize(), fontMetrics().height(), glyphTop, isDown());
}

void TBitBtn::paintEvent(QPaintEvent *)
{
    // The usual button face, with glyph and caption where the face puts them.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);
    paintFace(painter, *this, Face());
}

TSpeedButton::TSpeedButton(QWidget *parent) : QToolButton(parent)
{
    InstallAccessibleFactoryOnce<buttonAccessible>();
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

ButtonFace TSpeedButton::Face() const
{
    return LayoutButtonFace(size(), iconSize(), fontMetrics().height(), true, isDown());
}

void TSpeedButton::paintEvent(QPaintEvent *)
{
    // The flat button's frame as the style draws it when hovered or pressed, then the face.
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
    paintFace(painter, *this, Face());
}
