#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two seats of one home on a real network file system, as schools keep pupils' homes on a server:
# starts sshd on 127.0.0.1 with throw-away keys, mounts one folder of this machine twice with
# sshfs (FUSE) — one mount per seat, as two computers would have — and runs two lesson_seat
# processes on them: 100 saves in turns, then 10 rounds of saving at the same moment. Every save
# must go through or be refused for what it is (another seat writing, changed elsewhere); no lesson
# may be lost or taken for damaged. Both seats keep their state folder on the mount, so their
# autosave and temporary files must go to this computer.
#
#   bash scripts/network-seats.sh <lesson_seat program> [turns]
#
# Exit status 0: all well; 77: skipped, with the reason (not root, no sshd/sshfs, no FUSE); else
# failed. Always unmounts and stops its sshd.
set -uo pipefail
seat_program=$1
turns=${2:-100}

skip() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" = 0 ] || skip "needs the superuser to start sshd and mount with FUSE"
for tool in /usr/sbin/sshd ssh-keygen sshfs fusermount mountpoint; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (packages openssh-server, sshfs)"
done
[ -c /dev/fuse ] || skip "no /dev/fuse on this machine"

work=$(mktemp -d /tmp/rovelin-seats.XXXXXX)
cleanup() {
    for mount in "$work/seat0" "$work/seat1"; do
        if mountpoint -q "$mount"; then fusermount -u "$mount" 2>/dev/null || umount -l "$mount"; fi
    done
    if [ -f "$work/sshd.pid" ]; then kill "$(cat "$work/sshd.pid")" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

mkdir -p "$work/home" "$work/seat0" "$work/seat1" "$work/baton" /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key" || skip "ssh-keygen failed"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key" || skip "ssh-keygen failed"
cp "$work/user_key.pub" "$work/authorized_keys"

# sshd on a free port of the loopback address.
port=
for attempt in 1 2 3 4 5; do
    candidate=$((20000 + RANDOM % 20000))
    cat >"$work/sshd_config" <<EOF
Port $candidate
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
StrictModes no
UsePAM no
Subsystem sftp internal-sftp
PidFile $work/sshd.pid
EOF
    /usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log" || continue
    for _ in $(seq 50); do
        [ -s "$work/sshd.pid" ] && break
        sleep 0.1
    done
    if [ -s "$work/sshd.pid" ]; then
        port=$candidate
        break
    fi
done
[ -n "$port" ] || skip "sshd does not start here: $(tail -n 3 "$work/sshd.log" 2>/dev/null)"

for seat in 0 1; do
    timeout 30 sshfs -o "IdentityFile=$work/user_key,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null" \
        -o "BatchMode=yes,port=$port,ServerAliveInterval=5" \
        "root@127.0.0.1:$work/home" "$work/seat$seat" 2>"$work/sshfs$seat.log" ||
        skip "sshfs cannot mount here: $(tail -n 2 "$work/sshfs$seat.log")"
    [ "$(stat -f -c %t "$work/seat$seat")" = 65735546 ] || skip "the mount is not FUSE"
done
echo "sshd on 127.0.0.1:$port, the home mounted twice over SSHFS"

echo 0 >"$work/baton/turn"
pids=()
for seat in 0 1; do
    XDG_STATE_HOME="$work/seat$seat/.local/state" timeout 150 "$seat_program" "$work/seat$seat" "$seat" "$turns" \
        "$work/baton" >"$work/seat$seat.out" 2>&1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
cat "$work/seat0.out" "$work/seat1.out"

# Read on the server's side: every turn's points are there, and nothing is left beside the lesson.
"$seat_program" --check "$work/home/общий урок.rovelin" "$turns" || status=1
left=$(find "$work/home" -maxdepth 1 -name '*.part' -o -maxdepth 1 -name '*.lock' -o -maxdepth 1 -name '*-journal')
if [ -n "$left" ]; then
    echo "left beside the lesson: $left"
    status=1
fi
if [ "$status" = 0 ]; then echo "two seats, $turns saves in turns: 0 lessons lost or refused as damaged"; fi
exit $status
