#!/usr/bin/env bash
# End-to-end tests of the real snapora.exe under Wine on an X display: the program is started as a user
# starts it, driven with xdotool (clicks and keys) and read with winprobe, which runs in the same Wine
# prefix and prints what the system knows of Snapora's windows, its list of targets and the clipboard;
# winprobe also shows the windows the list must find.
#
#   snapora_e2e.sh SNAPORA_EXE WINPROBE_EXE [SCENARIO...]
#     scenarios: start list capture cmdline auto autogone autofull hotkey viewer askname region (all of them when none is named)
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
[ ${#scenarios[@]} -gt 0 ] || scenarios=(start list capture cmdline auto autogone autofull hotkey viewer askname region)

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
export PROGRAM_OUTPUT="$work/snapora-output.txt"
unmount_after=()  # the file systems a scenario mounted
cleanup() {
  local pid mounted
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  for mounted in "${unmount_after[@]}"; do
    umount "$mounted" 2>/dev/null || umount -l "$mounted"
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

# Starts snapora.exe (with the arguments) from the program folder and waits until its window is on the
# display and its list of targets is filled (its start is over).
start_snapora() {  # program dir, arguments...
  local dir=$1
  shift
  start_program "$dir" snapora.exe "^Snapora Version [0-9.]+ \\([0-9.]+\\)\$" "$@" &&
    await "Snapora's list of targets" list_filled
}
# The list of targets holds its entries (Screen, Desktop and the windows).
list_filled() {
  local items
  items=$(probe_value items items "$caption")
  echo "${items:-no list} entries"
  [ "${items:-0}" -ge 2 ]
}

stop_snapora() {
  stop_program "$caption" "$program_pid"
  program_pid=""
}

# A window of known title, place and colour, shown by winprobe.
show_target() {  # title, left, top, width, height, rrggbb [topmost]
  "$WINE" "$probe_exe" window "$@" >/dev/null 2>&1 &
  started+=("$!")
  await_window "$1"
}

# The row of `probe items` output whose first column is the text; empty when there is none.
row_of() {  # text, items lines
  TEXT="$1" awk 'BEGIN { t = ENVIRON["TEXT"] } /^item\.[0-9]+\.0=/ {
      if (substr($0, index($0, "=") + 1) == t) { split($0, key, "."); print key[2]; exit } }' <<<"$2"
}
# The row of Snapora's list with the text, as the list shows it now.
row_of_listed() { row_of "$1" "$(probe items "$caption")"; }
# True when Snapora's list (as the probe read it) has no row with the text.
row_gone() {  # text
  local items
  items=$(probe items "$caption")
  [ -n "$(value items "$items")" ] || { echo "the list could not be read"; return 1; }
  echo "row '$(row_of "$1" "$items")'"
  [ -z "$(row_of "$1" "$items")" ]
}
# True when Snapora's list has a row with the text.
row_listed() {  # text
  local row
  row=$(row_of_listed "$1")
  echo "row '$row'"
  [ -n "$row" ]
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

# The number of the largest visible control of the class in `probe info` output (the preview among the
# images).
largest_control_of_class() {  # class, lines
  CLASS="$1" awk 'BEGIN { c = ENVIRON["CLASS"] }
      /^control\.[0-9]+\.class=/ { split($0, key, "."); cls[key[2]] = substr($0, index($0, "=") + 1) }
      /^control\.[0-9]+\.visible=/ { split($0, key, "."); vis[key[2]] = substr($0, index($0, "=") + 1) }
      /^control\.[0-9]+\.width=/ { split($0, key, "."); w[key[2]] = substr($0, index($0, "=") + 1) }
      /^control\.[0-9]+\.height=/ { split($0, key, "."); h[key[2]] = substr($0, index($0, "=") + 1) }
      END { best = ""; for (n in cls) if (cls[n] == c && vis[n] == 1 && (best == "" || w[n] * h[n] > area)) {
              best = n; area = w[n] * h[n] }
            print best }' <<<"$2"
}

# Ended, or showing an error box titled "Snapora", which is closed and its text kept in $work/box.txt.
ended_or_box_answered() {  # process id
  local boxes
  process_ended "$1" && return 0
  [ ! -s "$work/box.txt" ] || return 1
  boxes=$(probe boxes Snapora)
  if [ "$(value box.count "$boxes")" == 1 ]; then
    value box.0.text "$boxes" >"$work/box.txt"
    probe close Snapora 10000 >/dev/null
  fi
  return 1
}

# Runs snapora.exe with arguments until it ends; prints its exit code. While it runs, an error box
# titled "Snapora" is answered (closed) once and its text kept in $work/box.txt.
run_snapora_args() {  # program dir, arguments...
  local dir=$1 pid rc
  shift
  : >"$work/box.txt"
  (cd "$dir" && exec "$WINE" "$dir/snapora.exe" "$@") >"$PROGRAM_OUTPUT" 2>&1 &
  pid=$!
  started+=("$pid")
  await "the end of snapora.exe $*" ended_or_box_answered "$pid" >&2 || kill -9 "$pid" 2>/dev/null
  wait "$pid" && rc=0 || rc=$?
  echo $rc
}

# The stamped files of automatic capture in a folder.
stamped_files() { find "$1" -name 'auto*.bmp' | wc -l; }
stamped_files_at_least() {  # count, folder
  local count
  count=$(stamped_files "$2")
  echo "$count files"
  [ "$count" -ge "$1" ]
}
# Whether Snapora's Stop button shows (1) or not (0).
stop_button_shown() {
  local info
  info=$(probe info "$caption")
  value "control.$(control_with_text "Stop" "$info").visible" "$info"
}

# The first menu of the window with Snapora's caption that has a menu bar (the viewer's), its first
# four letters.
first_menu() { probe_value menu.0 menu "$caption" | cut -c1-4; }
# Ctrl+S in the viewer, and the name typed into the save dialog it opens, then Enter.
save_from_viewer() {  # viewer's x window id, file
  keys_to "$1" ctrl+s
  await_window "Save As" || return 1
  xdotool windowfocus --sync "$(value window.xid "$window_lines")" 2>/dev/null
  xdotool type --delay 30 "$(winpath "$2")"
  xdotool key Return
}

# ---- Scenarios ---------------------------------------------------------------------------------------

# The window with its caption and controls; the list begins with the Screen and Desktop entries, the
# Screen entry selected, both with the display's size.
scenario_start() {
  local dir="$work/start" info items
  make_program "$dir"
  start_snapora "$dir/prog" || return
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
  shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"
  expect_no_error_box
  stop_snapora
}

# Another program's window appears in the list after a refresh, in front of Snapora's, and leaves it
# after it closed and F5 was pressed in the list. The window stays on top: the click on Refresh
# activates Snapora's window, and whether that raise comes before the list is read depends on when the
# display's focus event arrives; above every window, the target is in front either way.
scenario_list() {
  local dir="$work/list" info items row own
  make_program "$dir"
  start_snapora "$dir/prog" || return
  show_target "E2E Target" 60 620 400 300 00ff00 topmost || return
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Refresh" "$info")"
  await "the target in the list after Refresh" row_listed "E2E Target"
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
  shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"

  probe close "E2E Target" 5000 >/dev/null
  # F5 in the list: a click on its first row gives it the focus (and selects the Screen entry).
  local list_x list_y
  list_x=$(($(value window.left "$info") + $(value client.offset_x "$info") + $(value listview.left "$info") + 40))
  list_y=$(($(value window.top "$info") + $(value client.offset_y "$info") + $(value listview.top "$info") + 8))
  xdotool mousemove --sync "$list_x" "$list_y" click 1
  keys_to "$(value window.xid "$info")" F5
  await "the closed window gone from the list after F5" row_gone "E2E Target" && ok "the closed window left the list"
  items=$(probe items "$caption")
  expect_eq "Snapora's window still listed" "$([ -n "$(row_of "$caption" "$items")" ] && echo yes)" yes
  expect_no_error_box
  stop_snapora
}

# Capture of the Screen entry with "Capture to file" (stored in the settings): a BMP of the display's
# size whose pixels equal the test's own grab of the display outside Snapora's window (whose preview
# changes with the capture), then a JPEG for a .Jpg name; the clipboard holds the capture (bitmap, DIB
# and PNG).
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
    if ! await_file "$dir/out/shot.$kind" "the capture's file"; then
      stop_snapora
      return
    fi
    # The capture hid the window: the display is grabbed again once it is back and painted.
    await "Snapora's window back after the capture" window_shown "$caption"
    shoot root "$dir/root.png"
    if [ "$kind" = bmp ]; then
      expect_eq "file type" "$(file -b "$dir/out/shot.bmp" | cut -d, -f1)" "PC bitmap"
      expect_eq "picture size" "$(identify -format '%wx%h' "$dir/out/shot.bmp")" "${screen_width}x${screen_height}"
      # Outside Snapora's window (with a margin for its frame) the two grabs agree pixel for pixel.
      local left top right bottom differing region
      left=$(($(value window.left "$info") - 8))
      top=$(($(value window.top "$info") - 8))
      right=$(($(value window.left "$info") + $(value window.width "$info") + 8))
      bottom=$(($(value window.top "$info") + $(value window.height "$info") + 8))
      # The green window's frame is masked in both: hiding Snapora's window for the capture gave it the
      # activation, so its caption bar changed colour between the two grabs.
      local mask="rectangle 32,612 348,848"
      convert "$dir/out/shot.bmp" -alpha off -fill black -draw "$mask" "$dir/shot.png"
      convert "$dir/root.png" -alpha off -fill black -draw "$mask" "$dir/root-rgb.png"
      for region in "${screen_width}x${top}+0+0" "${screen_width}x$((screen_height - bottom))+0+${bottom}" \
        "${left}x${screen_height}+0+0" "$((screen_width - right))x${screen_height}+${right}+0"; do
        differing=$(pixels_differing "$dir/shot.png[$region]" "$dir/root-rgb.png[$region]")
        expect_eq "pixels that differ from the display in $region" "$differing" 0
      done
      expect_eq "the green window in the capture" "$(pixel "$dir/out/shot.bmp" 190 760)" "00ff00"
      local clip
      await_eq "bitmap on the clipboard" 1 probe_value clipboard.bitmap clipboard
      clip=$(probe clipboard)
      expect_eq "its size" "$(value clipboard.bitmap.width "$clip")x$(value clipboard.bitmap.height "$clip")" \
        "${screen_width}x${screen_height}"
      # Its DIB and its PNG, decoded, are the pixels of the capture's file.
      probe clipboard-save "$(winpath "$dir")" >/dev/null
      expect_eq "the PNG's type" "$(file -b "$dir/clipboard.png" | cut -d, -f1-3)" \
        "PNG image data, ${screen_width} x ${screen_height}, 8-bit/color RGB"
      local copy
      for copy in clipboard.png clipboard-dib.bmp; do
        expect_eq "pixels of the clipboard's $copy that differ from the capture" \
          "$(compare -metric AE "$dir/$copy" "$dir/out/shot.bmp" null: 2>&1)" 0
      done
      shot="$artefacts/snapora-capture.png"
      shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"
    else
      expect_eq "file type" "$(file -b "$dir/out/shot.Jpg" | cut -d, -f1)" "JPEG image data"
      expect_eq "picture size" "$(identify -format '%wx%h' "$dir/out/shot.Jpg")" "${screen_width}x${screen_height}"
    fi
    expect_no_error_box
    probe close "E2E Green" 5000 >/dev/null
    stop_snapora
  done
}

# The command line: two arguments take one capture to the file and end the program with an exit code
# that says whether the file was written; any other number of arguments starts the program as usual.
scenario_cmdline() {
  local dir="$work/cmdline" rc
  make_program "$dir"
  mkdir -p "$dir/out"
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/out/s.bmp")" screen)
  expect_eq "exit code of a screen capture to a .bmp name" "$rc" 0
  expect_eq "its file" "$(file -b "$dir/out/s.bmp" | cut -d, -f1)" "PC bitmap"
  expect_eq "its size" "$(identify -format '%wx%h' "$dir/out/s.bmp" 2>/dev/null)" "${screen_width}x${screen_height}"
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/out/d.jpg")" DESKTOP)
  expect_eq "exit code of a desktop capture to a .jpg name" "$rc" 0
  expect_eq "its file" "$(file -b "$dir/out/d.jpg" | cut -d, -f1)" "JPEG image data"
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/out/s.png")" screen)
  expect_eq "exit code of a screen capture to a .png name" "$rc" 0
  expect_eq "its file" "$(file -b "$dir/out/s.png" | cut -d, -f1)" "PNG image data"
  expect_eq "its size" "$(identify -format '%wx%h' "$dir/out/s.png" 2>/dev/null)" "${screen_width}x${screen_height}"
  # Lossless: the PNG and the BMP of the same (unchanging) screen hold the same pixels.
  expect_eq "pixels that differ from the BMP" \
    "$(pixels_differing "$dir/out/s.bmp" "$dir/out/s.png")" 0
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/out/p.gif")" screen)
  expect_eq "exit code for a name whose extension writes nothing" "$rc" 2
  expect_eq "no file under it" "$([ -e "$dir/out/p.gif" ] && echo yes)" ""
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/missing/s.bmp")" screen)
  expect_eq "exit code for a file in a missing folder" "$rc" 3
  expect_eq "the error box's text (English)" "$(cat "$work/box.txt")" \
    "The file $(escaped "$(winpath "$dir/missing/s.bmp")") cannot be created."
  expect_eq "the settings were saved by the close" "$([ -s "$dir/store/Snapora.ini" ] && echo yes)" yes
  # With the German language file, the German text.
  write_settings "$dir/store" LanguageName Deutsch
  rc=$(run_snapora_args "$dir/prog" "$(winpath "$dir/missing/s.bmp")" screen)
  expect_eq "the error box's text (German)" "$(cat "$work/box.txt")" \
    "Datei $(escaped "$(winpath "$dir/missing/s.bmp")") kann nicht erstellt werden."
  # One argument: the program starts as usual (its start over when its list is filled) and takes no
  # capture.
  start_snapora "$dir/prog" "$(winpath "$dir/out/one.bmp")" && ok "one argument: the window shows"
  expect_eq "one argument: no file" "$([ -e "$dir/out/one.bmp" ] && echo yes)" ""
  stop_snapora
}

