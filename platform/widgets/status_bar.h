#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;

// A status bar of panels: left to right at their widths, the last one filling the rest. The
// simple text is kept but never shown while the bar is in panel mode.
class TStatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit TStatusBar(QWidget *parent = nullptr);

    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(panels.size()); }
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);
    // The panel's place in the bar, for tests and for painting.
    QRect PanelRect(int index) const;

    QString SimpleText() const { return simpleText; }
    void SetSimpleText(const QString &text) { simpleText = text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutPanels();

    std::vector<std::pair<int, QLabel *>> panels;
    QString simpleText;
};
