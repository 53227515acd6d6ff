#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QFontMetrics;
class QLabel;

// A status bar of panels: left to right at their widths, the last one filling the rest; a text
// too wide for its panel is shortened (FitText). The simple text is kept but never shown while
// the bar is in panel mode.
class TStatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit TStatusBar(QWidget *parent = nullptr);

    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(panels.size()); }
    // The text as the panel shows it.
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);
    // The panel's place in the bar, for tests and for painting.
    QRect PanelRect(int index) const;

    QString SimpleText() const { return simpleText; }
    void SetSimpleText(const QString &text) { simpleText = text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Panel
    {
        int width;
        QLabel *label;
        QString text; // as given, before it was fitted
    };
    void layoutPanels();
    void fit(const Panel &panel) const;

    std::vector<Panel> panels;
    QString simpleText;
};

// The text, or where it is wider than `width`, the text with "…" in the middle of the path it
// names ("H:\ = /mnt/…/stick (vfat, /dev/sdb1)") so that what comes before and after it stays
// readable; a text without a path loses its end.
QString FitText(const QString &text, const QFontMetrics &metrics, int width);
