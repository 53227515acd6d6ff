#include "main_menu.h"

#include "application.h"

#include <QAction>
#include <QMenu>

#include <utility>

MainMenu::MainMenu(QWidget *owner, std::function<void()> fill)
    : QObject(owner), owner(owner), fill(std::move(fill))
{}

const std::vector<QMenu *> &MainMenu::Items()
{
    if (fill)
        std::exchange(fill, nullptr)();
    return items;
}

QMenu *MainMenu::AddMenu(const QString &caption, const QString &hint)
{
    auto *menu = new QMenu(caption, owner);
    menu->menuAction()->setStatusTip(hint);
    connect(menu, &QMenu::hovered, Application, &TApplication::ShowMenuHint);
    items.push_back(menu);
    return menu;
}

void MainMenu::AddMenu(QMenu *shared)
{
    items.push_back(shared);
}

QAction *MainMenu::AddItem(QMenu *menu, const QString &caption, const QString &hint)
{
    QAction *action = menu->addAction(caption);
    action->setStatusTip(hint);
    return action;
}
