#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

// A form's main menu: its top-level entries, each a drop-down of commands. A frame shows the
// menu of the form in front (see MdiFrame); the hints of the entries reach the status bar.
class MainMenu : public QObject
{
    Q_OBJECT

public:
    // `fill`, when given, adds the entries the first time they are asked for: a form opened
    // many times over (a drive window) rarely has its menu shown at all, and each drop-down
    // is a window of its own, dear to make and to destroy.
    explicit MainMenu(QWidget *owner, std::function<void()> fill = {});

    // A top-level entry; `caption` may mark its access letter with '&'.
    QMenu *AddMenu(const QString &caption, const QString &hint);
    // Another form's top-level entry, shared: whatever it holds shows in both.
    void AddMenu(QMenu *shared);
    // A command in a drop-down.
    QAction *AddItem(QMenu *menu, const QString &caption, const QString &hint);

    const std::vector<QMenu *> &Items();

private:
    QWidget *owner;
    std::function<void()> fill;
    std::vector<QMenu *> items;
};
