#include "Commands.h"

#include "main_menu.h"

#include <QMenu>

MenuEntries FillMenu(MainMenu *menu, MenuOwner owner, const MenuEntries &shared)
{
    const bool frame = owner == MenuOwner::MainWindow;
    // A drive window's "Fenster" and "?" keep their hints; its other top-level entries have none.
    const auto top = [&](const char *caption, const char *hint, bool hintInEveryMenu = false) {
        return menu->AddMenu(QString::fromUtf8(caption),
                             frame || hintInEveryMenu ? QString::fromUtf8(hint) : QString());
    };
    const auto item = [&](QMenu *parent, const char *caption, const char *hint) {
        return menu->AddItem(parent, QString::fromUtf8(caption), QString::fromUtf8(hint));
    };

    // A command the main window made is shown again; the main window makes it.
    const auto sharedItem = [&](QAction *made, QMenu *parent, const char *caption,
                                const char *hint) {
        if (made) {
            parent->addAction(made);
            return made;
        }
        return item(parent, caption, hint);
    };

    MenuEntries entries;
    entries.Datei1 = top("&Datei", "Dateioperationen");
    entries.RechnerVerbinden =
        sharedItem(shared.RechnerVerbinden, entries.Datei1, "Rechner &verbinden…",
                   "Die Laufwerke anderer Rechner von einem Prometheus-Server lesen");
    entries.Datei1->addSeparator();
    entries.Ende1 = item(entries.Datei1, "&Beenden", "Programm beenden");
    entries.Edit1 = top("&Ansicht", "Ansicht aktualisieren, ...");
    entries.Aktualisieren =
        item(entries.Edit1, "&Aktualisieren", "Sämtliche Laufwerke neu scannen");
    entries.AktionGesamt = item(entries.Edit1, "&Gesamtübersicht", "Gesamtübersicht anzeigen");
    entries.AktionGesamt->setEnabled(!frame);
    entries.Einstellungen1 = top("&Optionen", "Optionen");
    entries.Anordnung1 =
        item(entries.Einstellungen1, "&Programmeinstellungen", "Programmeinstellungen");
    entries.WarnungenAnzeigen =
        sharedItem(shared.WarnungenAnzeigen, entries.Einstellungen1, "&Warnungen anzeigen",
                   "Melden, wenn ein Laufwerk bald voll ist, und es im Fenster kennzeichnen");
    if (!shared.WarnungenAnzeigen) {
        entries.WarnungenAnzeigen->setCheckable(true);
        entries.WarnungenAnzeigen->setChecked(true);
    }
    entries.Rechner1 = shared.Rechner1;
    entries.DieserRechner = shared.DieserRechner;
    entries.AlleRechner = shared.AlleRechner;
    if (entries.Rechner1) {
        menu->AddMenu(entries.Rechner1);
    } else {
        entries.Rechner1 = menu->AddMenu(QStringLiteral("&Rechner"),
                                         QStringLiteral("Rechner wählen, dessen Laufwerke die "
                                                        "Fenster zeigen"));
        entries.DieserRechner =
            item(entries.Rechner1, "&Dieser Rechner", "Die Laufwerke dieses Rechners zeigen");
        entries.DieserRechner->setCheckable(true);
        entries.DieserRechner->setChecked(true);
        entries.Rechner1->addSeparator();
        entries.AlleRechner = item(entries.Rechner1, "&Alle Rechner…",
                                   "Die Laufwerke aller Rechner in einer Tabelle");
    }
    entries.Window1 = top("&Fenster", "Befehle zum Anordnen von Fenstern", true);
    entries.WindowCascadeItem =
        item(entries.Window1, "Ü&berlappend", "Fenster überlappend anordnen");
    entries.WindowTileItem =
        item(entries.Window1, "&Nebeneinander", "Fenster nicht überlappend anordnen");
    entries.WindowArrangeItem = item(entries.Window1, "&Symbole anordnen",
                                     "Fenstersymbole am unteren Rand des Hauptfensters anordnen");
    entries.WindowMinimizeItem =
        item(entries.Window1, "&Alle verkleinern", "Alle Fenster verkleinern");
    entries.Help1 = top("&?", "Hilfethemen", true);
    entries.HelpAboutItem = item(entries.Help1, "&Info", "Info über Volumo");
    return entries;
}
