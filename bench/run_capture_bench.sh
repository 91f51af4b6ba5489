#!/usr/bin/env bash
# Times Snapora's capture of the whole display to a BMP and to a JPEG file (bench/BenchCapture.cpp):
# under Wine for each Windows build this host runs, on the headless backend, and natively on the X
# display (the desktop build: in-process, and the whole command-line run `snapora FILE screen`), side by
# side with four programs that write the same picture of an X display: ImageMagick's import, xwd, scrot
# and maim. Each runs on an Xvfb display of its own at 1280 x 1024 and at 1920 x 1080, showing the same
# test pattern (a picture drawn by ImageMagick as the root window's background).
#   bash bench/run_capture_bench.sh [RUNS]     RUNS timed runs per case (default 10)
#   CAPTURE_BENCH_WINE=0 bash bench/run_capture_bench.sh    leaves the Windows builds out
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
runs=${1:-10}
out=$(mktemp -d)

for tool in import xwd scrot maim display convert; do
  command -v "$tool" >/dev/null || { echo "run_capture_bench.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

# The builds: native (headless) and every Windows build this host can run.
cmake --preset bench >/dev/null
cmake --build --preset bench --target bench_capture >/dev/null
# The native desktop build (Qt and the X11 window system), optimised: its capture bench and the program.
cmake -S "$here" -B "$here/build/bench-desktop" -G Ninja -DUI_BACKEND=qt -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$here/build/bench-desktop" --target bench_capture snapora >/dev/null
snapora="$here/build/bench-desktop/snapora/snapora"
host_detect
arches=(x86_64)
[ "$HOST_I686" = yes ] && arches=(i686 x86_64)
[ "${CAPTURE_BENCH_WINE:-1}" = 0 ] && arches=()
for arch in "${arches[@]}"; do
  cmake -S "$here" -B "$here/build/bench-capture-$arch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$here/build/bench-capture-$arch" --target bench_capture >/dev/null
done
[ "${CAPTURE_BENCH_WINE:-1}" = 0 ] && echo "(Windows builds: left out, CAPTURE_BENCH_WINE=0)"
[ "${CAPTURE_BENCH_WINE:-1}" = 0 ] || [ "$HOST_I686" = yes ] || echo "(i686: not run, $HOST_I686_WHY)"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
  rm -rf "$out"
}
trap cleanup EXIT

# The median of RUNS runs of a command, in milliseconds.
time_command() {  # command...
  local i start times=()
  "$@" >/dev/null 2>&1
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    times+=($((($(date +%s%N) - start) / 100000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 10 }'
}

declare -A whole
mkdir -p "$out/run" && chmod 700 "$out/run"
for size in 1280x1024 1920x1080; do
  XVFB_SCREEN=${size}x24 xvfb_start
  width=${size%x*}
  height=${size#*x}
  convert -size "$size" plasma:fractal -seed 7 "$out/pattern.png" 2>/dev/null || convert -size "$size" gradient: "$out/pattern.png"
  display -window root "$out/pattern.png" >/dev/null 2>&1 &
  display_pid=$!
  sleep 2
  echo
  echo "== $size"
  echo "native headless:"
  "$here/build/bench/bench/bench_capture" "$out" "$runs" "$width" "$height" | tail -n +2
  for arch in "${arches[@]}"; do
    wine_select "$arch"
    export WINEPREFIX="$out/prefix-$arch"
    [ -f "$WINEPREFIX/system.reg" ] || wine_prefix_make
    echo "Wine $arch:"
    "$WINE" "$here/build/bench-capture-$arch/bench/bench_capture.exe" "Z:${out//\//\\}" "$runs" | tail -n +2
    wineserver -k >/dev/null 2>&1 || true
  done
  # Snapora keeps its settings under the sandbox's home, not the user's.
  echo "native X11 (in-process):"
  native=$(HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" XDG_RUNTIME_DIR="$out/run" \
    "$here/build/bench-desktop/bench/bench_capture" "$out" "$runs")
  echo "$native" | tail -n +2
  inprocess=$(echo "$native" | awk '/^grab \+ write bmp/ { print $6 }')
  echo "native X11, the whole program (median of $runs):"
  for form in bmp jpg; do
    whole[$form]=$(HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" XDG_RUNTIME_DIR="$out/run" \
      time_command "$snapora" "$out/snapora.$form" screen)
    echo "snapora FILE.$form screen        ${whole[$form]} ms"
    [ -s "$out/snapora.$form" ] || { echo "run_capture_bench.sh: snapora wrote no $form file" >&2; exit 1; }
  done
  echo "peers (median of $runs):"
  import_bmp=$(time_command import -window root "$out/import.bmp")
  echo "import -window root (BMP)  $import_bmp ms"
  echo "import -window root (JPEG) $(time_command import -window root -quality 90 "$out/import.jpg") ms"
  xwd_root=$(time_command xwd -root -silent -out "$out/root.xwd")
  echo "xwd -root                  $xwd_root ms"
  scrot_jpg=$(time_command scrot -o -q 90 "$out/scrot.jpg")
  echo "scrot (JPEG)               $scrot_jpg ms"
  echo "scrot (PNG)                $(time_command scrot -o "$out/scrot.png") ms"
  maim_bmp=$(time_command maim -f bmp "$out/maim.bmp")
  echo "maim (BMP)                 $maim_bmp ms"
  echo "maim (JPEG)                $(time_command maim -f jpg -m 9 "$out/maim.jpg") ms"
  echo "maim (PNG)                 $(time_command maim "$out/maim.png") ms"
  # The aim: Snapora's capture to a file faster than import, scrot and maim (each in its fastest form
  # here: BMP, JPEG, BMP) and within 1.2 x the time of xwd's raw dump.
  echo "aim (faster than import, scrot and maim; within 1.2 x xwd):"
  for entry in "in-process grab + write bmp:$inprocess" "whole program, BMP:${whole[bmp]}"; do
    awk -v what="${entry%%:*}" -v t="${entry##*:}" -v xwd="$xwd_root" -v im="$import_bmp" \
      -v sc="$scrot_jpg" -v ma="$maim_bmp" 'BEGIN {
        ok = t < im && t < sc && t < ma && t <= 1.2 * xwd
        printf "  %-28s %8.1f ms = %.2f x xwd: %s\n", what, t, t / xwd, ok ? "met" : "missed"
      }'
  done
  echo "  (the whole program waits its designed 350 ms before the grab, starts Qt and shows its window,"
  echo "   and puts the capture on the clipboard as a bitmap, PNG and BMP, each made at once)"
  kill "$display_pid" 2>/dev/null || true
  xvfb_stop
done
