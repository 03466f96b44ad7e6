#!/usr/bin/env bash
# Bit-for-bit proof that a change left every answer as it was: builds the engine and the
# worksheet layer of an earlier revision and of the work tree, both with the work tree's fluid
# data, replays one long list of worksheet calls through each (bench/answer_bits.cpp: all 33
# functions, every fluid by its three texts, every unit code, states across each fluid's range,
# bad input, calls that meet the coefficient caches within 2^-23) and compares the answers'
# bits.
#
#   bash bench/compare_answers.sh <revision>      e.g. HEAD, or the commit before a change
#   bash bench/compare_answers.sh --own-data <revision>
#
# With --own-data each side is built with its own fluid data instead: for a change to the
# data itself (a refit, a new fluid) or to its layout, which the earlier code cannot compile.
# The call list is the earlier revision's, so it covers the fluids that revision knows.
#
# The earlier revision is read with git archive; nothing in the repository changes.
set -euo pipefail
cd "$(dirname "$0")/.."
ownData=false
if [ "${1:-}" = "--own-data" ]; then
  ownData=true
  shift
fi
revision="${1:?usage: bench/compare_answers.sh [--own-data] <revision>}"
out=build-compare
rm -rf "$out" && mkdir -p "$out/before" "$out/now"

# The code of each side; the call recorder and (unless --own-data) the fluid data of the work
# tree on both.
git archive "$revision" CMakeLists.txt fluids host shell thermo transport examples | tar -x -C "$out/before"
cp -r CMakeLists.txt fluids host shell thermo transport examples "$out/now/"
dataFiles=(fluids/catalogue_data.cpp fluids/fitted_coefficients.h)
for file in fluids/catalogue_rows.h fluids/published_coefficients.h; do
  [ -f "$file" ] && dataFiles+=("$file")
done
for side in before now; do
  $ownData || cp "${dataFiles[@]}" "$out/$side/fluids/"
  rm -rf "$out/$side/bench" && cp -r bench "$out/$side/bench"
  # Only the core and the recorder are built; the tools, tests and C interface of either side
  # are not needed.
  sed -i '/add_subdirectory(tools\//d; /add_subdirectory(tests/d; /add_subdirectory(capi)/d' "$out/$side/CMakeLists.txt"
  cmake -S "$out/$side" -B "$out/$side/build" -DCMAKE_BUILD_TYPE=Release -DKALTRA_TESTS=OFF >/dev/null
  cmake --build "$out/$side/build" -j"$(nproc)" --target kaltra_answer_bits >/dev/null
done

"$out/before/build/bench/kaltra_answer_bits" calls > "$out/calls.txt"
for side in before now; do
  "$out/$side/build/bench/kaltra_answer_bits" answers "$out/calls.txt" > "$out/answers-$side.txt"
done
data=""
$ownData && data=", each side with its own fluid data"
if cmp -s "$out/answers-before.txt" "$out/answers-now.txt"; then
  echo "identical: $(wc -l < "$out/calls.txt") answers, bit for bit ($revision against the work tree$data)"
else
  # Every changed call, readable, with both answers; and how many per function and fluid.
  "$out/now/build/bench/kaltra_answer_bits" describe "$out/calls.txt" > "$out/calls-readable.txt"
  paste -d '\t' "$out/calls-readable.txt" "$out/answers-before.txt" "$out/answers-now.txt" |
    awk -F '\t' '$2 != $3 { print NR "\t" $0 }' > "$out/changed.txt"
  echo "$(wc -l < "$out/changed.txt") of $(wc -l < "$out/calls.txt") answers changed; all of them in $out/changed.txt" \
    "(line, call, before, now); by function and fluid:"
  sed -E 's/^[0-9]+\t([A-Za-z]+)\("([^"]*)".*/\1 \2/' "$out/changed.txt" | sort | uniq -c | sort -k2,2 -k3,3
  echo "DIFFERENT answers ($revision against the work tree$data); first differences (line, before, now):"
  diff "$out/answers-before.txt" "$out/answers-now.txt" | head -20 || true
  exit 1
fi
