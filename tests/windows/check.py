#!/usr/bin/env python3
"""Checks Volumo for Windows as a user meets it: the zip unpacked into a throw-away Wine prefix
under German regional settings and started under Xvfb.

  check.py <zip> <helpers> <pictures>

<helpers> is a folder with qt_window.exe, drive_space.exe and widgets_win_test.exe
(`cmake --install <build> --component probe`); they run from a second unpacked copy, so that the
unpacked zip holds only what it brings. The screenshots worth a look go into <pictures>.

Controls are found by what they say: windows by their title, buttons, menu entries and fields by
the words OCR reads on them. Prints one line per check and "N passed, M failed" at the end;
exits 0 when all passed, 1 when one failed, 77 (skipped) where a tool is missing.
"""
import difflib
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request
import zipfile
from dataclasses import dataclass
from pathlib import Path

import screen

WINE = "/usr/lib/wine/wine64"
SERVER = "/usr/lib/wine/wineserver64"
TITLE = "Volumo von den Volumo-Entwicklern - Version 2.5.1"
GIB = 1 << 30
TOOLS = {"Xvfb": "xvfb", "xdotool": "xdotool", "import": "imagemagick",
         "convert": "imagemagick", "identify": "imagemagick", "tesseract": "tesseract-ocr"}


@dataclass
class Word:
    text: str
    x: int
    y: int
    width: int
    height: int

    def centre(self):
        return self.x + self.width // 2, self.y + self.height // 2


@dataclass
class Box:
    x: int
    y: int
    width: int
    height: int


