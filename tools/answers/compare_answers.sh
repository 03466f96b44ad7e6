#!/usr/bin/env bash
# Bit-for-bit proof that a change left every answer as it was: builds the engine and the
# worksheet layer of an earlier revision and of the work tree, both with the work tree's fluid
# data, replays one long list of worksheet calls through each (tools/answers/answer_bits.cpp:
# all 33 functions, every fluid by its three texts, every unit code, states across each fluid's
# range, bad input, calls that meet the coefficient caches within 2^-23) and compares the
# answers' bits.
#
#   bash tools/answers/compare_answers.sh <revision>      e.g. HEAD, or the commit before a change
#   bash tools/answers/compare_answers.sh --own-data <revision>
#   (bash bench/compare_answers.sh ... forwards here)
#
# With --own-data each side is built with its own fluid data instead: for a change to the
# data itself (a refit, a new fluid) or to its layout, which the earlier code cannot compile.
# The call list is the earlier revision's, so it covers the fluids that revision knows.
#
# The call recorder is the work tree's on both sides, with what it reads the function table
# through (bench/worksheet_calls.h, shell/table_functions.h): the earlier revision needs only a
# function table whose R rows carry the exported functions. It is read with git archive;
# nothing in the repository changes.
set -euo pipefail
cd "$(dirname "$0")/../.."
ownData=false
if [ "${1:-}" = "--own-data" ]; then
  ownData=true
  shift
fi
revision="${1:?usage: tools/answers/compare_answers.sh [--own-data] <revision>}"
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
recorder=(bench tools/answers shell/table_functions.h)
for side in before now; do
  $ownData || cp "${dataFiles[@]}" "$out/$side/fluids/"
  for path in "${recorder[@]}"; do
    rm -rf "${out:?}/$side/$path" && mkdir -p "$out/$side/$(dirname "$path")" && cp -r "$path" "$out/$side/$path"
  done
  # Only the core and the recorder are built; the other tools, the tests, the benchmarks and the
  # C interface of either side are not needed.
  sed -i '/add_subdirectory(tools\//d; /add_subdirectory(tests/d; /add_subdirectory(capi)/d' "$out/$side/CMakeLists.txt"
  echo 'add_subdirectory(tools/answers)' >> "$out/$side/CMakeLists.txt"
  cmake -S "$out/$side" -B "$out/$side/build" -DCMAKE_BUILD_TYPE=Release -DKALTRA_TESTS=OFF -DKALTRA_BENCHMARKS=OFF >/dev/null
  cmake --build "$out/$side/build" -j"$(nproc)" --target kaltra_answer_bits >/dev/null
done

bits=tools/answers/kaltra_answer_bits
"$out/before/build/$bits" calls > "$out/calls.txt"
for side in before now; do
  "$out/$side/build/$bits" answers "$out/calls.txt" > "$out/answers-$side.txt"
done
data=""
$ownData && data=", each side with its own fluid data"
if cmp -s "$out/answers-before.txt" "$out/answers-now.txt"; then
  echo "identical: $(wc -l < "$out/calls.txt") answers, bit for bit ($revision against the work tree$data)"
else
  # Every changed call, readable, with both answers; and how many per function and fluid.
  "$out/now/build/$bits" describe "$out/calls.txt" > "$out/calls-readable.txt"
  paste -d '\t' "$out/calls-readable.txt" "$out/answers-before.txt" "$out/answers-now.txt" |
    awk -F '\t' '$2 != $3 { print NR "\t" $0 }' > "$out/changed.txt"
  echo "$(wc -l < "$out/changed.txt") of $(wc -l < "$out/calls.txt") answers changed; all of them in $out/changed.txt" \
    "(line, call, before, now); by function and fluid:"
  sed -E 's/^[0-9]+\t([A-Za-z]+)\("([^"]*)".*/\1 \2/' "$out/changed.txt" | sort | uniq -c | sort -k2,2 -k3,3
  echo "DIFFERENT answers ($revision against the work tree$data); first differences (line, before, now):"
  diff "$out/answers-before.txt" "$out/answers-now.txt" | head -20 || true
  exit 1
fi
