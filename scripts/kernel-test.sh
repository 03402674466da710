#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The kernel rig: boots Debian 12's own kernel in QEMU (TCG: no KVM needed) with a tiny busybox
# initramfs that mounts this machine's root read-only over 9p, and runs the sensor tests of
# tests/kernel on that kernel's drivers (ftdi_sio under QEMU's FTDI chip, hidraw under uhid). The
# kernel package is fetched once with apt-get download and kept, unpacked, in <build>/kernel-rig/.
#
#   scripts/kernel-test.sh [build folder] [GoogleTest options for the guest's tests]
#       build folder: default $BUILD_DIR, else build/; e.g. --gtest_filter='KernelHid.*' runs one suite
#
# Needs qemu-system-x86, busybox-static, cpio, kmod and xz-utils (scripts/packages.txt). Ends with 0
# when the tests passed, 1 when they failed, and 77 after saying why when this machine cannot run
# the rig at all (QEMU missing or unable to start, no kernel package to be had).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    build=$1
    shift
fi
build=$(cd "$build" && pwd)
rig=$build/kernel-rig
mkdir -p "$rig"

skip() {
    echo "kernel rig: SKIPPED: $*"
    exit 77
}
fail() {
    echo "kernel rig: FAILED: $*"
    exit 1
}

qemu=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed (package qemu-system-x86)"
echo quit | "$qemu" -accel tcg -M none -nodefaults -display none -monitor stdio >/dev/null 2>&1 ||
    skip "QEMU cannot start on this machine ($qemu -accel tcg -M none fails)"
for tool in busybox cpio depmod modprobe xz dpkg-deb apt-get; do
    command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/install-deps.sh installs it)"
done
busybox=$(command -v busybox)
file -L "$busybox" | grep -q 'statically linked' || fail "$busybox is not static (package busybox-static)"

# The kernel: the package linux-image-amd64 points at, downloaded once.
deb=$(ls "$rig"/linux-image-*-amd64_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    kernel_package() {
        apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
    }
    package=$(kernel_package)
    if [ -z "$package" ] && [ "$(id -u)" -eq 0 ]; then
        apt-get update -q >/dev/null 2>&1 || true
        package=$(kernel_package)
    fi
    [ -n "$package" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
    echo "kernel rig: downloading $package"
    (cd "$rig" && apt-get download "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed') ||
        skip "cannot download $package"
    deb=$(ls "$rig"/linux-image-*-amd64_*.deb | head -n 1)
fi
unpacked=$rig/kernel
if [ ! -f "$unpacked/.done" ] || [ "$(cat "$unpacked/.done")" != "$(basename "$deb")" ]; then
    rm -rf "$unpacked"
    dpkg-deb -x "$deb" "$unpacked"
    version=$(ls "$unpacked/lib/modules")
    depmod -b "$unpacked" "$version"
    # QEMU boots the bare kernel (an ELF with a PVH entry) straight away; the compressed image
    # would first unpack itself, which takes many seconds without hardware virtualisation.
    image=$unpacked/boot/vmlinuz-$version
    offset=$(LC_ALL=C grep -obUa $'\xfd7zXZ' "$image" | head -n 1 | cut -d: -f1 || true)
    if [ -n "$offset" ]; then
        tail -c +$((offset + 1)) "$image" | xz -dc >"$unpacked/vmlinux" 2>/dev/null || true
    fi
    basename "$deb" >"$unpacked/.done"
fi
version=$(ls "$unpacked/lib/modules")
kernel=$unpacked/vmlinux
if ! head -c 4 "$kernel" 2>/dev/null | grep -q 'ELF'; then
    kernel=$unpacked/boot/vmlinuz-$version
fi

# The initramfs: busybox, the init of tests/kernel and the modules the tests need, in load order.
initramfs=$rig/initramfs
rm -rf "$initramfs"
mkdir -p "$initramfs"/{bin,proc,sys,dev,host,lib/rig-modules}
cp "$busybox" "$initramfs/bin/busybox"
cp "$root/tests/kernel/init" "$initramfs/init"
chmod 755 "$initramfs/init"
n=0
for module in $(modprobe -d "$unpacked" -S "$version" --show-depends -a \
    9p 9pnet_virtio virtio_pci xhci_pci ftdi_sio uhid hid_generic | awk '$1 == "insmod" && !seen[$2]++ { print $2 }'); do
    n=$((n + 1))
    cp "$module" "$initramfs/lib/rig-modules/$(printf %02d $n)-$(basename "$module")"
done
[ "$n" -gt 0 ] || fail "no modules found in $deb"
(cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -1 >"$rig/initramfs.gz")

cmake --build "$build" --target rovelin_kernel_rig rovelin_kernel_guest >/dev/null
echo "kernel rig: booting $(basename "$deb") in QEMU (TCG); the whole run takes a few minutes"
status=0
"$build/bin/rovelin_kernel_rig" --qemu "$qemu" --kernel "$kernel" --initrd "$rig/initramfs.gz" \
    --guest "$build/bin/rovelin_kernel_guest" --workdir "$rig/run" --timeout 540 \
    -- --gtest_color=no "$@" | tee "$rig/rig.log" || status=$?
grep '^guest.*rig figure:' "$rig/rig.log" | sed 's/^guest[^|]*| rig figure: /kernel rig figure: /' || true
[ "$status" -eq 0 ] || fail "see $rig/rig.log"
echo "kernel rig: passed"
