# Sourced by the test scripts: start_xvfb <folder> starts Xvfb on a free display and waits until
# it accepts clients; then $display names it and $xvfb is its process.
start_xvfb() {
    mkfifo "$1/xvfb-ready"
    # Xvfb picks a free display and writes its number once it is ready.
    Xvfb -displayfd 3 -screen 0 1100x850x24 -nolisten tcp 3>"$1/xvfb-ready" >/dev/null 2>&1 &
    xvfb=$!
    number=""
    read -r number <"$1/xvfb-ready" || true
    if [ -z "$number" ]; then
        echo "Xvfb did not start"
        return 1
    fi
    display=":$number"
}
