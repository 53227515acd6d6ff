#include "status_bar.h"

#include <QLabel>

QString FitText(const QString &text, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    // "H:\ = /mnt/long … name (tmpfs, tmpfs)": the path between " /" and the last " (".
    const qsizetype start = text.indexOf(QLatin1String(" /"));
    const qsizetype end = text.lastIndexOf(QLatin1String(" ("));
    if (start >= 0 && end > start) {
        const QString head = text.left(start + 1);
        const QString tail = text.mid(end);
        const int room = width - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(tail);
        if (room >= metrics.horizontalAdvance(QChar(0x2026)))
            return head +
                   metrics.elidedText(text.mid(start + 1, end - start - 1), Qt::ElideMiddle, room) +
                   tail;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(19);
}

void TStatusBar::AddPanel(int width)
{
    auto *label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(2);
    label->setTextFormat(Qt::PlainText);
    panels.push_back({width, label, QString()});
    layoutPanels();
}

QString TStatusBar::PanelText(int index) const
{
    return panels.at(static_cast<size_t>(index)).label->text();
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    Panel &panel = panels.at(static_cast<size_t>(index));
    panel.text = text;
    fit(panel);
}

void TStatusBar::fit(const Panel &panel) const
{
    const int room = panel.label->contentsRect().width() - panel.label->indent();
    panel.label->setText(FitText(panel.text, panel.label->fontMetrics(), room));
}

QRect TStatusBar::PanelRect(int index) const
{
    return panels.at(static_cast<size_t>(index)).label->geometry();
}

void TStatusBar::resizeEvent(QResizeEvent *)
{
    layoutPanels();
}

void TStatusBar::layoutPanels()
{
    int left = 0;
    for (size_t i = 0; i < panels.size(); ++i) {
        const bool last = i + 1 == panels.size();
        const int width = last ? std::max(0, this->width() - left) : panels[i].width;
        // A thin gap between panels, as a status bar draws them.
        panels[i].label->setGeometry(left, 2, std::max(0, width - (last ? 0 : 2)), height() - 2);
        fit(panels[i]);
        left += width;
    }
}
