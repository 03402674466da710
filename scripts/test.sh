#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a fresh machine, builds everything with warnings as errors and Debian's hardening flags,
# runs the whole test suite and the kernel rig (scripts/kernel-test.sh), checks the .deb with its
# -dbgsym (lintian, desktop-file-validate, appstreamcli) and the .rpm (rpmlint), an install into a
# temporary prefix as a normal user and, as root, the .deb installed, used by root and two users
# and purged, then runs the suite once more under AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own.
# SKIP_SANITIZE=1 leaves the sanitizer pass out (a quicker local run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
asan_build=${ASAN_BUILD_DIR:-$root/build-asan}
jobs=$(nproc)
# Test programs start Qt; they never need a display.
export QT_QPA_PLATFORM=offscreen
# ccache keys on paths relative to the checkout, so a fresh clone elsewhere reuses earlier results.
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
source "$root/scripts/buildflags.sh"
step() { echo "== $* ($(date -u +%H:%M:%S))"; }

step "source checks (.clang-format, licence lines)"
bash "$root/scripts/format.sh" --check
bash "$root/scripts/spdx.sh" --check

step "build (-Werror, hardening flags)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROVELIN_WERROR=ON \
    "${deb_cmake_flags[@]}" ${CMAKE_EXTRA_ARGS:-}
cmake --build "$build" -j "$jobs"
step "test suite"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 300)

step "kernel rig (sensors through a QEMU guest's own kernel drivers)"
rig_status=0
bash "$root/scripts/kernel-test.sh" "$build" || rig_status=$?
# 77: this machine cannot run QEMU at all; the script has said why.
[ "$rig_status" -eq 0 ] || [ "$rig_status" -eq 77 ] || exit "$rig_status"

step "fuzzing"
bash "$root/scripts/fuzz.sh" 30

step "packages"
BUILD_DIR=$build bash "$root/scripts/deb.sh"
BUILD_DIR=$build bash "$root/scripts/rpm.sh"
step "install into a temporary prefix"
bash "$root/scripts/install-test.sh" "$build"
step "the package installed, used and purged"
bash "$root/scripts/package-test.sh" "$build"

if [ -z "${SKIP_SANITIZE:-}" ]; then
    step "build with AddressSanitizer and UndefinedBehaviorSanitizer"
    # The window-free libraries' suites: the widget half would double the time of this pass, and the
    # code that reads outside input there (RTF, pictures, scenarios) is fuzzed under the same
    # sanitizers above. ROVELIN_ASAN_FOLDERS names other folders of tests/.
    cmake -S "$root" -B "$asan_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROVELIN_SANITIZE=ON \
        -DROVELIN_BENCH=OFF \
        -DROVELIN_TEST_FOLDERS="${ROVELIN_ASAN_FOLDERS:-foundation;platform;devices;measurement;lesson;analysis;session;sim}"
    cmake --build "$asan_build" -j "$jobs" --target tests/all
    step "test suite under the sanitizers"
    (cd "$asan_build/tests" && ctest --output-on-failure -j "$jobs" --timeout 600)
fi
step "done"
