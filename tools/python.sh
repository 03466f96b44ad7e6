#!/usr/bin/env bash
# The Python package: installs Debian's Python packages it needs, builds the kaltra host (the
# package's answers are compared with it), installs the package the README's way into a fresh
# venv (build-python-venv, with Debian's NumPy through --system-site-packages) and runs its
# tests, the examples of docs/python.md among them, against the installed package. Then builds
# the sdist and the wheel offline (python3 -m build --no-isolation) and checks that the wheel,
# installed into a second venv, answers the worked example.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
python=/usr/bin/python3  # Debian's, with python3-numpy; another python3 may come first on PATH
bash tools/packages.sh python3-numpy python3-pytest python3-matplotlib python3-venv python3-setuptools \
  python3-wheel python3-build python3-pip
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target kaltra Kaltra64

venv=build-python-venv
rm -rf "$venv"
"$python" -m venv --system-site-packages "$venv"
"$venv/bin/pip" install --quiet --no-build-isolation ./python
# From outside the source tree, so that the installed package is the one imported.
cd "$venv"
KALTRA_HOST="$root/build/host/kaltra" KALTRA_DOCS="$root/docs" MPLBACKEND=Agg \
  timeout 900 bin/python -m pytest -q -p no:cacheprovider --rootdir "$root/python" "$root/python/tests"
cd "$root"

dist=build-python-dist
rm -rf "$dist" python/dist
mkdir -p "$dist"
timeout 900 "$python" -m build --no-isolation --outdir "$dist" python >"$dist/build.log" 2>&1 ||
  { tail -20 "$dist/build.log"; exit 1; }
"$python" -m venv --system-site-packages "$dist/venv"
"$dist/venv/bin/pip" install --quiet --no-index "$dist"/kaltra-*.whl
expected=$(build/host/kaltra 'KaltHofTP("R134a", 25, 10, 1)')
got=$(cd "$dist" && venv/bin/python -c 'import kaltra; print(kaltra.KaltHofTP("R134a", 25, 10, 1))')
echo "wheel $(basename "$dist"/kaltra-*.whl): KaltHofTP(\"R134a\", 25, 10, 1) = $got, the kaltra host: $expected"
[ "$got" = "$expected" ]