class Check:
    def __init__(self, work, pictures):
        self.work = work
        self.pictures = pictures
        self.passed = 0
        self.failed = 0
        self.processes = []

    def result(self, ok, text):
        if ok:
            self.passed += 1
            print("  passed:", text, flush=True)
        else:
            self.failed += 1
            print("  FAILED:", text, flush=True)

    # Wine and the display.

    def start_display(self):
        # Xvfb picks a free display and writes its number once it accepts clients.
        ready, told = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", "1100x850x24",
                                 "-nolisten", "tcp"], pass_fds=(told,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(told)
        self.processes.append(xvfb)
        number = b""
        while select.select([ready], [], [], 30)[0]:
            chunk = os.read(ready, 16)
            if not chunk:
                break
            number += chunk
            if number.endswith(b"\n"):
                break
        os.close(ready)
        if not number.strip():
            raise Failure("Xvfb did not start, so Wine has no display")
        return ":" + number.decode().strip()

    def start_wine(self):
        env = os.environ
        env["DISPLAY"] = self.start_display()
        env["WINEPREFIX"] = str(self.work / "prefix")
        env["WINEDEBUG"] = "-all"
        # No Mono or Gecko to install: nothing here needs them.
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        # A German user's regional settings: thousands grouped with a point.
        env["LANG"] = "de_DE.UTF-8"
        for name in ("LC_ALL", "LC_NUMERIC", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        log = self.work / "wineboot.log"
        with open(log, "w") as out:
            booted = subprocess.run([WINE, "wineboot", "--init"], stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=out).returncode == 0
        if not booted or subprocess.run([SERVER, "-w"]).returncode != 0:
            lines = log.read_text(errors="replace").splitlines()
            raise Failure("Wine does not start: " + (lines[-1] if lines else "no output"))

    def stop(self):
        subprocess.run([SERVER, "-k"], stderr=subprocess.DEVNULL)
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()

    def start(self, folder, program, log=None, arguments=()):
        out = open(log, "w") if log else subprocess.DEVNULL
        process = subprocess.Popen([WINE, program, *arguments], cwd=folder,
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def run(self, folder, program, timeout=120):
        return subprocess.run([WINE, program], cwd=folder, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, errors="replace",
                              timeout=timeout)

    # What is on the screen.

    def window(self, title, seconds, pattern=None):
        """The X window titled exactly `title` (or matching the regular expression `pattern`),
        waited for up to `seconds`."""
        def found():
            wanted = pattern or "^" + re.escape(title) + "$"
            ids = subprocess.run(["xdotool", "search", "--name", wanted],
                                 capture_output=True, text=True).stdout.split()
            return ids[0] if ids else None
        return until(found, seconds)

    def settled(self, name, seconds=10):
        """A screenshot once two in a row are alike: what the windows show after a change."""
        previous = None

        def alike():
            nonlocal previous
            shot = self.shot(name)
            data = screen.load(shot)
            same = data == previous
            previous = data
            return shot if same else None
        return until(alike, seconds) or self.shot(name)

    def bounds(self, window):
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                               capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in shell.split())
        return Box(int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                   int(values["HEIGHT"]))

    def shot(self, name, box=None):
        path = self.work / name
        subprocess.run(["import", "-window", "root", path], stderr=subprocess.DEVNULL,
                       check=True)
        if box:
            crop(path, box)
        return path

    def words(self, picture, origin=(0, 0), scale=3):
        """The words OCR reads in a picture, with their boxes in screen coordinates (the
        picture's top-left corner at `origin`). Read in black and white and three times
        enlarged, since tesseract reads the 11-pixel coloured text poorly; at two thresholds,
        as the coloured figures need a high one and black menu entries in a frame a low one."""
        enlarged = self.work / "ocr.png"
        found = []
        for cut in (75, 50):
            subprocess.run(["convert", picture, "-colorspace", "Gray", "-threshold", f"{cut}%",
                            "-resize", f"{scale * 100}%", enlarged], check=True)
            tsv = subprocess.run(["tesseract", enlarged, "-", "--psm", "11", "tsv"],
                                 capture_output=True, text=True).stdout
            for line in tsv.splitlines()[1:]:
                fields = line.split("\t")
                if len(fields) == 12 and fields[11].strip():
                    left, top, width, height = (int(v) for v in fields[6:10])
                    found.append(Word(fields[11].strip(), origin[0] + left // scale,
                                      origin[1] + top // scale, max(1, width // scale),
                                      max(1, height // scale)))
        return found

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)

    def keys(self, *keys):
        subprocess.run(["xdotool", "key", *keys], check=True)


class Failure(Exception):
    """The check cannot go on at all."""


def until(answer, seconds):
    """Asks `answer` every half second until it gives something, for `seconds` at most; its
    last answer."""
    deadline = time.monotonic() + seconds
    while True:
        given = answer()
        if given or time.monotonic() > deadline:
            return given
        time.sleep(0.5)


def crop(picture, box):
    subprocess.run(["convert", picture, "-crop", f"{box.width}x{box.height}+{box.x}+{box.y}",
                    "+repage", picture], check=True)


def plain(text):
    """A word as compared: its letters, digits and question marks, in lower case. OCR takes
    brackets for braces, and a button's picture for a letter before its text."""
    return "".join(c for c in text.lower() if c.isalnum() or c == "?")


def word(words, text):
    """The word read as `text`; else the first that holds it (the "?" of a menu title read with
    its underline as "2?", "OK" with its button's tick as "YOK"); else the closest of those read
    with a letter or two wrong ("Spatte(n)")."""
    wanted = plain(text)
    found = (next((w for w in words if plain(w.text) == wanted), None) or
             next((w for w in words if wanted in plain(w.text)), None))
    if found or len(wanted) < 5:
        return found
    likeness = {id(w): difflib.SequenceMatcher(None, wanted, plain(w.text)).ratio()
                for w in words}
    best = max(words, key=lambda w: likeness[id(w)], default=None)
    return best if best and likeness[id(best)] >= 0.8 else None


def number_left_of(words, label):
    """The number nearest to the left of `label` on its line: the value of the field it
    labels (a spin box's arrows read as letters between the two)."""
    line = [w for w in words if w.x + w.width <= label.x and any(c.isdigit() for c in w.text)
            and abs(w.centre()[1] - label.centre()[1]) <= label.height]
    return max(line, key=lambda w: w.x + w.width, default=None)


def grouped(n):
    """A pattern for a whole number grouped in thousands as the drive windows group it; the
    reading may take the German point for a comma."""
    groups = []
    while n >= 1000:
        groups.insert(0, f"[.,]{n % 1000:03d}")
        n //= 1000
    return str(n) + "".join(groups)


def drive_space(check, probe):
    """What Windows reports for each drive: {letter: (total, free)}."""
    out = check.run(probe, "drive_space.exe").stdout
    space = {}
    for line in out.replace("\r", "").splitlines():
        letter, total, free = line.split()
        space[letter] = (int(total), int(free))
    return space


def figures_read(check, picture):
    """The figures on the screen, blanks dropped: "174 GB =" is looked for as "174GB".

    Told it reads figures only, tesseract no longer takes a 7 for a ?. Wine's stand-in face draws
    a zero that reads as an O and an 8 that touches its neighbour, and each enlargement and
    threshold misreads other digits of the 11-pixel text, so a figure counts as shown when one
    reading has it whole: six of the whole screen, and six of each line with a "GB" in it, read
    alone as one line, which tesseract reads better."""
    digits = check.work / "digits.png"
    only = ["-c", "tessedit_char_whitelist=0123456789O.GB=% "]
    text = ""
    for size in (300, 400, 500):
        for cut in (60, 75):
            subprocess.run(["convert", picture, "-colorspace", "Gray", "-resize", f"{size}%",
                            "-threshold", f"{cut}%", digits], check=True)
            text += subprocess.run(["tesseract", digits, "-", "--psm", "11", *only],
                                   capture_output=True, text=True).stdout
    lines = {}
    for found in check.words(picture):
        if "gb" in plain(found.text):
            lines.setdefault((found.x // 40, found.y // 8),
                             Box(max(0, found.x - 70), max(0, found.y - 4), 170,
                                 found.height + 8))
    for box in lines.values():
        for size in (300, 400):
            for cut in (50, 60, 75):
                subprocess.run(["convert", picture, "-crop",
                                f"{box.width}x{box.height}+{box.x}+{box.y}", "+repage",
                                "-colorspace", "Gray", "-resize", f"{size}%", "-threshold",
                                f"{cut}%", "-bordercolor", "white", "-border", "20", digits],
                               check=True)
                text += subprocess.run(["tesseract", digits, "-", "--psm", "7", *only],
                                       capture_output=True, text=True).stdout + "\n"
    return text.replace("O", "0").replace(" ", "")


def check_bare_qt(check, probe):
    qt = check.start(probe, "qt_window.exe")
    shown = check.window("Qt-Probe", 120)
    check.result(shown, "a bare Qt Widgets window opens under Wine" +
                 ("" if shown else ' (no window "Qt-Probe" in 120 s)'))
    qt.kill()


def check_widgets_win_test(check, probe):
    run = check.run(probe, "widgets_win_test.exe")
    (check.work / "widgets_win_test.log").write_text(run.stdout + run.stderr)
    if run.returncode == 0:
        check.result(True, "WM_SETTINGCHANGE reaches the separators; the shell's refusal comes "
                     f"back ({run.stdout.count('[       OK')} tests)")
    else:
        lines = [line for line in (run.stdout + run.stderr).splitlines()
                 if re.match(r"\[  FAILED|.*(Failure|Expected|Which is)", line)]
        check.result(False, "widgets_win_test.exe: " + " ".join(lines[:6]))


def check_drives(check, probe, before):
    """One drive window per drive of at least 1 GiB; their colours and figures. Returns the
    charts on screen."""
    expected = [letter for letter, (total, _) in before.items() if total >= GIB]
    until(lambda: len(screen.charts(check.shot("volumo.png"))[2]) >= len(expected), 60)
    # The free space of a busy disk may move by a GiB meanwhile: what Windows says after, too.
    after = drive_space(check, probe)
    picture = check.settled("volumo.png")
    shutil.copy(picture, check.pictures / "volumo-wine.png")
    blue, fuchsia, charts = screen.charts(picture)
    drives = " ".join(letter + ":" for letter in expected)
    if len(charts) == len(expected):
        check.result(True, f"one drive window per drive of at least 1 GiB: {len(charts)} "
                     f"({drives})")
    else:
        check.result(False, f"one drive window per drive of at least 1 GiB: {len(expected)} "
                     f"expected ({drives}), {len(charts)} charts on screen")
    check.result(blue > 200 and fuchsia > 200,
                 f"the screenshot holds the chart's blue ({blue} pixels) and fuchsia ({fuchsia})"
                 if blue > 200 and fuchsia > 200 else
                 f"the chart's blue and fuchsia: {blue} and {fuchsia} pixels")

    text = figures_read(check, picture)
    shown, missing = [], []
    for letter in expected:
        total = before[letter][0] // GIB
        for free in (before[letter][1], after.get(letter, before[letter])[1]):
            free //= GIB
            used = total - free
            if all(re.search(f"(^|[^0-9]){grouped(figure)}GB", text)
                   for figure in (used, free, total)):
                shown.append(f"{letter}: {used} + {free} = {total} GB")
                break
        else:
            free = before[letter][1] // GIB
            missing.append(f"{letter}: {total - free} + {free} = {total} GB")
    if missing:
        read = " ".join(line for line in text.splitlines() if "GB" in line)
        check.result(False, "figures not read on screen as Windows reports them: " +
                     " ".join(missing) + f" (read: {read})")
    else:
        check.result(True, "the figures equal GetDiskFreeSpaceExW's: " + " ".join(shown))
    return charts


def open_about(check, main):
    """Opens "?" > "Info" with the mouse: the menu's title read in the menu bar, its entry read
    in the menu that opens."""
    box = check.bounds(main)
    top = Box(box.x, box.y, box.width, 60)
    question = word(check.words(check.shot("menubar.png", top), (top.x, top.y)), "?")
    if not question:
        return 'no menu "?" read in the menu bar'
    check.click(*question.centre())
    below = Box(question.x, question.y, 300, 200)
    entry = until(lambda: word(check.words(check.shot("menu.png", below), (below.x, below.y)),
                               "Info"), 10)
    if not entry:
        check.keys("Escape")
        return 'no entry "Info" read in the menu "?"'
    check.click(*entry.centre())
    return None


def check_about(check, main):
    problem = open_about(check, main)
    about = None if problem else check.window("Info", 10)
    if not about:
        check.result(False, 'the about dialog did not open from "?" > "Info"' +
                     (f": {problem}" if problem else ""))
        return
    box = check.bounds(about)
    first = until(lambda: screen.ticker_text(check.shot("about1.png", box)), 10)
    # The ticker steps on a timer: it counts as moving when it shows another text within 5 s.
    moved = first is not None and until(
        lambda: screen.ticker_text(check.shot("about2.png", box)) not in (first, None), 5)
    shutil.copy(check.shot("about.png"), check.pictures / "volumo-wine-about.png")
    check.result(moved, "the about dialog opens and its ticker moves" if moved else
                 "the about dialog's ticker: " + ("none" if first is None else "still"))
    check.keys("Return")
    until(lambda: not check.window("Info", 0), 10)


def check_settings(check, charts):
    """One row and one column in the settings dialog: the first drive window fills the
    frame."""
    before = max((chart[0] for chart in charts), default=0)
    tool = word(check.words(check.shot("tools.png")), "Einstellungen")
    if tool:
        check.click(*tool.centre())
    dialog = check.window("Einstellungen", 20) if tool else None
    if not dialog:
        check.result(False, "the settings dialog did not open from the tool bar's "
                     '"Einstellungen"' + ("" if tool else ' (not read on the screen)'))
        return
    box = check.bounds(dialog)

    def drawn():
        read = check.words(check.shot("settings.png", box), (box.x, box.y))
        return read if word(read, "OK") else None
    words = until(drawn, 10) or []
    # Each spin box stands left of its label and shows its number.
    for label in ("Zeile(n)", "Spalte(n)"):
        field = word(words, label)
        field = field and number_left_of(words, field)
        if not field:
            check.result(False, f'the settings dialog: no field read left of "{label}" (read: '
                         + " ".join(w.text for w in words) + ")")
            check.keys("Escape")
            return
        check.click(*field.centre())
        check.keys("Down", "Down", "Down", "Down")
    ok = word(words, "OK")
    if not ok:
        check.result(False, 'the settings dialog: no button "OK" read')
        check.keys("Escape")
        return
    check.click(*ok.centre())

    def largest():
        return max((chart[0] for chart in screen.charts(check.shot("grid.png"))[2]), default=0)
    until(lambda: largest() > 2 * before, 20)
    picture = check.settled("grid.png")
    shutil.copy(picture, check.pictures / "volumo-wine-grid.png")
    after = max((chart[0] for chart in screen.charts(picture)[2]), default=0)
    if after > 2 * before:
        check.result(True, "the settings dialog changes the grid: the largest chart grows from "
                     f"{before} to {after} pixels at one row and one column")
    else:
        check.result(False, f"the settings dialog's grid: largest chart {before} before, "
                     f"{after} after")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def answers(url):
    try:
        with urllib.request.urlopen(url, timeout=2) as reply:
            return reply.read().decode(errors="replace")
    except OSError:
        return None


def check_other_machine(check, program):
    """volumo.exe reads another machine from Debian's prometheus on a loopback port, which scrapes
    a prometheus-node-exporter of this machine's filesystems under the name host-wine."""
    tools = ("prometheus", "prometheus-node-exporter")
    if not all(shutil.which(tool) for tool in tools):
        print("  skipped: another machine through Prometheus (prometheus and "
              "prometheus-node-exporter not installed; scripts/install-deps test installs them)")
        return
    exporter_port, server_port = free_port(), free_port()
    folder = check.work / "prometheus"
    folder.mkdir()
    (folder / "prometheus.yml").write_text(
        "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
        "scrape_configs:\n  - job_name: node\n    static_configs:\n"
        f"      - targets: ['127.0.0.1:{exporter_port}']\n        labels: {{instance: host-wine}}\n")
    for command in (["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{exporter_port}",
                     "--collector.disable-defaults", "--collector.filesystem"],
                    ["prometheus", f"--config.file={folder / 'prometheus.yml'}",
                     f"--storage.tsdb.path={folder / 'data'}",
                     f"--web.listen-address=127.0.0.1:{server_port}"]):
        check.processes.append(subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                                stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL))
    url = f"http://127.0.0.1:{server_port}"
    query = url + "/api/v1/query?query=" + urllib.parse.quote('up{instance="host-wine"}')
    if not until(lambda: '"value"' in (answers(query) or "") and '"1"]' in answers(query), 60):
        check.result(False, "another machine through Prometheus: the server never scraped it")
        return
    check.start(program, "volumo.exe", check.work / "volumo-remote.log",
                ["--prometheus", url, "--rechner", "host-wine"])
    title = TITLE + " \u2013 host-wine"
    # X's older title property, which xdotool searches, may hold the dash in another encoding.
    window = check.window(title, 120, "^" + re.escape(TITLE) + " .+ host-wine$")
    if not window:
        shown = subprocess.run(["xdotool", "search", "--name", "Volumo", "getwindowname", "%@"],
                               capture_output=True, text=True).stdout.split("\n")
        said = (check.work / "volumo-remote.log").read_text(errors="replace").splitlines()[-3:]
        check.result(False, f'another machine: no window "{title}" within 120 s (windows: '
                     f'{"; ".join(name for name in shown if name)}; the program said: '
                     f'{" / ".join(said)})')
        return
    shown = until(lambda: len(screen.charts(check.shot("remote.png"))[2]) > 0, 60)
    shutil.copy(check.work / "remote.png", check.pictures / "volumo-wine-remote.png")
    check.result(shown, "volumo.exe connects to a Prometheus server on loopback and shows the "
                 "volumes of its machine host-wine" + ("" if shown else " (no chart on screen)"))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    package, helpers, pictures = (Path(arg).resolve() for arg in sys.argv[1:])
    missing = sorted({package for tool, package in TOOLS.items() if not shutil.which(tool)} |
                     ({"wine64"} if not os.access(WINE, os.X_OK) else set()))
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not installed; scripts/install-deps test "
              "installs them")
        return 77
    pictures.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        check = Check(Path(folder), pictures)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
        try:
            check.start_wine()
            drive_c = check.work / "prefix" / "drive_c"
            with zipfile.ZipFile(package) as unpacked:
                unpacked.extractall(drive_c)
                unpacked.extractall(drive_c / "probe")
            program = drive_c / "Volumo"
            probe = drive_c / "probe" / "Volumo"
            for helper in helpers.glob("*.exe"):
                shutil.copy(helper, probe)

            check_bare_qt(check, probe)
            check_widgets_win_test(check, probe)
            before = drive_space(check, probe)
            volumo = check.start(program, "volumo.exe", check.work / "volumo.log")
            main_window = check.window(TITLE, 120)
            check.result(main_window, f'the main window "{TITLE}" appears' +
                         ("" if main_window else " (not within 120 s)"))
            if main_window:
                charts = check_drives(check, probe, before)
                check_about(check, main_window)
                check_settings(check, charts)
            # One program at a time: the one above goes, the one reading Prometheus comes.
            volumo.kill()
            volumo.wait()
            check_other_machine(check, program)
        except Failure as failure:
            check.result(False, str(failure))
        finally:
            check.stop()
    print("screenshots:", *(pictures / name for name in
                            ("volumo-wine.png", "volumo-wine-about.png", "volumo-wine-grid.png",
                             "volumo-wine-remote.png")))
    print(f"{check.passed} passed, {check.failed} failed")
    return 0 if check.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
