#!/usr/bin/python3
"""Reads the running Volumo through AT-SPI, as a screen reader does, and checks what it hears.

Usage: screen_reader.py [expected.json]

Without expectations every drive window is checked against itself: its chart must describe the
figures its labels show. With them (written by atspi_test.sh for the volumes it mounted) the
drive windows, their figures and the total overview's drive list must be exactly those.
"""
import json
import re
import sys
import time

import pyatspi

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def wait_for(find, seconds=10.0):
    deadline = time.monotonic() + seconds
    while True:
        found = find()
        if found or time.monotonic() > deadline:
            return found
        time.sleep(0.05)


def children(node):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield child


def descendants(node):
    stack = list(reversed(list(children(node))))
    while stack:
        node = stack.pop()
        yield node
        stack.extend(reversed(list(children(node))))


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def role(node):
    return node.getRoleName()


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def label_rows(node):
    """The labels under node as a reader going line by line meets them: rows top to bottom,
    each row left to right. A label whose middle lies within a row's height joins that row."""
    labels = []
    for label in descendants(node):
        if role(label) == "label" and showing(label):
            x, y, _, height = extents(label)
            labels.append((y + height / 2, y + height, x, label.name))
    labels.sort()
    rows = []
    for middle, bottom, x, name in labels:
        if rows and middle <= rows[-1][0]:
            rows[-1][1].append((x, name))
        else:
            rows.append([bottom, [(x, name)]])
    return [[name for _, name in sorted(row)] for _, row in rows]


def volumo():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app.name == "Volumo":
            return app
    return None


def dialog_named(app, name):
    for node in children(app):
        if role(node) == "dialog" and node.name == name and showing(node):
            return node
    return None


def press(button):
    """Presses a button through its action, as a screen reader's "click" does; the request must
    be answered at once even when the button opens a modal dialog."""
    action = button.queryAction()
    names = [action.getName(index) for index in range(action.nActions)]
    started = time.monotonic()
    action.doAction(names.index("Press"))
    check(time.monotonic() - started < 2, f"pressing {button.name!r} kept the reader waiting")


def button_named(node, name):
    return next((b for b in descendants(node) if role(b) == "push button" and b.name == name),
                None)


def ungrouped(figure):
    return figure.split(" ")[0].replace(".", "").replace(",", "")


def read_drive_windows(app, expected):
    frame = wait_for(lambda: next((f for f in children(app) if role(f) == "frame"), None))
    if not check(frame is not None, "no main window"):
        return []
    check(frame.name == "Volumo von den Volumo-Entwicklern - Version 2.5.1",
          f"main window reads {frame.name!r}")
    caption = re.compile(r"^[C-Z]:\\$")
    windows = wait_for(lambda: [w for w in descendants(frame)
                                if caption.match(w.name or "") and showing(w)])
    # In reading order: by rows of the grid, each row left to right.
    windows.sort(key=lambda window: (extents(window)[1], extents(window)[0]))
    letters = [window.name for window in windows]
    print("drive windows:", letters)
    if expected:
        check(letters == list(expected["windows"]),
              f"drive windows {letters}, expected {list(expected['windows'])}")
    check(len(letters) > 0, "no drive window")

    grouped = re.compile(r"^\d{1,3}(\.\d{3})* GB =$")
    percent = re.compile(r"^\d{1,3}%$")
    for window in windows:
        rows = label_rows(window)
        print(f"  {window.name}: {rows}")
        if not check(len(rows) == 3 and all(len(row) == 3 for row in rows),
                     f"{window.name}: labels read as {rows}"):
            continue
        check([row[0] for row in rows] == ["Belegter Speicher", "Freier Speicher",
                                            "Speicherkapazität"],
              f"{window.name}: row captions {[row[0] for row in rows]}")
        for row in rows:
            check(grouped.match(row[1]) and percent.match(row[2]),
                  f"{window.name}: figures {row[1:]!r}")
        if expected and expected["windows"].get(window.name):
            figures = [figure for row in rows for figure in row[1:]]
            check(figures == expected["windows"][window.name],
                  f"{window.name}: figures {figures}, expected {expected['windows'][window.name]}")

        charts = [c for c in descendants(window) if role(c) == "chart"]
        if not check(len(charts) == 1, f"{window.name}: {len(charts)} charts"):
            continue
        chart = charts[0]
        print(f"  {window.name}: chart {chart.name!r}: {chart.description!r}")
        check(chart.name == "Laufwerksbelegung " + window.name,
              f"{window.name}: chart named {chart.name!r}")
        described = f"{ungrouped(rows[0][1])} GB belegt, {ungrouped(rows[1][1])} GB frei"
        check(chart.description == described,
              f"{window.name}: chart described as {chart.description!r}, shows {described!r}")
    return letters


