#!/usr/bin/env bash
# Builds the fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
# Usage: fuzz/run.sh SECONDS
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$here/out"
mkdir -p "$out"

sources=$(ls "$root"/src/geometry/*.cpp "$root"/src/earth/*.cpp "$root"/src/driver/*.cpp | grep -v '/main.cpp$')
clang++ -std=c++20 -O1 -g -ffp-contract=off -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
  -I"$root/src" "$here/fuzz_run.cpp" $sources -o "$out/fuzz_run"

# Work corpus: the kept seeds, the examples and the test files.
work="$here/corpus-work"
mkdir -p "$work"
cp "$here"/corpus/* "$root"/examples/*.txt "$root"/tests/driver/cases/*.txt "$work"/ 2>/dev/null || true

UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
  "$out/fuzz_run" -timeout=5 -max_len=8192 -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$out/" "$work" "$here/corpus"
