#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The CPU share of a pulse run in the real window on a virtual X screen of 1366x768 (the program
# starts maximised): per minute and the median, for the process and for the window's thread.
#   bench/app/pulse_cpu.sh [minutes]   (after a build; BUILD_DIR selects another build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" --target pulse_cpu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24" "$build/bin/pulse_cpu" "${1:-10}"
