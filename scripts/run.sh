#!/usr/bin/env bash
# Builds both programs for Windows and runs them under Wine, one after the other: the i686 build (the
# primary one) where this host can execute 32-bit code, else the x86_64 build; on the user's display
# when there is one, else on an Xvfb display of its own. Letrana: waits until the character grid is
# built, saves a screenshot of the window as a PNG and prints its path. Snapora: waits for its window
# with the list of capture targets, takes one capture of the screen with its Capture button, saves a
# screenshot of the window showing the capture's preview and prints its path. Each is closed again.
# Where the native Linux desktop build can be made (Qt 6 installed), its Letrana is built and started
# too, with its settings in a folder of its own under build/run: its window's screenshot likewise.
#   LETRANA_KEEP_OPEN=1   leave the programs running (on the user's display) instead of closing them
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
# The start-and-wait helper and the waits of the end-to-end tests.
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$here/tests/e2e/e2e_lib.sh"
die() {
  echo "run.sh: $*" >&2
  exit 1
}

host_detect
preset=$(host_windows_preset)
if [ "$preset" = windows64 ]; then
  echo "run.sh: the x86_64 build, because the i686 build cannot run here: $HOST_I686_WHY"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target letrana snapora winprobe
exe="build/$preset/letrana/letrana.exe"
probe_exe="$here/build/$preset/tests/probe/winprobe.exe"
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

keep_open=0
[ "${LETRANA_KEEP_OPEN:-0}" = 1 ] && [ -z "$XVFB_PID" ] && keep_open=1

# Letrana: its window, then its grid of 256 cells, painted.
export PROGRAM_OUTPUT="$out/letrana-output.txt"
start_program "$here/build/$preset/letrana" letrana.exe '^Letrana$' || die "Letrana did not start"
letrana_pid=$program_pid
grid=$(probe wait-items Letrana 256 $((E2E_TIMEOUT * 1000)) $((E2E_TIMEOUT * 1000))) || true
[ "$(value items.reached "$grid")" = 1 ] || die "Letrana's grid did not get its 256 cells"
shot="$out/letrana.png"
shoot "$(probe_value window.xid info Letrana)" "$shot" || die "no settled screenshot of Letrana's window"
echo "$shot"
if [ "$keep_open" = 0 ]; then
  # Ctrl+Q, as a user ends it; the probe's close request should that fail.
  keys_to "$(probe_value window.xid info Letrana)" ctrl+q || true
  poll process_ended "$letrana_pid" || stop_program Letrana "$letrana_pid"
fi

# Snapora, from a folder of its own with its language files beside it.
snapora_dir="$out/snapora"
mkdir -p "$snapora_dir"
cp "build/$preset/snapora/snapora.exe" "build/$preset/snapora/"Snapora_* "$snapora_dir/"
caption="Snapora Version 1.460 (06.06.2017)"
export PROGRAM_OUTPUT="$out/snapora-output.txt"
start_program "$snapora_dir" snapora.exe '^Snapora Version' || die "Snapora did not start"
snapora_pid=$program_pid
info=$(probe info "$caption")
# The Capture button, clicked in its middle; the capture is over when it is on the clipboard and the
# window (hidden while it grabs) is back.
probe clipboard-set run.sh >/dev/null
click_control "$info" "$(control_with_text Capture "$info")"
await "the capture on the clipboard" clipboard_has_bitmap ||
  die "the capture did not reach the clipboard"
await "Snapora's window back after the capture" window_shown "$caption" || die "Snapora's window did not come back"
shot="$out/snapora.png"
shoot "$(value window.xid "$info")" "$shot" || die "no settled screenshot of Snapora's window"
echo "$shot"
[ "$keep_open" = 1 ] || stop_program "$caption" "$snapora_pid"

# The native Linux Letrana (Qt 6), where the desktop build can be made.
if [ -f /usr/lib/x86_64-linux-gnu/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake ] ||
  pkg-config --exists Qt6Widgets 2>/dev/null; then
  cmake --preset linux-desktop >/dev/null
  cmake --build --preset linux-desktop -j "$(nproc)" --target letrana letrana_help_pages
  XDG_CONFIG_HOME="$out/native-config" build/linux-desktop/letrana/letrana >"$out/letrana-native-output.txt" 2>&1 &
  native_pid=$!
  native_window() { xdotool search --onlyvisible --pid "$native_pid" --name '^Letrana' | head -n 1 | grep .; }
  await "the native Letrana's window" native_window || die "the native Letrana did not show its window"
  native_xid=$seen
  shot="$out/letrana-native.png"
  # The grid is built after the window shows: its cells (the silver background) fill the lower half.
  native_grid() {
    local size
    import -window "$native_xid" "$shot" 2>/dev/null && size=$(identify -format '%w %h' "$shot") || return 1
    set -- $size
    [ "$(count_colour "$shot" 0 $(($2 / 2)) "$1" $(($2 / 3)) c0c0c0)" -gt 2000 ]
  }
  await "the native Letrana's character grid" native_grid || die "the native Letrana shows no characters"
  shoot "$native_xid" "$shot" || die "no settled screenshot of the native Letrana's window"
  echo "$shot"
  if [ "$keep_open" = 0 ]; then
    keys_to "$native_xid" ctrl+q || true
    poll process_ended "$native_pid" || kill "$native_pid" 2>/dev/null
    wait "$native_pid" 2>/dev/null || true
  fi
else
  echo "run.sh: the native Linux Letrana is not built here: Qt 6 is not installed (scripts/setup.sh installs it)"
fi
# Kept open on the user's display: the clean-up that ends them is not run.
[ "$keep_open" = 0 ] || trap - EXIT
