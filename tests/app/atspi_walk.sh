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

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
export XDG_CONFIG_DIRS=$home/xdg NO_AT_BRIDGE=0
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# The server picks a free display itself and writes its number once it takes connections: other
# test programs start virtual screens at the same time, so no number chosen here is safe.
command -v Xvfb >/dev/null || skip "no Xvfb (package xvfb)"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$home/display" 2>"$home/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 300); do
    [ -s "$home/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || { cat "$home/xvfb.log"; echo "FAIL: Xvfb did not start"; exit 1; }
    sleep 0.1
done
[ -s "$home/display" ] || { echo "FAIL: Xvfb gave no display in 30 s"; exit 1; }
export DISPLAY=:$(tr -d '[:space:]' <"$home/display")
# The bus comes after the screen, so the AT-SPI services it starts know the display.
dbus-run-session -- /usr/bin/python3 "$here/atspi_walk.py" "$program" "$language"
status=$?
if [ "$status" -ne 0 ] && ! kill -0 "$xvfb" 2>/dev/null; then
    echo "the virtual screen $DISPLAY had ended before the walk did (stopped from outside?):"
    cat "$home/xvfb.log"
fi
exit "$status"
