#!/usr/bin/env bash
# The C interface under concurrent callers with ThreadSanitizer: builds libkaltra.so and its
# thread test with -fsanitize=thread in build-tsan and runs the test. Any data race the
# sanitizer sees fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-tsan
bash tools/packages.sh
flags="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALTRA_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$out" -j"$(nproc)" --target capi_thread_test
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1"
"$out/tests/capi_thread_test" --gtest_brief=1
echo "== no data race under ThreadSanitizer"
