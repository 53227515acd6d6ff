#!/bin/sh
# Starts volumo under Xvfb with a private D-Bus session and the AT-SPI registry, then lets
# screen_reader.py read it as a screen reader would. As root the volumes are ours to predict:
# in a private mount namespace (private_mounts) only "/" and tmpfs volumes of 931 GiB, 1863 GiB
# and 512 MiB are mounted, and the reader must hear exactly their figures.
#   atspi_test.sh <volumo binary> <private_mounts binary>
# Exits 77 (skipped) where the accessibility packages are missing.
set -eu
volumo=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")

skip() {
    echo "SKIPPED: $1"
    exit 77
}
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    skip "python3-pyatspi is not installed (scripts/install-deps test installs it)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "at-spi2-core is not installed"
command -v dbus-run-session >/dev/null || skip "dbus-run-session (dbus-daemon) is not installed"
command -v Xvfb >/dev/null || skip "Xvfb (xvfb) is not installed"
locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8' ||
    skip "the de_DE.UTF-8 locale is not generated (scripts/install-deps test generates it)"

if [ -z "${VOLUMO_MOUNTS:-}${VOLUMO_MOUNTS_SKIPPED:-}" ]; then
    exec "$2" a=931g b=1863g c=512m -- "$0" "$@"
fi

work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

expected=""
if [ -n "${VOLUMO_MOUNTS:-}" ]; then
    # 4 KiB written leave 930 whole GiB free on D:.
    head -c 4096 /dev/zero >"$VOLUMO_MOUNTS/a/file"
    expected="$work/expected.json"
    cat >"$expected" <<'JSON'
{"windows": {"C:\\": null,
             "D:\\": ["1 GB =", "0%", "930 GB =", "100%", "931 GB =", "100%"],
             "E:\\": ["0 GB =", "0%", "1.863 GB =", "100%", "1.863 GB =", "100%"]},
 "drive_list": "C:  D:  E:  F:  "}
JSON
    echo "reading volumo on tmpfs volumes of 931 GiB, 1863 GiB and 512 MiB"
else
    echo "$VOLUMO_MOUNTS_SKIPPED: reading volumo on this machine's volumes," \
        "each window checked against itself"
fi

. "$here/../xvfb.sh"
start_xvfb "$work"

# The bus's activated services (the accessibility bus, the registry that types keys) inherit
# this environment, DISPLAY included.
export DISPLAY="$display" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
export volumo here expected work
status=0
timeout 90 dbus-run-session -- sh -c '
    LC_ALL=de_DE.UTF-8 "$volumo" >"$work/volumo.log" 2>&1 &
    program=$!
    /usr/bin/python3 "$here/screen_reader.py" $expected
    status=$?
    kill $program 2>/dev/null
    exit $status' 2>"$work/bus.log" || status=$?
if [ "$status" != 0 ]; then
    echo "--- volumo said:"
    cat "$work/volumo.log"
    echo "--- the session bus said:"
    grep -v "fd limit" "$work/bus.log" || true
fi
exit "$status"
