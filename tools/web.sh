#!/usr/bin/env bash
# The browser page: installs Debian's emscripten when missing, compiles the core, the C
# interface and the chart code to WebAssembly and writes the page into dist/web (index.html,
# page.css, engine.js, page.js and kaltra.js, the module inside it). Serve that folder from any
# static file server, or open its index.html.
#
#   bash tools/web.sh            # build dist/web
#   bash tools/web.sh test       # and run the page's tests (web/README.md)
#   bash tools/web.sh bench      # and measure it (docs/performance.md)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh emscripten
# Debian's emscripten finds its JavaScript helpers (acorn) among Debian's Node.js modules,
# which a Node.js from elsewhere does not look into by itself.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$(nproc)"
echo "dist/web: $(cd dist/web && ls | tr '\n' ' ')"
