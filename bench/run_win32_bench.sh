#!/usr/bin/env bash
# Builds the Win32 benchmark of Letrana (bench/BenchLetranaWin32.cpp) for Windows and runs it under Wine,
# in a Wine prefix of its own and on an Xvfb display of its own, both removed afterwards.
#   bash bench/run_win32_bench.sh [RUNS]      RUNS timed runs per case (default 5)
#   BENCH_BUILD_DIR   the Windows build folder to use (default build/bench-win32)
#   BENCH_DISPLAY     an X display to use instead of starting an Xvfb display
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$here/build/bench-win32}
runs=${1:-5}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_letrana_win32 -j "$(nproc)" >/dev/null

export WINEPREFIX="$build/wineprefix-bench"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

if [ -n "${BENCH_DISPLAY:-}" ]; then
  export DISPLAY=$BENCH_DISPLAY
else
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# Xvfb has no window manager; unmanaged windows spare Wine its wait for one at every hide.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

echo "Letrana on the Win32 backend under $(wine --version), $runs runs per case:"
wine "$build/bench/bench_letrana_win32.exe" "$runs"
