#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb from a build folder and checks it as Debian would: lintian (no errors, no
# warnings beyond the justified overrides in packaging/lintian-overrides), desktop-file-validate on
# the desktop entry and appstreamcli on the metainfo. Without a configured build folder it makes one
# with Debian's hardening flags. Prints the package's path on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/CPackConfig.cmake" ]; then
    source "$root/scripts/buildflags.sh"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${deb_cmake_flags[@]}"
fi
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/rovelin_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/rovelin_*.deb)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage"/usr/share/applications/*.desktop
appstreamcli validate --no-net --explain "$stage"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error,warning "$deb"
echo "$deb"
