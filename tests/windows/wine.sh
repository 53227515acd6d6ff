#!/bin/sh
# Runs the test programs cross-built for Windows under Wine, in a throw-away prefix:
#   wine.sh --boot <prefix>                   makes the prefix and starts its wine server
#   wine.sh <prefix> <program.exe> [args...]  runs one program in it
#   wine.sh --clean <prefix>                  stops the server and removes the prefix
# A program learns what Linux says meanwhile: VOLUMO_C_SPACE and VOLUMO_Z_SPACE ("total free"
# in bytes, from statvfs of the folders C: and Z: stand for), and VOLUMO_OPENED, the file in
# which a stand-in xdg-open first on PATH records the links Wine hands on to Linux.
# Exits 77 (skipped) where Wine is missing.
set -eu
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[ -x "$wine" ] || {
    echo "SKIPPED: Wine (wine64) is not installed; scripts/install-deps test installs it"
    exit 77
}
export WINEDEBUG=-all
# No Mono or Gecko to install: these tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$1" in
--boot)
    export WINEPREFIX="$2"
    rm -rf "$WINEPREFIX"
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
    "$server" -w
    # Then a server and Wine's services that stay until --clean (or ten idle minutes, should the
    # suite be cut short), their output nowhere, so that no test waits on their pipes and each
    # program starts in a moment.
    "$server" -p600 </dev/null >/dev/null 2>&1
    "$wine" wineboot </dev/null >/dev/null 2>&1
    echo "Wine prefix ready: $WINEPREFIX"
    exit 0
    ;;
--clean)
    export WINEPREFIX="$2"
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    exit 0
    ;;
esac

export WINEPREFIX="$1"
shift
space() {
    # blocks, blocks available to a user, block size
    set -- $(stat -f -c '%b %a %S' "$1")
    echo "$(($1 * $3)) $(($2 * $3))"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$1" > "$work/opened"
SCRIPT
chmod +x "$work/xdg-open"
export PATH="$work:$PATH" VOLUMO_OPENED="$work/opened"
VOLUMO_C_SPACE=$(space "$WINEPREFIX/drive_c")
VOLUMO_Z_SPACE=$(space /)
export VOLUMO_C_SPACE VOLUMO_Z_SPACE
# Runs the program with its output shown as it comes and kept in $work/output.
run() {
    {
        "$wine" "$@" 2>&1 && echo 0 >"$work/status" || echo $? >"$work/status"
    } | tee "$work/output"
    status=$(cat "$work/status")
}
run "$@"
# Now and then Wine fails to start a program at all: it ends at once, before the program has
# printed a line (in the suite about once in a hundred runs, within 0.01 s). Such a start is
# tried once more, saying so; a program that ran and failed is never run again.
if [ "$status" -ne 0 ] && ! grep -qv '^wine' "$work/output"; then
    echo "wine.sh: Wine ended $1 with status $status before it printed a line of its own;" \
        "starting it once more"
    run "$@"
fi
exit "$status"
