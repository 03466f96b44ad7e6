#!/usr/bin/env bash
# Builds Kaltra with AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize and runs
# the whole Linux test suite there, the conformance cases included (the Windows add-ins' tests
# under Wine run in tools/windows.sh). Every sanitizer finding fails the test that meets it
# (no recovery; leaks are reported at exit).
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-sanitize
bash tools/packages.sh
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALTRA_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$out" -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$out" --output-on-failure -j"$(nproc)" -LE wine
