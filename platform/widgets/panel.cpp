#include "panel.h"

#include <algorithm>

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QPainter>

namespace {

struct MeasuredText
{
    QFont font;
    QString text;
    int dpi;
    friend bool operator==(const MeasuredText &, const MeasuredText &) = default;
};

size_t qHash(const MeasuredText &key, size_t seed = 0)
{
    return qHashMulti(seed, key.font, key.text, key.dpi);
}

// Only the font, the text and the resolution decide such a label's size.
bool plainOneLine(const QLabel *label)
{
    return label->textFormat() == Qt::PlainText && !label->wordWrap() && label->margin() == 0 &&
           label->indent() <= 0 && label->frameWidth() == 0 && label->contentsMargins().isNull() &&
           label->pixmap().isNull();
}

} // namespace

QSize TextSize(const QLabel *label)
{
    if (!plainOneLine(label))
        return label->sizeHint();
    static QHash<MeasuredText, QSize> measured;
    MeasuredText key{label->font(), label->text(), label->logicalDpiY()};
    if (const auto kept = measured.constFind(key); kept != measured.constEnd())
        return *kept;
    if (measured.size() >= 4096) // figures change over months of refreshes; keep it bounded
        measured.clear();
    const QSize size = label->sizeHint();
    measured.insert(std::move(key), size);
    return size;
}

TPanel::TPanel(QWidget *parent, Bevels bevels) : QFrame(parent), bevels(bevels) {}

void TPanel::AnchorRight(QLabel *label, int gapToRight, int top, int minimumWidth)
{
    anchored.push_back({label, gapToRight, top, minimumWidth});
    place(anchored.back());
}

void TPanel::place(const Anchored &entry) const
{
    // Placed even while hidden: a label shown without a size of its own would measure itself.
    // A text wider than the label's declared width grows it to the left: a figure cut short
    // would read as another number.
    const int width = std::max(entry.minimumWidth, TextSize(entry.label).width());
    const int height = std::max(13, entry.label->fontMetrics().height()); // as declared
    entry.label->setGeometry(this->width() - entry.gapToRight - width, entry.top, width, height);
}

bool TPanel::event(QEvent *event)
{
    // A child label whose text changed asks for a new size (LayoutRequest); a resize moves the
    // anchored ones along with the right edge.
    switch (event->type()) {
    case QEvent::LayoutRequest:
    case QEvent::Resize:
    case QEvent::Show:
        for (const Anchored &entry : anchored)
            place(entry);
        break;
    default:
        break;
    }
    return QFrame::event(event);
}

void TPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (bevels == NoBevels)
        return;
    QPainter painter(this);
    const QPalette colours = palette();
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    // lowered outer: dark top-left, light bottom-right; raised inner: the other way round
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(outer.topLeft(), outer.topRight());
    painter.drawLine(outer.topLeft(), outer.bottomLeft());
    painter.drawLine(inner.bottomLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomRight());
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(outer.bottomLeft(), outer.bottomRight());
    painter.drawLine(outer.topRight(), outer.bottomRight());
    painter.drawLine(inner.topLeft(), inner.topRight());
    painter.drawLine(inner.topLeft(), inner.bottomLeft());
}

QFrame *BevelLine(QWidget *parent, int left, int top, int width)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(left, top, width, 2);
    return line;
}

QLabel *ColouredLabel(QWidget *parent, const QString &text, const QColor &colour, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    // A panel full of labels in one font carries it once, and the labels inherit it.
    if (!parent || parent->font() != font)
        label->setFont(font);
    // Only the text colour is the label's own; everything else comes from its parent. A label
    // in its parent's text colour has no palette of its own to resolve.
    if (parent && parent->palette().color(QPalette::WindowText) == colour)
        return label;
    static QHash<QRgb, QPalette> colours;
    auto kept = colours.constFind(colour.rgba());
    if (kept == colours.constEnd()) {
        QPalette own;
        own.setColor(QPalette::WindowText, colour);
        kept = colours.insert(colour.rgba(), own);
    }
    label->setPalette(*kept);
    return label;
}

QFrame *ColourSquare(QWidget *parent, int left, int top, const QColor &colour)
{
    auto *shape = new QFrame(parent);
    shape->setGeometry(left, top, 10, 10);
    shape->setAutoFillBackground(true);
    QPalette colours = shape->palette();
    colours.setColor(QPalette::Window, colour);
    shape->setPalette(colours);
    return shape;
}
