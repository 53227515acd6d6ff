#!/bin/sh
# Builds the Debian package, unpacks it into a throw-away root and starts the installed volumo
# under Xvfb: the screen must then show a drive window's blue and fuchsia chart.
set -eu
build="$1"
work=$(mktemp -d)
trap 'kill $xvfb $volumo 2>/dev/null || true; rm -rf "$work"' EXIT
xvfb=""
volumo=""

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/volumo_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
case "$depends" in
*libqt6widgets6*) ;;
*) echo "dependencies were not computed from the binary"; exit 1 ;;
esac

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/volumo usr/share/applications/example.volumo.Volumo.desktop \
    usr/share/metainfo/example.volumo.Volumo.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/volumo.svg \
    usr/share/icons/hicolor/32x32/apps/volumo.png usr/share/icons/hicolor/64x64/apps/volumo.png; do
    test -e "$work/root/$file" || { echo "missing in the package: $file"; exit 1; }
done

. "$(dirname "$(readlink -f "$0")")/../xvfb.sh"
start_xvfb "$work"
env -u QT_QPA_PLATFORM DISPLAY="$display" "$work/root/usr/bin/volumo" >/dev/null 2>&1 &
volumo=$!
counts="no screenshot taken"
for attempt in 1 2 3 4 5 6 7 8 9 10; do
    sleep 1
    DISPLAY="$display" import -window root "$work/screen.png" 2>/dev/null || continue
    counts=$(convert "$work/screen.png" -depth 8 rgb:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
pixels = [data[i:i + 3] for i in range(0, len(data), 3)]
print(pixels.count(b"\x00\x00\xff"), pixels.count(b"\xff\x00\xff"))')
    set -- $counts
    if [ "$1" -gt 200 ] && [ "$2" -gt 200 ]; then
        echo "installed volumo shows a drive window: $1 blue and $2 fuchsia pixels"
        exit 0
    fi
done
echo "no drive window on screen (blue and fuchsia pixels: $counts)"
exit 1
