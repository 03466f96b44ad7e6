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
  # Only the core and the recorder are built; the tools and tests of either side are not needed.
  sed -i '/add_subdirectory(tools\//d; /add_subdirectory(tests/d' "$out/$side/CMakeLists.txt"
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
  echo "DIFFERENT answers ($revision against the work tree$data); first differences (line, before, now):"
  diff "$out/answers-before.txt" "$out/answers-now.txt" | head -20 || true
  # Every differing call counted by function and fluid text (the call's text decoded).
  echo "differing answers by function and fluid text (count):"
  paste "$out/calls.txt" "$out/answers-before.txt" "$out/answers-now.txt" | awk -F'\t' '
    BEGIN { digits = "0123456789abcdef" }
    function text(hex,   s, i) {
      if (hex == "-") return "(empty)"
      s = ""
      for (i = 1; i < length(hex); i += 2)
        s = s sprintf("%c", 16 * (index(digits, substr(hex, i, 1)) - 1) + index(digits, substr(hex, i + 1, 1)) - 1)
      return length(s) > 20 ? substr(s, 1, 20) "..." : s
    }
    $2 != $3 { split($1, call, " "); count[call[1] " " text(call[2])]++ }
    END { for (k in count) print "  " k ": " count[k] }' | sort
  exit 1
fi
