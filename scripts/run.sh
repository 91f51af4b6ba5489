#!/usr/bin/env bash
# Builds both programs for Windows and runs them under Wine, one after the other: the i686 build (the
# primary one) where this host can execute 32-bit code, else the x86_64 build; on the user's display
# when there is one, else on an Xvfb display of its own. Letrana: waits until the character grid is
# built, saves a screenshot of the window as a PNG and prints its path. Snapora: waits for its window
# with the list of capture targets, takes one capture of the screen with its Capture button, saves a
# screenshot of the window showing the capture's preview and prints its path. Each is closed again.
#   LETRANA_KEEP_OPEN=1   leave the programs running (on the user's display) instead of closing them
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
cmake --build --preset "$preset" -j "$(nproc)" --target letrana snapora winprobe
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

keep_open=0
[ "${LETRANA_KEEP_OPEN:-0}" = 1 ] && [ -z "$XVFB_PID" ] && keep_open=1
probe="build/$preset/platform/win32/probe/winprobe.exe"
if [ "$keep_open" = 0 ]; then
  # Ctrl+Q, as a user ends it; the probe's close request and waiting for the process should that fail.
  xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+q 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$wine_pid" 2>/dev/null && "$WINE" "$probe" close Letrana 5000 >/dev/null 2>&1
fi

# Snapora, from a folder of its own with its language files beside it.
snapora_dir="$out/snapora"
mkdir -p "$snapora_dir"
cp "build/$preset/snapora/snapora.exe" "build/$preset/snapora/"Snapora_* "$snapora_dir/"
caption="Snapora Version 1.460 (06.06.2017)"
(cd "$snapora_dir" && exec "$WINE" snapora.exe) >/dev/null 2>&1 &
snapora_pid=$!
found=$("$WINE" "$probe" wait-window "$caption" 30000 2>/dev/null || true)
if ! grep -q '^found=1' <<<"$found"; then
  echo "Snapora's window did not appear" >&2
  exit 1
fi
info=$("$WINE" "$probe" info "$caption" 2>/dev/null)
field() { sed -n "s/^$1=//p" <<<"$info" | head -1; }
# The Capture button: the control of that text, clicked in its middle.
button=$(awk -F'[.=]' '/^control\.[0-9]+\.text=Capture$/ { print $2; exit }' <<<"$info")
x=$(($(field window.left) + $(field client.offset_x) + $(field "control.$button.left") + $(field "control.$button.width") / 2))
y=$(($(field window.top) + $(field client.offset_y) + $(field "control.$button.top") + $(field "control.$button.height") / 2))
xdotool mousemove --sync "$x" "$y" click 1
sleep 2
shot="$out/snapora.png"
import -window "$(field window.xid)" "$shot"
echo "$shot"
if [ "$keep_open" = 1 ]; then
  trap - EXIT
  exit 0
fi
"$WINE" "$probe" close "$caption" 5000 >/dev/null 2>&1 || kill "$snapora_pid" 2>/dev/null || true