# Automatic capture every 500 ms to stamped files; Escape stops it after one more file, whose name the
# file field keeps.
scenario_auto() {
  local dir="$work/auto" info count later
  make_program "$dir"
  mkdir -p "$dir/out"
  write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/out/auto.bmp")" CbbSeconds 500
  start_snapora "$dir/prog" || return
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Auto capture each [sec]" "$info")"
  local began elapsed_ms
  began=$(date +%s%N)
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "three stamped files" stamped_files_at_least 3 "$dir/out"
  # Counted, then the time since the click: no more files than one at the start and one an interval
  # since (a loaded machine may stretch the waits, never shorten the interval).
  count=$(stamped_files "$dir/out")
  elapsed_ms=$((($(date +%s%N) - began) / 1000000))
  expect_between "stamped files after $elapsed_ms ms" "$count" 3 $((elapsed_ms / 500 + 1))
  info=$(probe info "$caption")
  expect_eq "the Stop button shows" "$(value "control.$(control_with_text "Stop" "$info").visible" "$info")" 1
  expect_eq "the list is disabled" "$(value enabled "$(probe items "$caption")")" 0
  local name
  name=$(find "$dir/out" -name 'auto*.bmp' -printf '%f\n' | sort | tail -1)
  if [[ "$name" =~ ^auto[0-9]{8}-[0-9]{6}_[0-9]{3}(-[0-9]+)?\.bmp$ ]]; then ok "stamped name $name"; else fail "name '$name'"; fi
  keys_to "$(value window.xid "$info")" Escape
  await_eq "the Stop button shown after Escape" 0 stop_button_shown
  # Three intervals of real time without a new file.
  count=$(stamped_files "$dir/out")
  expect_never "a file after the stop" 1.5 stamped_files_at_least $((count + 1)) "$dir/out"
  name=$(find "$dir/out" -name 'auto*.bmp' -printf '%f\n' | sort | tail -1)
  expect_eq "the field keeps the last stamped name" \
    "$([ -n "$(control_with_text "$(escaped "$(winpath "$dir/out/$name")")" "$(probe info "$caption")")" ] && echo yes)" yes
  expect_no_error_box
  stop_snapora
}

