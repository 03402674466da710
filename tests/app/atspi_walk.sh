#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs atspi_walk.py against the real program: a fresh HOME, a private D-Bus session (which starts
# the AT-SPI bus on demand) and a virtual X screen. Exits 77 (skipped) with the reason when a piece
# is missing; scripts/packages.txt lists them.
set -u
program=$1
language=${2:-ru}  # the system language the program runs with: ru or en
here=$(cd "$(dirname "$0")" && pwd)
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v dbus-run-session >/dev/null || skip "no dbus-run-session (package dbus-daemon)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "no AT-SPI bus (package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "no pyatspi (package python3-pyatspi)"
[ -x "$program" ] || skip "no program at $program"

# A network namespace of its own where this machine allows one: the screen's and the buses'
# abstract sockets are then this walk's alone, whatever else runs on the machine.
if [ -z "${ROVELIN_WALK_ISOLATED:-}" ] && unshare -n true 2>/dev/null; then
    ROVELIN_WALK_ISOLATED=1 exec unshare -n bash "$0" "$@"
fi
command -v Xvfb >/dev/null || skip "no Xvfb (package xvfb)"

home=$(mktemp -d)
xvfb=
trap 'stop_screen; rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
export XDG_CONFIG_DIRS=$home/xdg NO_AT_BRIDGE=0
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

stop_screen() {
    [ -n "$xvfb" ] || return 0
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=
}

# The server picks a free display itself and writes its number, then a newline, once it takes
# connections: other test programs start virtual screens at the same time, so no number chosen here
# is safe. A client then connects once before the walk, so a screen that is not really there is
# told apart from a program that cannot start.
start_screen() {
    : >"$home/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$home/display" 2>"$home/xvfb.log" &
    xvfb=$!
    for _ in $(seq 300); do
        [ "$(tail -c 1 "$home/display")" = "" ] && [ -s "$home/display" ] && break
        kill -0 "$xvfb" 2>/dev/null || { cat "$home/xvfb.log"; echo "FAIL: Xvfb did not start"; return 1; }
        sleep 0.1
    done
    [ -s "$home/display" ] || { echo "FAIL: Xvfb gave no display in 30 s"; return 1; }
    export DISPLAY=:$(tr -d '[:space:]' <"$home/display")
    if command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>"$home/probe.log"; then
        echo "the virtual screen $DISPLAY takes no connection:"
        cat "$home/probe.log" "$home/xvfb.log"
        return 1
    fi
}

for attempt in 1 2; do
    start_screen || exit 1
    # The bus comes after the screen, so the AT-SPI services it starts know the display.
    dbus-run-session -- /usr/bin/python3 "$here/atspi_walk.py" "$program" "$language"
    status=$?
    if [ "$status" -ne 0 ] && ! kill -0 "$xvfb" 2>/dev/null; then
        echo "the virtual screen $DISPLAY had ended before the walk did (stopped from outside?):"
        cat "$home/xvfb.log"
    fi
    stop_screen
    # 75: the program ended before it reached the bus; once more on a new screen and bus, so a
    # program that never starts still fails, twice.
    [ "$status" -eq 75 ] && [ "$attempt" -eq 1 ] && { echo "once more on a new screen"; continue; }
    break
done
[ "$status" -eq 75 ] && status=1
exit "$status"
