#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures a real demo run for the README: the integration suite's screenshot case drives the program
# on a virtual X screen (pulse scenario, 14 s run, a labelled point, a marker on the rate chart) and
# saves the window. Needs a configured build (scripts/test.sh or scripts/demo.sh made one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
target=${1:-$root/docs/screenshot.png}
if ! command -v xvfb-run >/dev/null; then
  echo "screenshot: xvfb-run is missing (apt-get install xvfb)" >&2
  exit 2
fi
if [ ! -f "$build/build.ninja" ]; then
  echo "screenshot: no build in $build yet; run scripts/test.sh (or scripts/demo.sh) first" >&2
  exit 2
fi
cmake --build "$build" --target test_integration
mkdir -p "$(dirname "$target")"
ROVELIN_SCREENSHOT=$target QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/test_integration" --gtest_also_run_disabled_tests --gtest_filter='*ScreenshotOfAPulseRun'
echo "screenshot: $target"
