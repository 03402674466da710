#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs atspi_walk.py against the real program: a fresh HOME, a private D-Bus session (which starts
# the AT-SPI bus on demand) and a virtual X screen. Exits 77 (skipped) with the reason when a piece
# is missing; scripts/packages.txt lists them.
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v dbus-run-session >/dev/null || skip "no dbus-run-session (package dbus-daemon)"
command -v xvfb-run >/dev/null || skip "no xvfb-run (package xvfb)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "no AT-SPI bus (package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "no pyatspi (package python3-pyatspi)"
[ -x "$program" ] || skip "no program at $program"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
export XDG_CONFIG_DIRS=$home/xdg NO_AT_BRIDGE=0
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# A display number of its own: several test programs may start virtual screens at once.
display=$((100 + RANDOM % 800))
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
# The bus comes inside the screen, so the AT-SPI services it starts know the display.
exec xvfb-run -n "$display" -s '-screen 0 1280x800x24' dbus-run-session -- /usr/bin/python3 "$here/atspi_walk.py" "$program"
