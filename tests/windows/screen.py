#!/usr/bin/env python3
"""Reads what a screenshot of Volumo shows, for the Wine check (check.py), which imports it; by
hand:
  screen.py charts <png>          "<blue pixels> <fuchsia pixels>" (the exact colours), then one
                                  line per chart: a patch of at least 300 pixels of blue,
                                  fuchsia and their blends (the slices' smoothed edges), as
                                  "<pixels> <x> <y> <width> <height>"
  screen.py ticker <png> <png>    the about dialog's ticker (aqua on navy) in both: "moved",
                                  "still" or "none"
"""
import subprocess
import sys

BLUE = (0, 0, 255)
FUCHSIA = (255, 0, 255)
NAVY = (0, 0, 128)
AQUA = (0, 255, 255)


def load(png):
    size = subprocess.run(["identify", "-format", "%w %h", png], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout
    return width, height, data


def pixel(data, width, x, y):
    i = 3 * (y * width + x)
    return data[i], data[i + 1], data[i + 2]


def charts(png):
    """The exact blue and fuchsia pixels, and the charts as (pixels, x, y, width, height), top
    to bottom."""
    width, height, data = load(png)
    wanted = set()
    blue = fuchsia = 0
    for y in range(height):
        for x in range(width):
            p = pixel(data, width, x, y)
            if p == BLUE:
                blue += 1
            elif p == FUCHSIA:
                fuchsia += 1
            # Full blue, no green: blue, fuchsia and every blend of the two, but not the navy
            # of title bars nor the smoothed edges against white.
            if p[2] > 200 and p[1] < 40:
                wanted.add((x, y))
    seen = set()
    patches = []
    for start in wanted:
        if start in seen:
            continue
        seen.add(start)
        stack = [start]
        count = 0
        left = right = start[0]
        top = bottom = start[1]
        while stack:
            x, y = stack.pop()
            count += 1
            left, right = min(left, x), max(right, x)
            top, bottom = min(top, y), max(bottom, y)
            for n in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if n in wanted and n not in seen:
                    seen.add(n)
                    stack.append(n)
        if count >= 300:
            patches.append((count, left, top, right - left + 1, bottom - top + 1))
    # A 3D pie's slices can meet along a darker edge and come out as two patches: patches whose
    # boxes touch or nearly do are one chart.
    merged = True
    while merged:
        merged = False
        for i in range(len(patches)):
            for j in range(i + 1, len(patches)):
                a, b = patches[i], patches[j]
                if (a[1] - 8 <= b[1] + b[3] and b[1] - 8 <= a[1] + a[3] and
                        a[2] - 8 <= b[2] + b[4] and b[2] - 8 <= a[2] + a[4]):
                    left, top = min(a[1], b[1]), min(a[2], b[2])
                    right = max(a[1] + a[3], b[1] + b[3])
                    bottom = max(a[2] + a[4], b[2] + b[4])
                    patches[i] = (a[0] + b[0], left, top, right - left, bottom - top)
                    del patches[j]
                    merged = True
                    break
            if merged:
                break
    return blue, fuchsia, sorted(patches, key=lambda p: (p[2], p[1]))


def ticker_text(png):
    width, height, data = load(png)
    navy = [(x, y) for y in range(height) for x in range(width)
            if pixel(data, width, x, y) == NAVY]
    if len(navy) < 1000:
        return None
    left = min(x for x, _ in navy)
    right = max(x for x, _ in navy)
    top = min(y for _, y in navy)
    bottom = max(y for _, y in navy)
    # The text's pixels: anything but the navy ground inside the ticker's box.
    return frozenset((x - left, y - top) for y in range(top, bottom + 1)
                     for x in range(left, right + 1)
                     if pixel(data, width, x, y) != NAVY)


def ticker(first, second):
    """Whether the ticker's text moved from one picture to the other: "moved", "still", or
    "none" where a picture shows no ticker."""
    a, b = ticker_text(first), ticker_text(second)
    if a is None or b is None:
        return "none"
    return "moved" if a != b else "still"


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "charts":
        blue, fuchsia, patches = charts(sys.argv[2])
        print(blue, fuchsia)
        for patch in patches:
            print(*patch)
    elif command == "ticker":
        print(ticker(sys.argv[2], sys.argv[3]))
    else:
        sys.exit("unknown command " + command)
