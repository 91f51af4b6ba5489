#!/usr/bin/env bash
# Builds Letrana for Windows and runs it under Wine: on the user's display when there is one, else
# on an Xvfb display of its own. Waits until the character grid is built, saves a screenshot of the
# window as a PNG, prints its path and closes Letrana.
#   LETRANA_KEEP_OPEN=1   leave Letrana running (on the user's display) instead of closing it
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target letrana

out="$here/build/run"
mkdir -p "$out"
export WINEPREFIX="$here/build/windows/wineprefix-run"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
  done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a Wine prefix in $WINEPREFIX (once)..."
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

wine build/windows/letrana/letrana.exe >/dev/null 2>&1 &
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Letrana$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
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

if [ "${LETRANA_KEEP_OPEN:-0}" = 1 ] && [ -z "$xvfb_pid" ]; then
  trap - EXIT
  exit 0
fi
xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+q 2>/dev/null || true
for _ in $(seq 50); do
  xdotool search --name '^Letrana$' >/dev/null 2>&1 || break
  sleep 0.1
done
