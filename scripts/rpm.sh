#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .rpm for RPM-based school distributions from the same build folder as the .deb and
# checks it with rpmlint (no errors, no warnings) and for the files an administrator expects: the
# program, the settings as a configuration file that upgrades keep, the catalogue, the desktop
# entry, and nothing of Debian's own. Without a configured build folder it makes one with Debian's
# hardening flags. Prints the package's path on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
source "$root/scripts/buildflags.sh"
build_for_packages "$root" "$build"
rm -f "$build"/rovelin-*.rpm
(cd "$build" && cpack -G RPM >/dev/null)
rpm=$(ls "$build"/rovelin-[0-9]*.rpm)
fail() { echo "rpm: $*" >&2; exit 1; }

files=$(rpm -qlp "$rpm" 2>/dev/null)
for file in /usr/lib/rovelin/rovelin /usr/bin/rovelin /etc/rovelin/rovelin.cfg /usr/share/rovelin/data \
    /usr/share/rovelin/data-en /usr/share/applications/ru.rovelin.rovelin.desktop \
    /usr/share/metainfo/ru.rovelin.rovelin.metainfo.xml /usr/lib/udev/rules.d/70-rovelin.rules; do
    grep -qx "$file" <<<"$files" || fail "$file is missing"
done
grep -q lintian <<<"$files" && fail "Debian's lintian overrides are in the package"
rpm -qcp "$rpm" 2>/dev/null | grep -qx /etc/rovelin/rovelin.cfg || fail "rovelin.cfg is not a configuration file"
# Folders of the system stay the system's.
for dir in /usr/share/applications /usr/lib/udev/rules.d /usr/share/icons/hicolor; do
    grep -qx "$dir" <<<"$files" && fail "the package claims $dir"
done
report=$(rpmlint --config "$root/packaging/rpmlint.toml" "$rpm" 2>&1) || { echo "$report" >&2; fail "rpmlint failed"; }
grep -q ' 0 errors, 0 warnings' <<<"$report" || { echo "$report" >&2; fail "rpmlint warns"; }
tail -n 1 <<<"$report"
echo "$rpm"
