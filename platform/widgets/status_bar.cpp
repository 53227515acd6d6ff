#include "status_bar.h"

#include <QLabel>

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
    panels.emplace_back(width, label);
    layoutPanels();
}

QString TStatusBar::PanelText(int index) const
{
    return panels.at(static_cast<size_t>(index)).second->text();
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    panels.at(static_cast<size_t>(index)).second->setText(text);
}

QRect TStatusBar::PanelRect(int index) const
{
    return panels.at(static_cast<size_t>(index)).second->geometry();
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
        const int width = last ? std::max(0, this->width() - left) : panels[i].first;
        // A thin gap between panels, as a status bar draws them.
        panels[i].second->setGeometry(left, 2, std::max(0, width - (last ? 0 : 2)), height() - 2);
        left += width;
    }
}
