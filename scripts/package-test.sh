#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the built .deb and its -dbgsym package the way an administrator does (as root, on a
# Debian machine without rovelin) and checks what a school network needs of them:
#   - root starts `rovelin /LOG`: the log goes to root's state folder, never into the program's;
#   - the window's class (WM_CLASS) is the desktop entry's id;
#   - two real users: one runs the program and has put a hostile /tmp/runtime-<other> and a lock
#     file of the old shared name into /tmp; the other still gets a window;
#   - `dpkg -P` leaves nothing of the package behind.
# Without root, on a machine where rovelin is installed already, or without the packages, it says
# so and does nothing. The build folder is the first argument (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${BUILD_DIR:-$root/build}}" && pwd)
say() { echo "package-test: $*"; }
fail() { echo "package-test: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then say "needs root to install the package; skipped"; exit 0; fi
if dpkg-query -W -f='${Status}' rovelin 2>/dev/null | grep -q 'install ok installed'; then
    say "rovelin is installed on this machine already; it is left alone and the test skipped"
    exit 0
fi
deb=$(ls "$build"/rovelin_*.deb 2>/dev/null | head -n 1)
ddeb=$(ls "$build"/rovelin-dbgsym_*.ddeb 2>/dev/null | head -n 1)
[ -n "$deb" ] && [ -n "$ddeb" ] || fail "no package in $build (run scripts/deb.sh first)"

key='{C4BC8DBF-CE0B-4714-985D-2AEEC4B4F6D6}'
pupils=(rovelin-test-pupil-a rovelin-test-pupil-b)
work=$(mktemp -d)
chmod 755 "$work"
pids=()
installed=0
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    for user in "${pupils[@]}"; do
        if id "$user" >/dev/null 2>&1; then
            for pid in $(pgrep -u "$user"); do kill -KILL "$pid" 2>/dev/null || true; done
            sleep 1
            userdel "$user" 2>/dev/null || true
        fi
        rm -rf "/tmp/runtime-$user"
    done
    rm -f "/tmp/$key.lock" "/tmp/$key.socket"
    [ $installed -eq 1 ] && dpkg -P rovelin-dbgsym rovelin >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "the package does not install"; }
installed=1
dpkg -i "$ddeb" >>"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "the -dbgsym package does not install"; }
desktop_id=$(basename "$(dpkg -L rovelin | grep '^/usr/share/applications/.*\.desktop$')" .desktop)

# Starts the installed program as `user` (root when empty) with a fresh home and no runtime folder,
# and waits until its log in that home's state folder says it started.
start() {
    local user=$1 home=$2 log=$2/.local/state/rovelin/rovelin.log
    local as=()
    [ -n "$user" ] && as=(runuser -u "$user" --)
    "${as[@]}" env -i PATH=/usr/bin:/bin HOME="$home" USER="${user:-root}" QT_QPA_PLATFORM=offscreen \
        rovelin /LOG /DEMO >"$home/run.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 60); do
        grep -q 'Запуск программы\.' "$log" 2>/dev/null && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 1
    done
    cat "$home/run.log" >&2
    return 1
}
# True while the program started last still runs (its window is up and the event loop going).
running() { sleep 3; kill -0 "${pids[-1]}" 2>/dev/null; }

# ---- root with /LOG ------------------------------------------------------------------------
mkdir -m 700 "$work/root-home"
start "" "$work/root-home" || fail "root's run wrote no log into its state folder"
running || fail "root's run ended"
[ -e /usr/lib/rovelin/rovelin.log ] && fail "root's run wrote its log into the program folder"
say "root's /LOG run logs into its state folder"

# ---- the window's class ----------------------------------------------------------------------
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    mkdir -m 700 "$work/x-home"
    # xwininfo -tree shows every window's WM_CLASS as ("instance" "class").
    wm_class=$(env -i PATH=/usr/bin:/bin HOME="$work/x-home" xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
        rovelin /DEMO >/dev/null 2>&1 &
        for _ in $(seq 1 60); do
            found=$(xwininfo -root -tree | grep -o "(\"rovelin\" \"[^\"]*\")" | head -n 1)
            [ -n "$found" ] && break
            sleep 1
        done
        echo "$found"
        kill $! 2>/dev/null')
    [ "$wm_class" = "(\"rovelin\" \"$desktop_id\")" ] ||
        fail "the window's class is ${wm_class:-unknown}, the desktop entry is $desktop_id"
    say "the window's class is the desktop entry's id ($desktop_id)"
else
    say "no xvfb-run or xwininfo: the window's class is not checked"
fi

# ---- two users, one of them hostile ------------------------------------------------------------
for user in "${pupils[@]}"; do
    if id "$user" >/dev/null 2>&1; then userdel "$user" >/dev/null 2>&1 || fail "a user $user is left from before"; fi
    useradd --no-create-home --home-dir "$work/$user" --shell /usr/sbin/nologin "$user"
    mkdir -m 700 "$work/$user"
    chown "$user:" "$work/$user"
done
a=${pupils[0]} b=${pupils[1]}
start "$a" "$work/$a" || fail "the first user's program did not start"
# The first user takes the second's runtime folder name and, in /tmp, the lock name a program
# without a runtime folder used to share, holding it for the running program of the first user.
runuser -u "$a" -- mkdir -m 700 "/tmp/runtime-$b"
pid_a=$(pgrep -u "$a" -x rovelin | head -n 1)
runuser -u "$a" -- sh -c "printf '%s\nrovelin\n%s\n' '$pid_a' \"\$(hostname)\" > '/tmp/$key.lock'"
start "$b" "$work/$b" || fail "with /tmp/runtime-$b taken by $a, $b's program did not start"
running || fail "$b's program ended"
lock_dir=$(find "$work/$b/.local/state/rovelin" -maxdepth 1 -name 'instance-*' -type d)
[ -n "$lock_dir" ] && [ "$(stat -c '%U %a' "$lock_dir")" = "$b 700" ] ||
    fail "$b's lock is not in a private folder of $b (${lock_dir:-none})"
say "$b's program came up beside $a's, with /tmp/runtime-$b and /tmp/$key.lock taken by $a"

# ---- purge -------------------------------------------------------------------------------------
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
pids=()
dpkg -P rovelin-dbgsym rovelin >>"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "dpkg -P failed"; }
installed=0
for path in /usr/lib/rovelin /usr/share/rovelin /etc/rovelin /usr/share/doc/rovelin /usr/bin/rovelin \
    "/usr/share/applications/$desktop_id.desktop" /usr/lib/udev/rules.d/70-rovelin.rules; do
    [ -e "$path" ] || [ -L "$path" ] && fail "$path is left after dpkg -P"
done
say "dpkg -P left nothing behind"
