#!/usr/bin/env bash
# Builds the libFuzzer target with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# in build-fuzz and runs it for a number of seconds, 60 by default, starting from the
# committed seed corpus tests/fuzz/corpus. New inputs go to build-fuzz/corpus; the committed
# corpus is only read. Any finding stops the run and fails the script; the input that caused
# it is left in build-fuzz/ as crash-*, timeout-* or slow-unit-*.
#
#   bash tools/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
out=build-fuzz

bash tools/packages.sh clang libclang-rt-dev

cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DKALTRA_FUZZ=ON \
  -DKALTRA_TESTS=OFF -DKALTRA_BENCHMARKS=OFF >/dev/null
cmake --build "$out" -j"$(nproc)" --target kaltra_fuzz

mkdir -p "$out/corpus"
echo "== fuzzing for $seconds s"
"$out/tests/fuzz/kaltra_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=12288 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" tests/fuzz/corpus 2>&1 |
  tee "$out/fuzz.log" | grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|Done|stat::|==[0-9]+==|SUMMARY|.*: .*(record|count|finite|-999|error value|integer|kind|second))'
