#!/usr/bin/env bash
# Builds Kaltra and runs every test, the Linux ones and then the Windows add-ins' under Wine
# (installs missing build packages first).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)" -LE wine
# The Python package, installed into a venv as the README says, and its tests.
bash tools/python.sh
# The LibreOffice Calc extension, built and tested in a headless LibreOffice.
bash tools/libreoffice.sh test
# The browser page: built to WebAssembly with Debian's emscripten into dist/web and tested in
# Debian's Chromium against the kaltra host; the conformance cases on its module.
bash tools/web.sh test
# The Windows add-ins: installs MinGW-w64 and Wine when missing, cross-builds both add-ins
# and runs their tests under Wine.
bash tools/windows.sh
# Hardening: the whole Linux suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# concurrent callers of the C interface under ThreadSanitizer, the fuzzer for 60 seconds from its seed corpus, the cycle worksheet under valgrind.
bash tools/sanitize.sh
# The C interface's thread test under ThreadSanitizer.
bash tools/threads.sh
bash tools/fuzz.sh 60
bash tools/valgrind.sh
