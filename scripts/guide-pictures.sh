#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the user guide's pictures anew in one interface language: the app suite's picture case drives
# the real window on a virtual X screen over the sample catalogue with the simulated sensors (a
# light-and-shadow run with labelled points, markers, the report, the table, a pulse run, the boxes,
# the start page) and saves each state. ru writes docs/guide/images/, en docs/guide/en/images/.
# Takes about two minutes: the runs go at the sensors' own pace.
#   scripts/guide-pictures.sh [ru|en]      (BUILD_DIR: the build to use, build/ by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
language=${1:-ru}
case "$language" in
  ru) target=$root/docs/guide/images; lang=ru_RU.UTF-8; languages=ru; folder=Уроки ;;
  en) target=$root/docs/guide/en/images; lang=en_GB.UTF-8; languages=en_GB:en; folder=Lessons ;;
  *) echo "guide-pictures: the language is ru or en, not '$language'" >&2; exit 2 ;;
esac
if ! command -v xvfb-run >/dev/null; then
  echo "guide-pictures: xvfb-run is missing (apt-get install xvfb)" >&2
  exit 2
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target app_tests
mkdir -p "$target"
# A fresh home: no settings, recent lessons or autosave of the person running it.
home=$(mktemp -d)
# The lessons go to a folder with a plain name: the start page's recent lessons show it.
pupil=${TMPDIR:-/tmp}/pupil
[ -e "$pupil" ] && { echo "guide-pictures: $pupil is in the way; move it" >&2; exit 2; }
trap 'rm -rf "$home" "$pupil"' EXIT
mkdir -p "$pupil/$folder"
env -u LC_ALL -u LC_MESSAGES HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" \
  LANG="$lang" LANGUAGE="$languages" ROVELIN_GUIDE_PICTURES="$target" \
  ROVELIN_GUIDE_LESSONS="$pupil/$folder" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1366x768x24" \
  "$build/bin/app_tests" --gtest_also_run_disabled_tests --gtest_filter='tGuidePictures.DISABLED_OfTheWindowInItsLanguage'
# Smaller files where the optimiser is at hand; the pictures are the same either way.
if command -v optipng >/dev/null; then
  optipng -quiet -o2 "$target"/*.png
fi
echo "guide-pictures: $target"