# Automatic capture every 300 ms into a folder of out/; the run is started and awaited until a file is
# written.
start_auto_run() {  # program dir, folder
  local info
  write_settings "$1/store" ChbToFile 1 EdtFile "$(winpath "$2/auto.bmp")" CbbSeconds 300
  start_snapora "$1/prog" || return
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Auto capture each [sec]" "$info")"
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "a first stamped file" stamped_files_at_least 1 "$2"
}
# A failed write stops automatic capture with one error box, which stays the only one while ten
# intervals pass; once it is closed, the window is as before the run: the Stop button hidden, the list
# enabled, the file field holding the base name.
expect_run_stopped_once() {  # folder
  local info
  await_eq "error boxes after the failed write" 1 box_count Snapora
  echo "  the box says: $(probe_value box.0.text boxes Snapora)"
  expect_never "a second error box" 3 error_boxes_at_least 2
  probe close Snapora 0 >/dev/null
  await_eq "error boxes after the box is closed" 0 box_count Snapora
  expect_never "an error box after the stop" 1 error_boxes_at_least 1
  info=$(probe info "$caption")
  expect_eq "the Stop button shows" "$(value "control.$(control_with_text "Stop" "$info").visible" "$info")" 0
  expect_eq "the list is enabled" "$(value enabled "$(probe items "$caption")")" 1
  expect_eq "the file field holds the base name" \
    "$([ -n "$(control_with_text "$(escaped "$(winpath "$1/auto.bmp")")" "$info")" ] && echo yes)" yes
}

