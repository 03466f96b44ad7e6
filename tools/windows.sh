#!/usr/bin/env bash
# The Windows add-ins Kaltra64.xll and Kaltra32.xll: installs what their build and tests need
# on Debian 12, cross-builds both with MinGW-w64 (each with the stand-in Excel XLCALL32.DLL,
# the host kaltra.exe, and the C interface kaltra.dll with its program kaltra-c.exe), and runs
# their tests under Wine.
#
#   bash tools/windows.sh         install, build, test
#   bash tools/windows.sh dist    the same, then put both add-ins and INSTALL.md into dist/
#   bash tools/windows.sh libraries   only the C interface kaltra.dll of both, no Wine (for Kaltra.oxt)
#
# The Windows builds go to build-windows/x64 and build-windows/x86. The tests are the Linux
# test program tests/wine_test.cpp (built in build/, or $KALTRA_LINUX_BUILD), run against
# them with one persistent wineserver and a Wine prefix outside the work tree
# ($KALTRA_WINEPREFIX, by default ~/.cache/kaltra-wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
linux_build=${KALTRA_LINUX_BUILD:-build}
make_dist=0
only_libraries=0
case "${1:-}" in
  "") ;;
  dist) make_dist=1 ;;
  libraries) only_libraries=1 ;;
  *) echo "usage: bash tools/windows.sh [dist|libraries]" >&2; exit 2 ;;
esac
wine_packages=(wine wine64 wine32:i386)
target=kaltra_windows
if [ "$only_libraries" -eq 1 ]; then wine_packages=(); target=kaltra_capi; fi

started=$SECONDS
phase=$SECONDS
took() {
  echo "== $1 took $((SECONDS - phase)) s"
  phase=$SECONDS
}

# ---- Packages -----------------------------------------------------------------------------
# Only the posix thread-model compilers (the toolchain files name them): the -win32 variants
# and the g++-mingw-w64 metapackages would switch the compiler alternatives to win32.
bash tools/packages.sh --no-recommends g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 "${wine_packages[@]}"
took "packages"

# ---- Builds -------------------------------------------------------------------------------
for build in x64:mingw-w64-x86_64 x86:mingw-w64-i686; do
  folder=build-windows/${build%%:*}
  cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE="cmake/${build#*:}.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$folder" -j"$jobs" --target "$target"
done
took "Windows builds"
[ "$only_libraries" -eq 0 ] || exit 0

# The Linux build answers what the Windows builds are compared with, and runs the tests.
cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$linux_build" -j"$jobs" --target wine_test kaltra Kaltra64 kaltra_c
took "Linux build"

# ---- Wine -------------------------------------------------------------------------------
# One wineserver for the whole run: without it every wine call waits seconds for its own
# server to exit. No Mono or Gecko installers; no debug output.
export WINEPREFIX=${KALTRA_WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/kaltra-wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# A new prefix is set up once, here (quietly: it complains that there is no display).
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
took "Wine prefix $WINEPREFIX"

# ---- Tests --------------------------------------------------------------------------------
export KALTRA_WINDOWS_BUILD=$root/build-windows
# The answers compared with the Linux build's, case by case, then every Wine test.
"$linux_build"/tests/wine_test --gtest_filter='*Conformance*' --gtest_brief=1
ctest --test-dir "$linux_build" -L wine --output-on-failure -j"$jobs"
took "Wine tests"

if [ "$make_dist" -eq 1 ]; then
  rm -rf dist
  cmake --build build-windows/x64 --target dist
  cmake --build build-windows/x86 --target dist
  echo "dist/: $(ls dist | tr '\n' ' ')"
fi
echo "== the Windows part took $((SECONDS - started)) s"
