#!/usr/bin/env bash
# End-to-end tests of the real snapora.exe under Wine on an X display: the program is started as a user
# starts it, driven with xdotool (clicks and keys) and read with winprobe, which runs in the same Wine
# prefix and prints what the system knows of Snapora's windows, its list of targets and the clipboard;
# winprobe also shows the windows the list must find.
#
#   snapora_e2e.sh SNAPORA_EXE WINPROBE_EXE [SCENARIO...]
#     scenarios: start list capture (all of them when none is named)
#
# DISPLAY and WINEPREFIX are those scripts/test.sh exports (without WINEPREFIX, the prefix beside the
# build's programs is used and made on first use). Without a reachable display the script fails when
# E2E_REQUIRE_DISPLAY=1 and skips (exit code 77) otherwise. Each scenario runs Snapora from a fresh
# program folder of its own (snapora.exe, its language files and a SavePath.ini that sends the storage
# to a fresh folder) and ends every program it started, also when a check fails. Screenshots are kept
# in <build>/e2e-artefacts.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SNAPORA_EXE WINPROBE_EXE [SCENARIO...]" >&2
  exit 2
fi
snapora_exe=$(readlink -f "$1")
probe_exe=$(readlink -f "$2")
shift 2
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(start list capture)

repo=$(cd "$(dirname "$0")/../.." && pwd)
dist="$repo/snapora/dist"
build_dir=$(cd "$(dirname "$snapora_exe")/.." && pwd)
artefacts="$build_dir/e2e-artefacts"
readonly caption="Snapora Version 1.460 (06.06.2017)"

# shellcheck source=../../scripts/lib/wine-host.sh
source "$repo/scripts/lib/wine-host.sh"
# shellcheck source=e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
e2e_prepare "$snapora_exe" "$build_dir/wineprefix" import convert compare identify file
mkdir -p "$artefacts"
read -r screen_width screen_height < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2] }')

work=$(mktemp -d "${TMPDIR:-/tmp}/snapora-e2e.XXXXXX")
started=()  # Linux process ids of every program started here
cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

# ---- The program -------------------------------------------------------------------------------------