# The folder of automatic capture removed during the run: one error box, the run stopped.
scenario_autogone() {
  local dir="$work/autogone"
  make_program "$dir"
  mkdir -p "$dir/out"
  start_auto_run "$dir" "$dir/out" || return
  rm -rf "$dir/out"
  expect_run_stopped_once "$dir/out"
  stop_snapora
}

# The disk filled during automatic capture (a small file system of its own, mounted for the scenario
# and shrunk to what it holds once files are written): one error box, the run stopped, every file
# written before whole and no partial file left. Skipped where this user may not mount one.
scenario_autofull() {
  local dir="$work/autofull" size used file bad=0
  make_program "$dir"
  mkdir -p "$dir/out"
  if ! mount -t tmpfs -o size=256m snapora-e2e "$dir/out" 2>"$work/mount.txt"; then
    skip "no file system of its own to fill: $(<"$work/mount.txt")"
    return
  fi
  unmount_after+=("$dir/out")
  start_auto_run "$dir" "$dir/out" || return
  file=$(find "$dir/out" -name 'auto*.bmp' | sort | head -1)
  await_file "$file" "the first stamped file" || return
  size=$(stat -c %s "$file")
  # Room for half a file more than the disk holds now: the next write fails on the way.
  used=$(df --output=used -B1 "$dir/out" | tail -1)
  mount -o remount,size=$(((used + size / 2) / 4096 * 4096 + 4096)) "$dir/out" ||
    fail "the file system could not be shrunk"
  expect_run_stopped_once "$dir/out"
  stop_snapora
  for file in "$dir/out"/*; do
    if [[ ! "$file" =~ /auto[0-9_-]+\.bmp$ ]] || [ "$(stat -c %s "$file")" != "$size" ] ||
      ! identify "$file" >/dev/null 2>&1; then
      bad=$((bad + 1))
      echo "  not a whole capture: $file ($(stat -c %s "$file") bytes)"
    fi
  done
  expect_eq "files that are not whole captures" $bad 0
  expect_between "whole captures kept" "$(stamped_files "$dir/out")" 1 1000
}

# The overlay of a region choice is up: the green window of the region scenario shows dimmed at one of
# two points far apart (the magnifier beside the pointer cannot cover both).
region_overlay_shown() {  # folder for the screenshot
  import -window root "$1/now.png" 2>/dev/null || return 1
  local a b
  a=$(pixel "$1/now.png" 60 820)
  b=$(pixel "$1/now.png" 320 830)
  echo "green window at $a and $b"
  [ "$a" != 00ff00 ] || [ "$b" != 00ff00 ]
}

# A region dragged on the frozen screen, by the Region entry and the hot key (F9): from beyond the green
# window's bottom-right corner up into it (below Snapora's window, which the button hides from the frozen
# screen), so that the region holds the window, its frame's edges and the background; the file holds
# exactly those pixels of the screen, both corners included, and so does the clipboard. By the button:
# Escape on the next overlay captures nothing; the keyboard alone chooses a region; a click takes the
# window under the pointer, which is kept as the last region. From the command line ("region"), Escape ends with exit code 2 and Enter takes the
# region stored as the last one.
scenario_region() {
  local dir="$work/region" info pid rc key
  make_program "$dir"
  mkdir -p "$dir/out"
  write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/out/region.bmp")" ChbKeyboard 1 CbbFKey 8
  start_snapora "$dir/prog" || return
  show_target "E2E Green" 40 780 300 200 00ff00 topmost || return
  info=$(probe info "$caption")
  # The Region entry, third in the list (one monitor), selected with the keys.
  click_control "$info" "$(largest_control_of_class SysListView32 "$info")"
  xdotool key Home Down Down
  await_eq "the Region entry selected" 2 probe_value first_selected items "$caption"
  shoot root "$dir/before.png"
  keys_to "$(value window.xid "$info")" F9
  await "the region overlay" region_overlay_shown "$dir" || return
  xdotool mousemove 360 1000 mousedown 1 mousemove 300 900 mousemove 100 840
  shoot root "$artefacts/snapora-region-overlay.png" && echo "  screenshot: $artefacts/snapora-region-overlay.png"
  xdotool mouseup 1
  if await_file "$dir/out/region.bmp" "the region's file"; then
    expect_eq "the region's size" "$(identify -format '%wx%h' "$dir/out/region.bmp")" 261x161
    convert "$dir/before.png" -crop 261x161+100+840 +repage "$dir/expected.png"
    cp "$dir/before.png" "$artefacts/snapora-region-before.png"
    convert "$dir/out/region.bmp" "$artefacts/snapora-region.png"
    expect_eq "pixels that differ from the screen's" \
      "$(compare -metric AE "$dir/out/region.bmp" "$dir/expected.png" "$artefacts/snapora-region-diff.png" 2>&1)" 0
    probe clipboard-save "$(winpath "$dir")" >/dev/null
    expect_eq "pixels of the clipboard's PNG that differ" \
      "$(compare -metric AE "$dir/clipboard.png" "$dir/expected.png" null: 2>&1)" 0
  fi
  await "Snapora's window back" window_shown "$caption"
  rm -f "$dir/out/region.bmp"
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "the region overlay again" region_overlay_shown "$dir" || return
  xdotool key Escape
  await "Snapora's window back after Escape" window_shown "$caption"
  expect_never "a file after Escape" 1 test -e "$dir/out/region.bmp"
  # Keyboard alone (the mouse only placed first): Space fixes a corner at the pointer, Shift+Right and
  # Down move it by ten pixels and one, Enter takes the region, both corners included.
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "the region overlay for the keyboard" region_overlay_shown "$dir" || return
  xdotool mousemove 200 900
  xdotool key space shift+Right shift+Right shift+Right Down Down Down Down Return
  if await_file "$dir/out/region.bmp" "the file of the region chosen with the keys"; then
    expect_eq "its size" "$(identify -format '%wx%h' "$dir/out/region.bmp")" 31x5
    expect_eq "its pixels that differ from the screen's" \
      "$(pixels_differing "$dir/out/region.bmp" "$dir/before.png[31x5+200+900]")" 0
  fi
  await "Snapora's window back after the keys" window_shown "$caption"
  rm -f "$dir/out/region.bmp"
  # A click without a drag takes the window under the pointer, as it shows.
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "the region overlay for the click" region_overlay_shown "$dir" || return
  xdotool mousemove 200 900 click 1
  if await_file "$dir/out/region.bmp" "the file of the window clicked"; then
    expect_eq "its size (the green window's)" "$(identify -format '%wx%h' "$dir/out/region.bmp")" 300x200
  fi
  await "Snapora's window back after the click" window_shown "$caption"
  expect_no_error_box
  stop_snapora

  # The region kept in the settings: the window clicked last; offered again as stored here.
  expect_eq "the region kept" "$(sed -n 's:.*<LastRegion>\(.*\)</LastRegion>.*:\1:p' "$dir/store/Snapora.ini")" "40;780;300;200"
  write_settings "$dir/store" LastRegion "100;840;261;161"
  for key in Escape Return; do
    (cd "$dir/prog" && exec "$WINE" "$dir/prog/snapora.exe" "$(winpath "$dir/out/cmd.bmp")" region) >"$PROGRAM_OUTPUT" 2>&1 &
    pid=$!
    started+=("$pid")
    await "the region overlay of the command line" region_overlay_shown "$dir" || return
    xdotool key "$key"
    await "the end of snapora.exe" process_ended "$pid"
    wait "$pid" && rc=0 || rc=$?
    if [ "$key" = Escape ]; then
      expect_eq "exit code after Escape" "$rc" 2
      expect_eq "a file after Escape" "$([ -e "$dir/out/cmd.bmp" ] && echo yes)" ""
    else
      expect_eq "exit code after Enter" "$rc" 0
      expect_eq "the last region's size" "$(identify -format '%wx%h' "$dir/out/cmd.bmp" 2>&1)" 261x161
    fi
  done
  probe close "E2E Green" 5000 >/dev/null
}

# True when at least the number of error boxes titled "Snapora" are open.
error_boxes_at_least() {  # count
  local count
  count=$(box_count Snapora)
  echo "${count:-no} error boxes"
  [ "${count:-0}" -ge "$1" ]
}

# The hot key (F9, stored) captures to the file from anywhere in the program; with Ctrl required, F9
# alone does nothing until Ctrl was pressed. To a file in a missing folder, F9 held for two seconds
# shows one error box, not one per poll of the key; after it is closed, the next press shows one more.
scenario_hotkey() {
  local dir="$work/hotkey" info
  make_program "$dir"
  mkdir -p "$dir/out"
  write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/out/hot.bmp")" ChbKeyboard 1 CbbFKey 8
  start_snapora "$dir/prog" || return
  info=$(probe info "$caption")
  keys_to "$(value window.xid "$info")" F9
  await_file "$dir/out/hot.bmp" "the capture F9 writes" && ok "F9 wrote the capture"
  stop_snapora
  rm -f "$dir/out/hot.bmp"
  write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/out/hot.bmp")" ChbKeyboard 1 CbbFKey 8 ChbCtrl 1
  start_snapora "$dir/prog" || return
  info=$(probe info "$caption")
  # F9 held for twenty polls of the key (10 a second), without Ctrl.
  xdotool windowfocus --sync "$(value window.xid "$info")" 2>/dev/null
  xdotool keydown F9
  expect_never "a capture by F9 without Ctrl" 2 test -e "$dir/out/hot.bmp"
  xdotool keyup F9
  keys_to "$(value window.xid "$info")" ctrl+F9
  await_file "$dir/out/hot.bmp" "the capture Ctrl+F9 writes" && ok "Ctrl+F9 wrote the capture"
  expect_no_error_box
  stop_snapora
  write_settings "$dir/store" ChbToFile 1 EdtFile "$(winpath "$dir/missing/hot.bmp")" ChbKeyboard 1 CbbFKey 8
  start_snapora "$dir/prog" || return
  info=$(probe info "$caption")
  xdotool windowfocus --sync "$(value window.xid "$info")" 2>/dev/null
  xdotool keydown F9
  await_eq "error boxes once F9 is down" 1 box_count Snapora
  expect_never "a second error box while F9 is held" 2 error_boxes_at_least 2
  xdotool keyup F9
  expect_eq "error boxes after F9 is released" "$(box_count Snapora)" 1
  probe close Snapora 0 >/dev/null
  await_eq "error boxes after the box is closed" 0 box_count Snapora
  expect_never "an error box without a new press" 1 error_boxes_at_least 1
  keys_to "$(value window.xid "$info")" F9
  await_eq "error boxes after one more press" 1 box_count Snapora
  expect_never "a second error box after that press" 1 error_boxes_at_least 2
  probe close Snapora 0 >/dev/null
  await_eq "error boxes after it is closed" 0 box_count Snapora
  stop_snapora
}

# The viewer: a double-click on the preview shows the capture maximised with scroll bars, a File menu
# and only the system menu and maximise buttons; Ctrl+S saves through its dialog (BMP for .bmp, PNG for
# .png), which asks before it replaces a file; a double-click on the picture closes it.
scenario_viewer() {
  local dir="$work/viewer" info viewer preview x y boxes
  make_program "$dir"
  mkdir -p "$dir/out"
  start_snapora "$dir/prog" || return
  info=$(probe info "$caption")
  probe clipboard-set sentinel >/dev/null
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "the capture on the clipboard" clipboard_has_bitmap
  await "Snapora's window back after the capture" window_shown "$caption"
  info=$(probe info "$caption")
  preview=$(largest_control_of_class UiImage "$info")
  x=$(($(value window.left "$info") + $(value client.offset_x "$info") + $(value "control.$preview.left" "$info") + 20))
  y=$(($(value window.top "$info") + $(value client.offset_y "$info") + $(value "control.$preview.top" "$info") + 20))
  xdotool mousemove --sync "$x" "$y" click --repeat 2 --delay 80 1
  await_eq "the viewer's menu" "File" first_menu
  viewer=$(probe info "$caption")
  expect_eq "maximised" "$(value window.maximized "$viewer")" 1
  expect_eq "system menu" "$(value window.sysmenu "$viewer")" 1
  expect_eq "no minimise button" "$(value window.minimizebox "$viewer")" 0
  expect_eq "maximise button" "$(value window.maximizebox "$viewer")" 1
  expect_eq "a vertical scroll bar for the larger picture" "$(value window.vscroll "$viewer")" 1
  local shot="$artefacts/snapora-viewer.png"
  shoot root "$shot" && echo "  screenshot: $shot"
  # Ctrl+S: the save dialog; a new name is written as BMP.
  save_from_viewer "$(value window.xid "$viewer")" "$dir/out/view.bmp"
  if await_file "$dir/out/view.bmp" "the file of the viewer's dialog"; then
    expect_eq "the saved file" "$(file -b "$dir/out/view.bmp" | cut -d, -f1)" "PC bitmap"
  fi
  # A .png name: a PNG of the picture.
  save_from_viewer "$(value window.xid "$viewer")" "$dir/out/view.png"
  if await_file "$dir/out/view.png" "the PNG of the viewer's dialog"; then
    expect_eq "the saved PNG" "$(file -b "$dir/out/view.png" | cut -d, -f1)" "PNG image data"
    expect_eq "its size" "$(identify -format '%wx%h' "$dir/out/view.png" 2>/dev/null)" "${screen_width}x${screen_height}"
  fi
  # Again under the same name: the dialog asks before replacing it (Wine's dialog asks in a box
  # captioned "Error"); "No" leaves it open.
  save_from_viewer "$(value window.xid "$viewer")" "$dir/out/view.bmp"
  if await_window Error; then
    shoot root "$artefacts/snapora-viewer-overwrite.png"
    boxes=$(probe boxes Error)
    expect_eq "the overwrite question is shown" "$(value box.count "$boxes")" 1
    expect_eq "it asks about the file" "$(value box.0.text "$boxes" | grep -c 'already exists')" 1
    keys_to "$(value window.xid "$window_lines")" n
    await_eq "questions after No" 0 box_count Error
    await_window "Save As" && keys_to "$(value window.xid "$window_lines")" Escape
  fi
  await_eq "save dialogs after Escape" 0 box_count "Save As"
  # A double-click on the picture closes the viewer.
  x=$(($(value window.left "$viewer") + $(value client.offset_x "$viewer") + 50))
  y=$(($(value window.top "$viewer") + $(value client.offset_y "$viewer") + 50))
  xdotool mousemove --sync "$x" "$y" click --repeat 2 --delay 80 1
  await_eq "the viewer closed: menus" 0 probe_value menu.count menu "$caption"
  expect_no_error_box
  stop_snapora
}

# "Ask for filename before saving": the dialog shows the proposed name in front of everything, and
# the name typed there is the file written.
scenario_askname() {
  local dir="$work/askname" info dialog
  make_program "$dir"
  mkdir -p "$dir/out"
  write_settings "$dir/store" ChbToFile 1 ChbAskName 1 EdtFile "$(winpath "$dir/out/proposed.bmp")"
  start_snapora "$dir/prog" || return
  show_target "E2E Front" 100 100 500 400 0000ff || return
  info=$(probe info "$caption")
  click_control "$info" "$(control_with_text "Capture" "$info")"
  await "the file-name dialog" control_shown "$caption" "Select a filename"
  dialog=$(probe info "$caption")
  expect_eq "the dialog asks" "$([ -n "$(control_with_text "Select a filename" "$dialog")" ] && echo yes)" yes
  expect_eq "with the proposed name" \
    "$([ -n "$(control_with_text "$(escaped "$(winpath "$dir/out/proposed.bmp")")" "$dialog")" ] && echo yes)" yes
  expect_eq "in the foreground" "$(value window.foreground "$dialog")" 1
  local shot="$artefacts/snapora-askname.png"
  shoot root "$shot" && echo "  screenshot: $shot"
  # The focus is in the name field: its text replaced by a new name, then Enter.
  keys_to "$(value window.xid "$dialog")" ctrl+a BackSpace
  xdotool type --delay 30 "$(winpath "$dir/out/chosen.jpg")"
  xdotool key Return
  if await_file "$dir/out/chosen.jpg" "the file under the chosen name"; then
    expect_eq "the chosen file" "$(file -b "$dir/out/chosen.jpg" | cut -d, -f1)" "JPEG image data"
  fi
  expect_eq "nothing under the proposed name" "$([ -e "$dir/out/proposed.bmp" ] && echo yes)" ""
  expect_no_error_box
  probe close "E2E Front" 5000 >/dev/null
  stop_snapora
}

# ---- Run -----------------------------------------------------------------------------------------------

run_scenarios stop_snapora "${scenarios[@]}"
