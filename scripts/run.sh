#!/usr/bin/env bash
# Builds Letrana for Windows and runs it under Wine: the i686 build (the primary one) where this host
# can execute 32-bit code, else the x86_64 build; on the user's display when there is one, else on an
# Xvfb display of its own. Waits until the character grid is built, saves a screenshot of the window as
# a PNG, prints its path and closes Letrana.
#   LETRANA_KEEP_OPEN=1   leave Letrana running (on the user's display) instead of closing it
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"

host_detect
preset=$(host_windows_preset)
if [ "$preset" = windows64 ]; then
  echo "run.sh: the x86_64 build, because the i686 build cannot run here: $HOST_I686_WHY"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target letrana
exe="build/$preset/letrana/letrana.exe"
wine_select "$(pe_arch "$exe")"

out="$here/build/run"
mkdir -p "$out"
export WINEPREFIX="$here/build/$preset/wineprefix-run"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  xvfb_start
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a Wine prefix in $WINEPREFIX (once)..."
  wine_prefix_make
fi

"$WINE" "$exe" >/dev/null 2>&1 &
wine_pid=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Letrana$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  if ! kill -0 "$wine_pid" 2>/dev/null; then
    wait "$wine_pid" && rc=0 || rc=$?
    echo "letrana.exe ended (exit code $rc) before its window appeared" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "Letrana's window did not appear" >&2
  exit 1
fi
# The grid is built half a second after the window is created; give it time to paint.
sleep 3
shot="$out/letrana.png"
import -window "$window" "$shot"
echo "$shot"

if [ "${LETRANA_KEEP_OPEN:-0}" = 1 ] && [ -z "$XVFB_PID" ]; then
  trap - EXIT
  exit 0
fi
xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+q 2>/dev/null || true
for _ in $(seq 50); do
  xdotool search --name '^Letrana$' >/dev/null 2>&1 || break
  sleep 0.1
done