def read_about(app):
    # A screen-reader user opens the about dialog from the keyboard: Alt+F opens "Fenster",
    # Right moves on to "?", whose first entry is "Info".
    registry = pyatspi.Registry
    alt = 1 << pyatspi.MODIFIER_ALT
    registry.generateKeyboardEvent(alt, None, pyatspi.KEY_LOCKMODIFIERS)
    registry.generateKeyboardEvent(ord("f"), None, pyatspi.KEY_SYM)
    registry.generateKeyboardEvent(alt, None, pyatspi.KEY_UNLOCKMODIFIERS)
    time.sleep(0.3)
    registry.generateKeyboardEvent(0xFF53, None, pyatspi.KEY_SYM)  # Right
    time.sleep(0.3)
    registry.generateKeyboardEvent(0xFF0D, None, pyatspi.KEY_SYM)  # Return
    about = wait_for(lambda: dialog_named(app, "Info"))
    if not check(about is not None, "the about dialog did not open from the keyboard"):
        return
    heard = [name for row in label_rows(about) for name in row]
    print("about:", heard)
    for text in ["Volumo", "Laufwerks-Statistik", "2.5.1", "FREEWARE",
                 "Copyright © 2008-2026 das Volumo-Team", "e-Mail:", "info@volumo.example",
                 "Internet:", "https://volumo.example/"]:
        check(text in heard, f"about: {text!r} not read")
    # The ticker moves on while the dialog is open, and the reader hears it move.
    changed = wait_for(lambda: [n for row in label_rows(about) for n in row if n not in heard],
                       seconds=3)
    print("about, moments later:", changed)
    check(len(changed) == 1 and 0 < len(changed[0]) <= 40,
          f"about: the ticker read as {changed}")
    ok = button_named(about, "OK")
    if check(ok is not None, "about: no OK button"):
        check(ok.description == "Schließen", f"about: OK described as {ok.description!r}")
        press(ok)
        check(wait_for(lambda: dialog_named(app, "Info") is None), "about: OK did not close it")


def open_about_from_its_menu_entry(app):
    """Presses "Info" in the menu bar's "?" through its action, as a screen reader's "click" on a
    menu entry does: the request must be answered at once, and the dialog then opens."""
    frame = next((f for f in children(app) if role(f) == "frame"), None)
    entry = next((e for e in descendants(frame) if role(e) == "menu item" and e.name == "Info"),
                 None) if frame else None
    if not check(entry is not None, "no menu entry 'Info'"):
        return
    press(entry)
    about = wait_for(lambda: dialog_named(app, "Info"))
    if check(about is not None, "the about dialog did not open from its menu entry"):
        ok = button_named(about, "OK")
        if check(ok is not None, "about: no OK button"):
            press(ok)
            check(wait_for(lambda: dialog_named(app, "Info") is None),
                  "about: OK did not close it")


def read_total_overview(app, letters, expected):
    button = button_named(app, "Gesamtübersicht")
    if not check(button is not None, "no tool-bar button 'Gesamtübersicht'"):
        return
    press(button)
    overview = wait_for(lambda: dialog_named(app, "Gesamtübersicht"))
    if not check(overview is not None, "the total overview did not open"):
        return
    rows = label_rows(overview)
    print("total overview:", rows)
    heard = [name for row in rows for name in row]
    check(heard[:2] == ["Laufwerke:", heard[1] if len(heard) > 1 else ""],
          f"total overview starts with {heard[:2]}")
    drive_list = heard[1] if len(heard) > 1 else ""
    if expected:
        check(drive_list == expected["drive_list"], f"total overview lists {drive_list!r}")
    for letter in letters:
        check(letter[:2] + "  " in drive_list, f"total overview does not list {letter[:2]}")
    figures = {}
    for row in rows[1:]:
        if len(row) == 3:
            figures[row[0]] = row[1:]
    check(list(figures) == ["Belegter Speicher gesamt", "Freier Speicher gesamt",
                            "Speicherkapazität gesamt"], f"total overview rows {rows}")
    if len(figures) == 3:
        used, free, total = figures.values()
        sums = re.compile(r"^\d+ GB$")  # sums are never grouped
        share = re.compile(r"^ *\d{1,3}\.\d\d %$")
        for name, (amount, part) in figures.items():
            check(sums.match(amount) and share.match(part), f"{name}: {amount!r} {part!r}")
        check(total[1] == "100.00 %", f"total share {total[1]!r}")
        charts = [c for c in descendants(overview) if role(c) == "chart"]
        if check(len(charts) == 1, "total overview: no chart"):
            described = f"{ungrouped(used[0])} GB belegt, {ungrouped(free[0])} GB frei"
            check(charts[0].name == "Gesamtübersicht alle Laufwerke",
                  f"total overview chart named {charts[0].name!r}")
            check(charts[0].description == described,
                  f"total overview chart described as {charts[0].description!r}")
    ok = button_named(overview, "OK")
    if check(ok is not None, "total overview: no OK button"):
        press(ok)
        check(wait_for(lambda: dialog_named(app, "Gesamtübersicht") is None),
              "total overview: OK did not close it")


def main():
    expected = json.load(open(sys.argv[1], encoding="utf-8")) if len(sys.argv) > 1 else None
    app = wait_for(volumo, seconds=20)
    if app is None:
        print("Volumo never appeared on the accessibility bus")
        return 1
    letters = read_drive_windows(app, expected)
    read_about(app)
    open_about_from_its_menu_entry(app)
    read_total_overview(app, letters, expected)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
