#!/usr/bin/env bash
# Builds the Win32 benchmark of Letrana (bench/BenchLetranaWin32.cpp) for Windows and runs it under Wine,
# in a Wine prefix of its own and on an Xvfb display of its own, both removed afterwards. The i686
# build where this host can execute 32-bit code, else the x86_64 build.
#   bash bench/run_win32_bench.sh [RUNS]      RUNS timed runs per case (default 5)
#   BENCH_ARCH        i686 or x86_64 instead of the host's choice
#   BENCH_BUILD_DIR   the Windows build folder to use (default build/bench-win32-ARCH)
#   BENCH_DISPLAY     an X display to use instead of starting an Xvfb display
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
if [ -n "${BENCH_ARCH:-}" ]; then
  arch=$BENCH_ARCH
elif host_detect && [ "$(host_windows_preset)" = windows ]; then
  arch=i686
else
  arch=x86_64
fi
wine_select "$arch"
build=${BENCH_BUILD_DIR:-$here/build/bench-win32-$arch}
runs=${1:-5}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_letrana_win32 -j "$(nproc)" >/dev/null

export WINEPREFIX="$build/wineprefix-bench"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

if [ -n "${BENCH_DISPLAY:-}" ]; then
  export DISPLAY=$BENCH_DISPLAY
else
  xvfb_start
fi

wine_prefix_make

echo "Letrana on the Win32 backend ($arch) under $("$WINE" --version), $runs runs per case:"
"$WINE" "$build/bench/bench_letrana_win32.exe" "$runs"
