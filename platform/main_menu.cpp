#include "main_menu.h"

#include "application.h"

#include <QAction>
#include <QMenu>

TMainMenu::TMainMenu(QWidget *owner) : QObject(owner), owner(owner) {}

QMenu *TMainMenu::AddMenu(const QString &caption, const QString &hint)
{
    auto *menu = new QMenu(caption, owner);
    menu->menuAction()->setStatusTip(hint);
    connect(menu, &QMenu::hovered, this, [](QAction *action) {
        if (Application)
            Application->ShowMenuHint(action);
    });
    items.push_back(menu);
    return menu;
}

QAction *TMainMenu::AddItem(QMenu *menu, const QString &caption, const QString &hint)
{
    QAction *action = menu->addAction(caption);
    action->setStatusTip(hint);
    return action;
}
