#pragma once

#include "application.h"

#include <QAction>

#include <initializer_list>
#include <utility>

class QMenu;
class MainMenu;

// The entries of the program's menu. The main window and every drive window offer the same
// commands under the same captions and hints; the drive window calls its Aktualisieren
// AktionNeu.
struct MenuEntries
{
    QMenu *Datei1 = nullptr;
    // One for all menus, the main window's.
    QAction *RechnerVerbinden = nullptr;
    QAction *Ende1 = nullptr;
    QMenu *Edit1 = nullptr;
    QAction *Aktualisieren = nullptr;
    QAction *AktionGesamt = nullptr;
    QMenu *Einstellungen1 = nullptr;
    QAction *Anordnung1 = nullptr;
    // Checkable, and one for all menus: the main window's.
    QAction *WarnungenAnzeigen = nullptr;
    // The machines whose volumes the windows can show: one menu for all, the main window's,
    // filled as the machines become known.
    QMenu *Rechner1 = nullptr;
    QAction *DieserRechner = nullptr;
    QAction *AlleRechner = nullptr;
    QMenu *Window1 = nullptr;
    QAction *WindowCascadeItem = nullptr;
    QAction *WindowTileItem = nullptr;
    QAction *WindowArrangeItem = nullptr;
    QAction *WindowMinimizeItem = nullptr;
    QMenu *Help1 = nullptr;
    QAction *HelpAboutItem = nullptr;
};

enum class MenuOwner { MainWindow, DriveWindow };

// Fills `menu` with the entries as the owner declares them. Only the main window's top-level
// entries all have hints, and only its "Gesamtübersicht" is greyed (its tool button opens the
// overview instead). The commands that keep a state of the run are shared: the main window
// makes them (`shared` empty) and every drive window shows the main window's.
MenuEntries FillMenu(MainMenu *menu, MenuOwner owner, const MenuEntries &shared = {});

// Connects each action to a handler of `form`, which gets the action as its Sender. A command
// runs once the menu has closed and control is back in the event loop, as a menu's command
// message comes: whoever chose it, assistive technology included, gets an answer at once, even
// where the command opens a modal dialog.
template <class Form>
void RouteCommands(Form *form,
                   std::initializer_list<std::pair<QAction *, void (Form::*)(QObject *)>> routes)
{
    for (const auto &[action, handler] : routes) {
        QObject::connect(
            action, &QAction::triggered, form,
            EventHandler([form, action = action, handler = handler] { (form->*handler)(action); }),
            Qt::QueuedConnection);
    }
}
