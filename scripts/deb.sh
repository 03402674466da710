#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb and its -dbgsym package from a build folder and checks them as Debian would:
# lintian (no errors, no warnings beyond the justified overrides in packaging/lintian-overrides),
# desktop-file-validate on the desktop entry, appstreamcli (pedantic) on the metainfo, the debug
# symbols belonging to the program (same build id, a debug link to them) and an Installed-Size
# that is the size of what gets installed. Without a configured build folder it makes one with
# Debian's hardening flags. Prints the package's path on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
source "$root/scripts/buildflags.sh"
build_for_packages "$root" "$build"
rm -f "$build"/rovelin_*.deb "$build"/rovelin-dbgsym_*.ddeb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/rovelin_*.deb)
ddeb=$(ls "$build"/rovelin-dbgsym_*.ddeb)
fail() { echo "deb: $*" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage/deb"
dpkg-deb -x "$ddeb" "$stage/dbgsym"
desktop-file-validate "$stage"/deb/usr/share/applications/*.desktop
appstreamcli validate --pedantic --no-net --explain "$stage"/deb/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error,warning "$deb" "$ddeb"

# The symbols are the program's own: the file named by its build id, and the program links to it.
program="$stage/deb/usr/lib/rovelin/rovelin"
build_id=$(readelf -n "$program" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
[ -n "$build_id" ] || fail "the program has no build id"
symbols="$stage/dbgsym/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug"
[ -s "$symbols" ] || fail "no debug symbols for build id $build_id in the -dbgsym package"
readelf -S "$symbols" 2>/dev/null | grep -q '\.debug_info' || fail "the -dbgsym file holds no debug information"
readelf -S "$program" | grep -q '\.debug_info' && fail "the program still carries its debug information"
readelf -p .gnu_debuglink "$program" | grep -q "${build_id:2}.debug" || fail "the program has no debug link"
# Installed-Size: the sizes of the files in KiB, rounded up per file, as dpkg counts them.
declared=$(dpkg-deb -f "$deb" Installed-Size)
real=$(find "$stage/deb" -mindepth 1 \( -type f -o -type l \) -printf '%s\n' |
    awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')
dirs=$(find "$stage/deb" -mindepth 1 -type d | wc -l)
[ "$declared" -ge "$real" ] && [ "$declared" -le $((real + dirs + 4)) ] ||
    fail "Installed-Size is $declared KiB, but the files take $real KiB"
echo "$deb"
