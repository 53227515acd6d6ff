#!/bin/sh
# Runs a test program on Qt's X11 platform under an Xvfb of its own, for what the desktop's
# platform decides differently (X11 binds other keys than the offscreen platform does).
#   on_xvfb.sh <program> [arguments]
# Exits 77 (skipped) where Xvfb is missing.
set -eu
command -v Xvfb >/dev/null || {
    echo "SKIPPED: Xvfb (xvfb) is not installed (scripts/install-deps test installs it)"
    exit 77
}
work=$(mktemp -d)
xvfb=""
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
. "$(dirname "$(readlink -f "$0")")/xvfb.sh"
start_xvfb "$work"
# No session bus: the tests need none, and without an address libdbus tries to start one for the
# display and leaks a buffer that the sanitizer build's leak check reports.
XDG_RUNTIME_DIR="$work" DISPLAY="$display" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: \
    "$@"
