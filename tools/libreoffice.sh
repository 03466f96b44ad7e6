#!/usr/bin/env bash
# Kaltra in LibreOffice Calc: builds the extension dist/Kaltra.oxt (the Linux x86_64
# libkaltra.so and, cross-built with MinGW-w64 by tools/windows.sh, the 64- and 32-bit Windows
# kaltra.dll, with the add-in component and the texts generated from the function table), and:
#
#   bash tools/libreoffice.sh              build dist/Kaltra.oxt
#   bash tools/libreoffice.sh test         ... and run the headless Calc test (tools/test.sh does)
#   bash tools/libreoffice.sh workbook     ... and write the test's workbook tests/libreoffice/kaltra_calls.ods
#   bash tools/libreoffice.sh screenshot   ... and take docs/libreoffice/*.png, Calc on a virtual display
#
# Installs the Debian packages it needs. LibreOffice runs with a scratch profile under
# build/libreoffice-*, is bounded in time and always ended.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-build}
case "$mode" in
  build | test | workbook | screenshot) ;;
  *) echo "usage: bash tools/libreoffice.sh [test|workbook|screenshot]" >&2; exit 2 ;;
esac
started=$SECONDS
python=/usr/bin/python3  # Debian's, with python3-uno; another python3 may come first on PATH

packages=(libreoffice-calc python3-uno libreoffice-script-provider-python libreoffice-dev)
[ "$mode" != screenshot ] || packages+=(xvfb xauth imagemagick fonts-dejavu-core)
bash tools/packages.sh --no-recommends "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target kaltra_capi kaltra Kaltra64
bash tools/windows.sh libraries >/dev/null
"$python" libreoffice/build_extension.py --linux build/capi/libkaltra.so \
  --windows-x86_64 build-windows/x64/capi/kaltra.dll --windows-x86 build-windows/x86/capi/kaltra.dll \
  --work build/libreoffice --output dist/Kaltra.oxt

# The office's process group, should this script end before the Python side could end it.
scratch=build/libreoffice-$mode
end_office() {
  local pid
  pid=$(cat "$scratch/office.pid" 2>/dev/null) || return 0
  kill -KILL -- "-$pid" 2>/dev/null || true
}
trap end_office EXIT

case "$mode" in
  test)
    timeout 600 "$python" tests/libreoffice/calc_test.py --oxt dist/Kaltra.oxt --host build/host/kaltra \
      --workbook tests/libreoffice/kaltra_calls.ods --scratch "$scratch"
    ;;
  workbook)
    timeout 600 "$python" tests/libreoffice/workbook.py build/capi/libkaltra.so dist/Kaltra.oxt "$scratch" \
      tests/libreoffice/kaltra_calls.ods
    ;;
  screenshot)
    timeout 300 "$python" tests/libreoffice/screenshot.py dist/Kaltra.oxt tests/libreoffice/kaltra_calls.ods \
      "$scratch" docs/libreoffice
    ;;
esac
echo "== the LibreOffice part ($mode) took $((SECONDS - started)) s"
