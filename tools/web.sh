#!/usr/bin/env bash
# The browser page: installs Debian's emscripten when missing, compiles the core, the C
# interface and the chart code to WebAssembly and writes the page into dist/web (index.html,
# page.css, engine.js, page.js and kaltra.js, the module inside it). Serve that folder from any
# static file server, or open its index.html.
#
#   bash tools/web.sh            # build dist/web
#   bash tools/web.sh test       # and run the page's tests in Chromium (web/README.md)
#   bash tools/web.sh bench      # and measure it (docs/performance.md)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-build}
case "$mode" in
  build | test | bench) ;;
  *) echo "usage: bash tools/web.sh [test|bench]" >&2; exit 2 ;;
esac

bash tools/packages.sh emscripten
# Debian's emscripten finds its JavaScript helpers (acorn) among Debian's Node.js modules,
# which a Node.js from elsewhere does not look into by itself.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$(nproc)"
echo "dist/web: $(cd dist/web && ls | tr '\n' ' ')"
[ "$mode" = build ] && exit 0

# The tests and the benchmark compare the page with the kaltra host and the native C
# interface, and drive Debian's Chromium through playwright-core (web/package-lock.json).
bash tools/packages.sh chromium chromium-driver
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target kaltra Kaltra64 kaltra_c
(cd web && npm ci --no-audit --no-fund --loglevel=error)
if [ "$mode" = test ]; then
  # Bounded in time: the tests end the browser and their server themselves, and timeout ends
  # everything should they hang.
  timeout -k 20 900 node --test --test-concurrency=1 web/tests/
else
  cmake --build build -j"$(nproc)" --target kaltra_web_bench
  timeout -k 20 900 node web/tests/benchmark.mjs
fi
