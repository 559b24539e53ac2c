#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for SECONDS
# (default 30): fuzz.sh [SECONDS]. Findings stop the run and leave crash-* files.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
status=0
for target in primitives line script; do
  clang++-14 "${flags[@]}" text/byte_text.cpp text/script.cpp "tests/fuzz/fuzz_$target.cpp" -o "$out/fuzz_$target"
  mkdir -p "$out/corpus_$target"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$out/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$out/" "$out/corpus_$target" tests/fuzz/corpus 2>"$out/fuzz_$target.log"; then
    tail -40 "$out/fuzz_$target.log"; status=1
  fi
  grep -E "stat::number_of_executed_units|Done" "$out/fuzz_$target.log" | tail -2
done
exit $status
