#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets of fuzz/ with clang in a build folder of their own and runs each one
# for the given number of seconds (default 30) from its seeds and the inputs that once crashed it.
# Fails when a target crashes; the input is then left in <build>/fuzz/crashes/<target>/.
#   bash scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
bash "$root/scripts/install-deps.sh"
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROVELIN_FUZZ=ON -DROVELIN_TESTS=OFF -DROVELIN_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target rovelin_fuzzers

export QT_QPA_PLATFORM=offscreen
# Qt keeps caches for the life of the process: only leaks that grow with the input count.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

run_target() {  # name regressions seeds...
  local name=$1 regressions=$2
  shift 2
  local corpus=$build/fuzz/corpus/$name crashes=$build/fuzz/crashes/$name
  mkdir -p "$corpus" "$crashes"
  local dirs=()
  [ -d "$regressions" ] && dirs+=("$regressions")
  for seed in "$@"; do
    # libFuzzer takes folders as corpora; a single seed file joins the working corpus.
    if [ -d "$seed" ]; then dirs+=("$seed"); else cp -f "$seed" "$corpus/"; fi
  done
  "$build/bin/fuzz_$name" "$corpus" "${dirs[@]}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=3072 -artifact_prefix="$crashes/" -print_final_stats=1 >"$build/fuzz/$name.log" 2>&1
}

mapfile -t lines < "$build/fuzz/targets.txt"
wanted=" $* "
pids=()
names=()
failed=()
for line in "${lines[@]}"; do
  read -r -a words <<<"$line"
  name=${words[0]}
  if [ $# -gt 0 ] && [[ $wanted != *" $name "* ]]; then continue; fi
  # One target per core at a time.
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  echo "fuzz: $name for ${seconds} s"
  run_target "${words[@]}" &
  pids+=($!)
  names+=("$name")
done
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then failed+=("${names[$i]}"); fi
done
for name in "${names[@]}"; do
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz/$name.log" |
    sed "s/^/fuzz: $name /" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  for name in "${failed[@]}"; do
    echo "fuzz: $name FAILED; the end of its log:" >&2
    tail -n 60 "$build/fuzz/$name.log" >&2
    echo "fuzz: keep the input as a regression case: cp $build/fuzz/crashes/$name/* fuzz/regressions/$name/" >&2
  done
  exit 1
fi
echo "fuzz: all ${#names[@]} targets ran ${seconds} s each without a crash"
