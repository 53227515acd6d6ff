#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QWidget;

// A form's main menu: its top-level entries, each a drop-down of commands. A frame shows the
// menu of the form in front (see MdiFrame); the hints of the entries reach the status bar.
class TMainMenu : public QObject
{
    Q_OBJECT

public:
    explicit TMainMenu(QWidget *owner);

    // A top-level entry; `caption` may mark its access letter with '&'.
    QMenu *AddMenu(const QString &caption, const QString &hint);
    // A command in a drop-down.
    QAction *AddItem(QMenu *menu, const QString &caption, const QString &hint);

    const std::vector<QMenu *> &Items() const { return items; }

private:
    QWidget *owner;
    std::vector<QMenu *> items;
};
