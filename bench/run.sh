#!/usr/bin/env bash
# Measures Kaltra's speed: builds the benchmarks in build-bench, counts the evaluations of every
# scenario, times every worksheet function and every part of the floor, counts their
# instructions under callgrind, times the cycle worksheet scaled to 100,000 cells through the
# kaltra host, and writes the tables to build-bench/tables.md (the tables of
# docs/performance.md).
#
#   bash bench/run.sh [repetitions]              default 9; the times are medians of these
#   bash bench/run.sh [repetitions] <revision>   the same, and the benchmark programs of the work
#                                                tree built on an earlier revision's code and run
#                                                just before, for a table of old against new
#
# The repetitions of all benchmarks are run in random order, so that a change in the load of
# the machine spreads over all of them instead of falling on a few.
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions="${1:-9}"
revision="${2:-}"
out=build-bench
bash tools/packages.sh
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" -j"$(nproc)" --target kaltra_bench kaltra_count kaltra Kaltra64
cmake --build "$out" -j"$(nproc)" --target kaltra_instructions 2>/dev/null || true  # needs valgrind's header

before=()
if [ -n "$revision" ]; then
  # The earlier code (read with git archive) with the work tree's benchmark programs and fluid data.
  rm -rf "$out/before" && mkdir -p "$out/before/src"
  git archive "$revision" CMakeLists.txt fluids host shell thermo transport examples | tar -x -C "$out/before/src"
  cp fluids/catalogue_data.cpp fluids/fitted_coefficients.h "$out/before/src/fluids/"
  cp -r bench "$out/before/src/bench"
  cp shell/table_functions.h "$out/before/src/shell/"  # how the benchmark reads the function table
  sed -i '/add_subdirectory(tools\//d; /add_subdirectory(tests/d' "$out/before/src/CMakeLists.txt"
  cmake -S "$out/before/src" -B "$out/before/build" -DCMAKE_BUILD_TYPE=Release -DKALTRA_TESTS=OFF >/dev/null
  cmake --build "$out/before/build" -j"$(nproc)" --target kaltra_bench
  cmake --build "$out/before/build" -j"$(nproc)" --target kaltra_instructions 2>/dev/null || true
  echo "== timing $revision ($repetitions repetitions)"
  "$out/before/build/bench/kaltra_bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_min_time=0.05 \
    --benchmark_out="$out/before/bench.json" --benchmark_out_format=json >/dev/null
  mkdir -p "$out/before/instructions"
  if command -v valgrind >/dev/null && [ -x "$out/before/build/bench/kaltra_instructions" ]; then
    valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/before/instructions/cg" \
      "$out/before/build/bench/kaltra_instructions" > "$out/before/instructions/calls.tsv" \
      2> "$out/before/instructions/valgrind.log"
  else
    : > "$out/before/instructions/calls.tsv"
  fi
  before=(--before "$out/before/bench.json" "$out/before/instructions")
fi

echo "== counting evaluations"
"$out/bench/kaltra_count" > "$out/counts.tsv"

echo "== timing ($repetitions repetitions)"
"$out/bench/kaltra_bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true --benchmark_min_time=0.05 \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json

rm -rf "$out/instructions"
if command -v valgrind >/dev/null && [ -x "$out/bench/kaltra_instructions" ]; then
  echo "== counting instructions under callgrind"
  mkdir -p "$out/instructions"
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/instructions/cg" \
    "$out/bench/kaltra_instructions" > "$out/instructions/calls.tsv" 2> "$out/instructions/valgrind.log"
fi

echo "== the cycle worksheet scaled to 100,000 cells"
rows=5000
python3 bench/cycle_sheet.py "$rows" > "$out/cycle_big.csv"
python3 bench/cycle_sheet.py "$rows" --no-calls > "$out/cycle_big_host.csv"
calls=$(grep -o 'Kalt[A-Za-z]*(' "$out/cycle_big.csv" | wc -l)
read -r sheet_cpu sheet_elapsed < <(python3 bench/cycle_sheet.py --time "$repetitions" "$out/host/kaltra" "$out/cycle_big.csv")
read -r host_cpu host_elapsed < <(python3 bench/cycle_sheet.py --time "$repetitions" "$out/host/kaltra" "$out/cycle_big_host.csv")
{
  echo "cells=$((rows * 20))"
  echo "calls=$calls"
  echo "runs=$repetitions"
  echo "sheet=$sheet_cpu"
  echo "sheet_elapsed=$sheet_elapsed"
  echo "host=$host_cpu"
  echo "host_elapsed=$host_elapsed"
} > "$out/sheet.txt"
cat "$out/sheet.txt"

instructions=()
[ -f "$out/instructions/calls.tsv" ] && instructions=("$out/instructions")
python3 bench/report.py "$out/counts.tsv" "$out/bench.json" "$out/sheet.txt" "${instructions[@]}" "${before[@]}" \
  > "$out/tables.md"
echo "== tables written to $out/tables.md"
