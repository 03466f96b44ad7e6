#!/usr/bin/env bash
# Runs the kaltra host on the cycle worksheet under valgrind's memcheck: the host loads the
# add-in as Excel does, the add-in registers its functions and computes every cell. Any
# invalid read or write, use of an uninitialised value, bad free or memory definitely lost
# fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build
bash tools/packages.sh valgrind
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" -j"$(nproc)" --target kaltra Kaltra64
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite --track-origins=yes \
  "$out/host/kaltra" sheet examples/cycle.csv
