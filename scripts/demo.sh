#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh machine, builds the program and starts it in demo mode on the sample catalogue:
# simulated T100, L200, K330 and P620 sensors are listed beside real ones, so a whole measurement
# runs without hardware. Extra arguments go to the program (for example /LOG).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)" --target rovelin
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  cat >&2 <<MSG
demo: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set).
Start the program on a desktop session, or run it on a virtual screen:
  xvfb-run -a -s "-screen 0 1280x800x24" $build/bin/rovelin /DEMO
and take a screenshot with: import -window root shot.png   (package imagemagick),
or let scripts/screenshot.sh picture a whole demo run.
MSG
  exit 2
fi
exec "$build/bin/rovelin" /DEMO "$@"