# A fresh program folder DIR/prog (snapora.exe and the shipped files) with its storage sent to DIR/store.
make_program() {  # dir
  mkdir -p "$1/prog" "$1/store"
  cp "$snapora_exe" "$1/prog/snapora.exe"
  cp "$dist"/* "$1/prog/"
  printf 'ApplicationStorage="%s"\r\n' "$(winpath "$1/store")" >"$1/prog/SavePath.ini"
}

# Stored settings for the next start: the XML form with the given key/value pairs.
write_settings() {  # store dir, key, value, key, value...
  local file="$1/Snapora.ini"
  shift
  printf '<?xml version="1.0" encoding="utf-8"?>\r\n<InitFile>\r\n' >"$file"
  while [ $# -ge 2 ]; do
    printf '  <%s>%s</%s>\r\n' "$1" "$2" "$1" >>"$file"
    shift 2
  done
  printf '</InitFile>\r\n' >>"$file"
}

snapora_pid=""
# Starts snapora.exe and waits until its window is on the display. Fails at once, with the reason,
# when the program ends before that, and after 30 s when no window appeared.
start_snapora() {  # program dir
  local i rc
  (cd "$1" && exec "$WINE" "$1/snapora.exe") >"$work/snapora-output.txt" 2>&1 &
  snapora_pid=$!
  started+=("$snapora_pid")
  for ((i = 0; i < 300; i++)); do
    xdotool search --onlyvisible --name "^Snapora Version [0-9.]+ \\([0-9.]+\\)\$" >/dev/null 2>&1 && return 0
    if ! kill -0 "$snapora_pid" 2>/dev/null; then
      wait "$snapora_pid"
      rc=$?
      fail "snapora.exe ended with exit code $rc before its window appeared: $(tail -c 300 "$work/snapora-output.txt" | tr '\n' ' ')"
      snapora_pid=""
      return 1
    fi
    sleep 0.1
  done
  fail "snapora.exe shows no window after 30 s"
  return 1
}

wait_for_exit() {  # seconds
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    kill -0 "$snapora_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

stop_snapora() {
  [ -n "$snapora_pid" ] || return 0
  if kill -0 "$snapora_pid" 2>/dev/null; then
    probe close "$caption" 5000 >/dev/null
    wait_for_exit 5 || kill -9 "$snapora_pid" 2>/dev/null
  fi
  wait "$snapora_pid" 2>/dev/null
  snapora_pid=""
}

# A window of known title, place and colour, shown by winprobe; sets target_pid.
target_pid=""
show_target() {  # title, left, top, width, height, rrggbb
  "$WINE" "$probe_exe" window "$@" >/dev/null 2>&1 &
  target_pid=$!
  started+=("$target_pid")
  if [ "$(value found "$(probe wait-window "$1" 10000)")" != 1 ]; then
    fail "the target window '$1' did not appear"
    return 1
  fi
}

# The row of `probe items` output whose first column is the text; empty when there is none.
row_of() {  # text, items lines
  TEXT="$1" awk 'BEGIN { t = ENVIRON["TEXT"] } /^item\.[0-9]+\.0=/ {
      if (substr($0, index($0, "=") + 1) == t) { split($0, key, "."); print key[2]; exit } }' <<<"$2"
}

expect_no_error_box() {
  local boxes
  boxes=$(probe boxes Snapora)
  if [ "$(value box.count "$boxes")" == 0 ]; then
    ok "no error box"
  else
    fail "an error box is shown: $(value box.0.text "$boxes")"
  fi
}

# ---- Scenarios ---------------------------------------------------------------------------------------

# The window with its caption and controls; the list begins with the Screen and Desktop entries, the
# Screen entry selected, both with the display's size.
scenario_start() {
  local dir="$work/start" info items
  make_program "$dir"
  start_snapora "$dir/prog" || return
  sleep 1
  info=$(probe info "$caption")
  expect_eq "caption" "$(value window.caption "$info")" "$caption"
  expect_eq "list view" "$(value listview.found "$info")" 1
  local text
  for text in "Refresh" "Capture" "OK" "Capture client area only" "Define rect to capture [pixel]" \
    "Capture to file" "Auto capture each [sec]" "Use keyboard to capture" "Select window to be captured:" \
    "Preview:"; do
    if [ -n "$(control_with_text "$text" "$info")" ]; then ok "control '$text'"; else fail "no control '$text'"; fi
  done
  local stop
  stop=$(control_with_text "Stop" "$info")
  expect_eq "the Stop button hidden" "$(value "control.$stop.visible" "$info")" 0
  items=$(probe items "$caption")
  expect_eq "first entry" "$(value item.0.0 "$items")" "Screen"
  expect_eq "its size" "$(value item.0.1 "$items")" "$screen_width x $screen_height px"
  expect_eq "its identifier" "$(value item.0.2 "$items")" ""
  expect_eq "second entry" "$(value item.1.0 "$items")" "Desktop"
  expect_eq "selected entry" "$(value first_selected "$items")" 0
  # The list is filled while the window is being shown, before it is visible: it lists itself from the
  # next rebuild on (the list scenario checks that).
  expect_between "entries" "$(value items "$items")" 2 1000
  local shot="$artefacts/snapora-start.png"
  if import -window "$(value window.xid "$info")" "$shot" 2>/dev/null; then
    echo "  screenshot: $shot"
  else
    fail "no screenshot of the window"
  fi
  expect_no_error_box
  stop_snapora
}

# Another program's window appears in the list after a refresh, in front of Snapora's (it is newer and
# in front), and leaves it after it closed and F5 was pressed in the list.
scenario_list() {
  local dir="$work/list" info items row own
  make_program "$dir"
  start_snapora "$dir/prog" || return
  show_target "E2E Target" 60 620 400 300 00ff00 || return
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Refresh" "$info")"
  sleep 0.5
  items=$(probe items "$caption")
  row=$(row_of "E2E Target" "$items")
  own=$(row_of "$caption" "$items")
  if [ -n "$row" ] && [ -n "$own" ]; then
    ok "both windows listed (target $row, Snapora $own)"
    expect_eq "the target before Snapora's window (front to back)" "$([ "$row" -lt "$own" ] && echo yes)" yes
    expect_eq "the target's size text" "$(value "item.$row.1" "$items")" "400 x 300 px"
    expect_eq "Snapora's identifier (its handle, decimal)" "$(value "item.$own.2" "$items")" \
      "$((16#$(value window.hwnd "$info" | sed 's/^0x//')))"
  else
    fail "the list lacks the target ($row) or Snapora's window ($own)"
  fi
  local shot="$artefacts/snapora-list.png"
  import -window "$(value window.xid "$info")" "$shot" 2>/dev/null && echo "  screenshot: $shot"

  probe close "E2E Target" 5000 >/dev/null
  # F5 in the list: a click on its first row gives it the focus (and selects the Screen entry).
  local list_x list_y
  list_x=$(($(value window.left "$info") + $(value client.offset_x "$info") + $(value listview.left "$info") + 40))
  list_y=$(($(value window.top "$info") + $(value client.offset_y "$info") + $(value listview.top "$info") + 8))
  xdotool mousemove --sync "$list_x" "$list_y" click 1
  keys_to "$(value window.xid "$info")" F5
  sleep 0.5
  items=$(probe items "$caption")
  expect_eq "the closed window after F5" "$(row_of "E2E Target" "$items")" ""
  expect_eq "Snapora's window still listed" "$([ -n "$(row_of "$caption" "$items")" ] && echo yes)" yes
  expect_no_error_box
  stop_snapora
}

# Capture of the Screen entry with "Capture to file" (stored in the settings): a BMP of the display's
# size whose pixels equal the test's own grab of the display outside Snapora's window (whose preview
# changes with the capture), then a JPEG for a .Jpg name; the clipboard holds the capture.
scenario_capture() {
  local dir="$work/capture" info shot kind
  for kind in bmp Jpg; do
    rm -rf "$dir"
    make_program "$dir"
    mkdir -p "$dir/out"
    write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/out/shot.$kind")"
    start_snapora "$dir/prog" || return
    show_target "E2E Green" 40 640 300 200 00ff00 || return
    info=$(probe info "$caption")
    click_control "$info" "$(control_with_text "Capture" "$info")"
    local i
    for ((i = 0; i < 100; i++)); do
      [ -s "$dir/out/shot.$kind" ] && break
      sleep 0.1
    done
    sleep 0.5
    import -window root "$dir/root.png" 2>/dev/null
    if [ ! -s "$dir/out/shot.$kind" ]; then
      fail "no file $dir/out/shot.$kind after the capture"
      stop_snapora
      return
    fi
    if [ "$kind" = bmp ]; then
      expect_eq "file type" "$(file -b "$dir/out/shot.bmp" | cut -d, -f1)" "PC bitmap"
      expect_eq "picture size" "$(identify -format '%wx%h' "$dir/out/shot.bmp")" "${screen_width}x${screen_height}"
      # Outside Snapora's window (with a margin for its frame) the two grabs agree pixel for pixel.
      local left top right bottom differing region
      left=$(($(value window.left "$info") - 8))
      top=$(($(value window.top "$info") - 8))
      right=$(($(value window.left "$info") + $(value window.width "$info") + 8))
      bottom=$(($(value window.top "$info") + $(value window.height "$info") + 8))
      convert "$dir/out/shot.bmp" -alpha off "$dir/shot.png"
      convert "$dir/root.png" -alpha off "$dir/root-rgb.png"
      for region in "${screen_width}x${top}+0+0" "${screen_width}x$((screen_height - bottom))+0+${bottom}" \
        "${left}x${screen_height}+0+0" "$((screen_width - right))x${screen_height}+${right}+0"; do
        differing=$(compare -metric AE <(convert "$dir/shot.png" -crop "$region" +repage png:-) \
          <(convert "$dir/root-rgb.png" -crop "$region" +repage png:-) null: 2>&1)
        expect_eq "pixels that differ from the display in $region" "$differing" 0
      done
      expect_eq "the green window in the capture" "$(pixel "$dir/shot.png" 190 760)" "00ff00"
      local clip
      clip=$(probe clipboard)
      expect_eq "bitmap on the clipboard" "$(value clipboard.bitmap "$clip")" 1
      expect_eq "its size" "$(value clipboard.bitmap.width "$clip")x$(value clipboard.bitmap.height "$clip")" \
        "${screen_width}x${screen_height}"
      shot="$artefacts/snapora-capture.png"
      import -window "$(value window.xid "$info")" "$shot" 2>/dev/null && echo "  screenshot: $shot"
    else
      expect_eq "file type" "$(file -b "$dir/out/shot.Jpg" | cut -d, -f1)" "JPEG image data"
      expect_eq "picture size" "$(identify -format '%wx%h' "$dir/out/shot.Jpg")" "${screen_width}x${screen_height}"
    fi
    expect_no_error_box
    probe close "E2E Green" 5000 >/dev/null
    stop_snapora
  done
}

# ---- Run -----------------------------------------------------------------------------------------------

run_scenarios stop_snapora "${scenarios[@]}"
