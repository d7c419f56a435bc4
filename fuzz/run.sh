#!/usr/bin/env bash
# Builds every libFuzzer target with clang (ASan, UBSan) from the CMake targets
# and runs each in turn; the seconds given are split between them.
# Usage: fuzz/run.sh SECONDS
# A finding stops the run with a non-zero status; the input that caused it is
# left in fuzz/out/.
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# SIGHTLINE_FUZZ_BUILD: a build folder configured with clang and -DSIGHTLINE_FUZZ=ON
# already (CI's sanitizer build); otherwise build-fuzz is configured here.
build="${SIGHTLINE_FUZZ_BUILD:-$root/build-fuzz}"
out="$here/out"
mkdir -p "$out"

if [ -z "${SIGHTLINE_FUZZ_BUILD:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSIGHTLINE_FUZZ=ON -DSIGHTLINE_BUILD_TESTS=OFF -DSIGHTLINE_BUILD_BENCHMARKS=OFF -DSIGHTLINE_BUILD_PYTHON=OFF >/dev/null
fi
cmake --build "$build" -j2 --target sightline_fuzzers

mapfile -t fuzzers < "$build/fuzzers.txt"
count=${#fuzzers[@]}
[ "$count" -gt 0 ] || { echo "no fuzzers registered" >&2; exit 1; }
share=$(( seconds / count > 0 ? seconds / count : 1 ))

for entry in "${fuzzers[@]}"; do
  read -r name seeds <<< "$entry"
  # Work corpus: starts from the seeds, keeps what the fuzzer finds interesting.
  work="$here/corpus-work/$name"
  mkdir -p "$work"
  for dir in $seeds; do
    if [ -d "$dir" ]; then find "$dir" -maxdepth 1 -type f -exec cp {} "$work"/ \; ; fi
  done
  echo "== $name: ${share} s"
  log="$out/$name.log"
  if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
    "$build/fuzz/$name" -timeout=5 -max_len=8192 -max_total_time="$share" -print_final_stats=1 \
    -artifact_prefix="$out/$name-" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name: finding (inputs in $out, log $log)" >&2
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" || true
done
