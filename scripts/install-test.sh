#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a fresh folder as a normal user (root hands the work to `nobody`) and
# checks what an administrator would: nothing lands outside the prefix, the command and the links
# lead to the program, its settings and its catalogue, the user guide is there with its pictures,
# the desktop entry is valid and starts this prefix's program, which then runs (demo mode,
# offscreen) and writes its start to the log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${BUILD_DIR:-$root/build}}" && pwd)
fail() { echo "install-test: $*" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then
        # The program runs under runuser when root started this: end the program itself.
        pkill -TERM -P "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
prefix="$work/my programs/rovelin"   # a space on purpose: the desktop entry must quote it
as_user=()
manifest="$build/install_manifest.txt"
if [ "$(id -u)" -eq 0 ] && ! runuser -u nobody -- test -r "$build/cmake_install.cmake" -a -r "$root/app/rovelin.cfg"; then
    # A checkout in root's home cannot be read by anyone else; the prefix checks still hold.
    echo "install-test: the build is not readable for other users; installing as root instead"
elif [ "$(id -u)" -eq 0 ]; then
    chown nobody "$work"
    # CMake writes its list of installed files into the build folder, which the user cannot.
    touch "$manifest" && chown nobody "$manifest"
    as_user=(runuser -u nobody --)
fi
user=$("${as_user[@]}" id -un)
"${as_user[@]}" env HOME="$work" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install as $user failed"; }
[ ${#as_user[@]} -gt 0 ] && chown root "$manifest"

while IFS= read -r file; do
    case "$file" in "$prefix"/*) ;; *) fail "installed outside the prefix: $file" ;; esac
done <"$manifest"

program="$prefix/lib/rovelin/rovelin"
[ -x "$program" ] || fail "no program at lib/rovelin/rovelin"
[ "$(readlink -f "$prefix/bin/rovelin")" = "$program" ] || fail "bin/rovelin does not lead to the program"
cmp -s "$prefix/lib/rovelin/rovelin.cfg" "$root/app/rovelin.cfg" || fail "rovelin.cfg beside the program is not the default settings"
[ "$(readlink -f "$prefix/lib/rovelin/rovelin.cfg")" = "$prefix/etc/rovelin/rovelin.cfg" ] || fail "rovelin.cfg is not the one in etc/"
scenarios=$(find -L "$prefix/lib/rovelin/data/" -name experiment.txt | wc -l)
[ "$scenarios" -gt 0 ] || fail "the catalogue beside the program is empty"
scenarios_en=$(find -L "$prefix/lib/rovelin/data-en/" -name experiment.txt | wc -l)
[ "$scenarios_en" -eq "$scenarios" ] || fail "the English catalogue beside the program has $scenarios_en scenarios, the Russian one $scenarios"
guide="$prefix/share/doc/rovelin/guide"
for pages in "$guide" "$guide/en"; do
    [ -s "$pages/index.html" ] || fail "no user guide in ${pages#"$prefix"/}"
    for picture in $(grep -oh 'src="[^"]*"' "$pages"/*.html | sed 's/^src="//; s/"$//' | sort -u); do
        [ -s "$pages/$picture" ] || fail "the guide in ${pages#"$prefix"/} shows $picture, which is not installed"
    done
done
for size in 16 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/ru.rovelin.rovelin.png"
    [ -s "$png" ] || fail "no ${size} px icon"
    [ "$(file -b "$png" | grep -o "$size x $size")" = "$size x $size" ] || fail "the ${size} px icon is $(file -b "$png")"
done

desktop="$prefix/share/applications/ru.rovelin.rovelin.desktop"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -n 1)
exec_line=${exec_line% %f}   # the lesson file a file manager passes; none here
[ "$exec_line" = "\"$prefix/bin/rovelin\"" ] || fail "the menu entry starts $exec_line"

# Start the menu entry's command as the user, in demo mode with the log on.
eval "command=($exec_line)"
"${as_user[@]}" env HOME="$work" QT_QPA_PLATFORM=offscreen "${command[@]}" /LOG /DEMO >"$work/run.log" 2>&1 &
pid=$!
log="$prefix/lib/rovelin/rovelin.log"
for _ in $(seq 1 60); do
    [ -s "$log" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 1
done
[ -s "$log" ] || { cat "$work/run.log" >&2; fail "the installed program wrote no log beside itself"; }
echo "install-test: installed as $user into a temporary prefix; $scenarios scenarios; the program started"
