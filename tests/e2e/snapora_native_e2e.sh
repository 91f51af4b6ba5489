#!/usr/bin/env bash
# End-to-end tests of the native Linux snapora (the Qt desktop build) on an X display of its own with a
# window manager (openbox, through tests/x11/with_display.sh): the program is started as a user starts
# it, driven through the accessibility tree (AT-SPI, tests/e2e/atspi_probe.py: its buttons pressed,
# switches ticked, list rows clicked) and xdotool (keys through the X server's test extension), and what
# it makes is read back with the X tools: the window list against `xprop -root`, its captures against
# the pixels of windows the test paints itself (ImageMagick's display of a picture of noise), the
# clipboard with xclip.
#
#   snapora_native_e2e.sh SNAPORA [SCENARIO...]
#     scenarios: list capture hotkey auto desktop clipboard cmdline (all when none is named)
#
# The script runs in a D-Bus session of its own (the accessibility bus lives there) on an Xvfb display of
# its own. Each scenario starts snapora from a fresh program folder (the program and its language files)
# with fresh XDG folders, so no two runs share settings, and ends it, also when a check fails.
# Screenshots are kept in <build>/e2e-artefacts.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 SNAPORA [SCENARIO...]" >&2
  exit 2
fi
repo=$(cd "$(dirname "$0")/../.." && pwd)
for tool in Xvfb openbox xdotool xprop xwininfo xclip import convert compare display dbus-run-session \
  /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  fi
done
# The accessibility bus is found through the session bus: one of the script's own, and a display of its
# own with a window manager that frames windows before the script goes on.
if [ -z "${SNAPORA_E2E_SESSION:-}" ]; then
  SNAPORA_E2E_SESSION=1 exec dbus-run-session -- bash "$repo/tests/x11/with_display.sh" bash "$0" "$@" \
    2> >(grep -v 'Failed to set fd limit' >&2)
fi

snapora=$(readlink -f "$1")
shift
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(list capture hotkey auto desktop clipboard cmdline)
dist="$repo/snapora/dist"
build_dir=$(cd "$(dirname "$snapora")/.." && pwd)
artefacts="$build_dir/e2e-artefacts"
mkdir -p "$artefacts"

# shellcheck source=e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"

native_session_start snapora-native-e2e
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
read -r screen_width screen_height < <(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { print w, $2 }')

atspi() { /usr/bin/python3 "$repo/tests/e2e/atspi_probe.py" "$1" snapora "${@:2}"; }
# Snapora's main window (its caption names its version); the viewer carries the same caption.
window_id() { visible_window '^Snapora Version '; }

# ---- The program ---------------------------------------------------------------------------------------

# A fresh program folder DIR/prog (the program and its language files) and XDG folders under DIR.
make_program() {  # dir
  mkdir -p "$1/prog" "$1/config/Norvane/Pixolan" "$1/data" "$1/out"
  cp "$snapora" "$1/prog/snapora"
  cp "$dist"/* "$1/prog/"
}
# Stored settings for the next start: the XML form with the given key/value pairs.
write_settings() {  # dir, key, value, key, value...
  local file="$1/config/Norvane/Pixolan/Snapora.ini"
  shift
  printf '<?xml version="1.0" encoding="utf-8"?>\n<InitFile>\n' >"$file"
  while [ $# -ge 2 ]; do
    printf '  <%s>%s</%s>\n' "$1" "$2" "$1" >>"$file"
    shift 2
  done
  printf '</InitFile>\n' >>"$file"
}
# Starts snapora from the program folder with the scenario's XDG folders and waits for its window and
# its list (the Screen entry read through the accessibility tree).
start_snapora() {  # dir
  (cd "$1/prog" && XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data" exec ./snapora) >"$1/output.txt" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
  # Its list, or its end (reported at once, not after the time-out).
  listed_or_end() { atspi row tree Screen || process_ended "$program_pid"; }
  await "snapora's list of targets" listed_or_end || return 1
  if process_ended "$program_pid"; then
    fail "snapora ended before its window appeared: $(tail -c 300 "$1/output.txt" | tr '\n' ' ')"
    program_pid=""
    return 1
  fi
}
stop_snapora() {
  # (A scenario that failed leaves the display as it was then; run_scenarios names the scenario.)
  [ "$failures" -eq 0 ] || import -window root "$artefacts/snapora-native-failed-${scenario:-}.png" 2>/dev/null
  [ -n "$program_pid" ] && ! process_ended "$program_pid" && kill "$program_pid" 2>/dev/null
  [ -z "$program_pid" ] || poll process_ended "$program_pid" || kill -9 "$program_pid" 2>/dev/null
  program_pid=""
  local pid
  for pid in "${targets[@]}"; do kill "$pid" 2>/dev/null; done
  targets=()
}
# A click on the row of the list of targets that reads TEXT (which selects it).
select_target() {  # text
  await "the entry '$1' in the list" atspi row tree "$1" || return 1
  xdotool mousemove $seen click 1
  selected_is() { atspi selected tree | grep -xF "$1"; }
  await "the entry '$1' selected" selected_is "$1"
}
press() { await "the button '$1' pressed" atspi do "push button" "$1"; }
tick() { await "the switch '$1' ticked" atspi do "check box" "$1"; }

# ---- Windows the test paints -----------------------------------------------------------------------------

targets=()  # the process ids of the scenario's own windows (stop_snapora ends them)
# A window titled TITLE whose client area shows a picture of noise (its pixels known to the test), made
# by ImageMagick's display, WIDTHxHEIGHT at LEFT,TOP; waits until it is framed by the manager and keeps
# its window id in pattern_id.
show_pattern() {  # title, width, height, left, top, picture
  local name="pattern-$RANDOM$RANDOM"
  convert -size "$2x$3" xc: +noise Random -alpha off "PNG24:$6" || return 1
  display -title "$name" -geometry "+$4+$5" -immutable "$6" >/dev/null 2>&1 &
  targets+=($!)
  framed() {
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
    [ -n "$id" ] && xprop -id "$id" _NET_FRAME_EXTENTS | grep -q '=' && echo "$id"
  }
  await "the window '$1' framed" framed "$name" || return 1
  pattern_id=$seen
  # The title in UTF-8, as toolkits set it (display would write its bytes as Latin-1).
  xprop -id "$pattern_id" -f _NET_WM_NAME 8u -set _NET_WM_NAME "$1"
  await "the window's title '$1'" sh -c "LC_ALL=C.UTF-8 xprop -id $pattern_id _NET_WM_NAME | grep -qF '= \"$1\"'"
}
# The managed windows' titles, topmost first, as the window manager stacks them.
stacked_titles() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g' | tr ' ' '\n' | tac); do
    LC_ALL=C.UTF-8 xprop -id "$id" _NET_WM_NAME WM_NAME | sed -n 's/^[A-Z_]*NAME([A-Z0-9_]*) = "\(.*\)"$/\1/p' | head -1
  done
}
# True when two pictures hold the same pixels (any file form ImageMagick reads; alpha left out).
same_pixels() {  # picture, picture
  [ "$(pixels_differing "$1" "$2")" == 0 ]
}
size_of() { identify -format '%wx%h' "$1" 2>/dev/null; }

# ---- Scenarios ---------------------------------------------------------------------------------------

# The list of targets: the screen, the desktop and the region first, then every managed window with a
# title, topmost first, as _NET_CLIENT_LIST_STACKING has them; a window that comes or goes shows after a
# refresh.
scenario_list() {
  local dir="$work/list"
  make_program "$dir"
  show_pattern $'Alpha \xc3\x9c\xe2\x82\xac' 120 90 40 40 "$dir/alpha.png" || return
  show_pattern "Beta" 120 90 200 40 "$dir/beta.png" || return
  start_snapora "$dir" || return
  expected() { printf 'Screen\nDesktop\nRegion...\n'; stacked_titles; }
  listed() { atspi rows tree; }
  refreshed_list_is_stacking() {
    atspi do "push button" Refresh >/dev/null || return 1
    local want got
    want=$(expected) got=$(listed)
    echo "$got"
    [ "$want" == "$got" ]
  }
  await "the list equal to the stacking order" refreshed_list_is_stacking &&
    ok "the list: $(tr '\n' '|' <<<"$seen")"
  # Another window on top: after a refresh it is listed first of the windows.
  show_pattern "Gamma" 120 90 360 40 "$dir/gamma.png" || return
  await "Gamma listed after a refresh" refreshed_list_is_stacking && ok "the list: $(tr '\n' '|' <<<"$seen")"
  expect_eq "the first window listed" "$(sed -n 4p <<<"$seen")" Gamma
  shoot "$(window_id)" "$artefacts/snapora-native-list.png"
}

# A window's capture to a file, pixel for pixel: its client area alone with "Capture client area only",
# else with the manager's frame around it (the client plus _NET_FRAME_EXTENTS).
scenario_capture() {
  local dir="$work/capture" id client left right top bottom x y
  make_program "$dir"
  show_pattern "Noise" 160 120 420 300 "$dir/noise.png" || return
  id=$pattern_id
  for client in 1 0; do
    write_settings "$dir" ChbToFile 1 EdtFile "$dir/out/shot$client.png" ChbClient $client
    start_snapora "$dir" || return
    select_target Noise || return
    press Capture || return
    await_file "$dir/out/shot$client.png" "the capture's file" || return
    stop_snapora_only
  done
  same_pixels "$dir/out/shot1.png" "$dir/noise.png" && ok "the client area's capture is the window's picture" ||
    fail "the client area's capture ($(size_of "$dir/out/shot1.png")) differs from the window's picture"
  read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  expect_eq "the framed capture's size" "$(size_of "$dir/out/shot0.png")" \
    "$((160 + left + right))x$((120 + top + bottom))"
  convert "$dir/out/shot0.png" -crop "160x120+$left+$top" +repage "$dir/inner.png"
  same_pixels "$dir/inner.png" "$dir/noise.png" && ok "inside the frame: the window's picture" ||
    fail "the framed capture's inside differs from the window's picture"
  # The frame as the display shows it (the window was raised and stays active after its capture).
  read -r x y < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { print x, $4 }')
  import -window root -crop "$((160 + left + right))x$((120 + top + bottom))+$((x - left))+$((y - top))" +repage "$dir/frame.png"
  same_pixels "$dir/frame.png" "$dir/out/shot0.png" && ok "the frame as the display shows it" ||
    fail "the framed capture differs from the display's pixels (see $artefacts/snapora-native-frame-*.png)"
  cp "$dir/frame.png" "$artefacts/snapora-native-frame-display.png"
  cp "$dir/out/shot0.png" "$artefacts/snapora-native-frame-capture.png"
}
# The hot key (F9 here) pressed while another program's window has the focus takes a capture of the
# selected entry (the screen) to the file. (The key is held until the file is there: the program asks the
# keyboard's state ten times a second.)
scenario_hotkey() {
  local dir="$work/hotkey" x y
  make_program "$dir"
  write_settings "$dir" ChbToFile 1 EdtFile "$dir/out/hot.png" ChbKeyboard 1 CbbFKey 8
  start_snapora "$dir" || return
  show_pattern "Editor" 200 100 300 300 "$dir/editor.png" || return
  xdotool windowactivate --sync "$pattern_id" >/dev/null 2>&1
  await_eq "the active window" Editor xdotool getactivewindow getwindowname || return
  expect_eq "a file before the key" "$([ -e "$dir/out/hot.png" ] && echo yes)" ""
  xdotool keydown F9
  await_file "$dir/out/hot.png" "the hot key's capture"
  xdotool keyup F9
  expect_eq "its size" "$(size_of "$dir/out/hot.png")" "${screen_width}x${screen_height}"
  # The screen as it was: the focused window's picture in it, where the window shows it.
  read -r x y < <(xwininfo -id "$pattern_id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { print x, $4 }')
  convert "$dir/out/hot.png" -crop "200x100+$x+$y" +repage "$dir/part.png"
  same_pixels "$dir/part.png" "$dir/editor.png" && ok "the focused window in the capture" ||
    fail "the capture does not show the focused window at $x,$y"
}

# Automatic capture every 300 ms writes stamped files (base name + date and time + milliseconds); Stop
# ends it: no file after it, the Stop button gone and the file field back at the base name.
stamped_files() { find "$1" -name 'auto*.bmp' | wc -l; }
stamped_files_at_least() { [ "$(stamped_files "$2")" -ge "$1" ]; }
scenario_auto() {
  local dir="$work/auto" name count
  make_program "$dir"
  write_settings "$dir" ChbToFile 1 EdtFile "$dir/out/auto.bmp" CbbSeconds 300
  start_snapora "$dir" || return
  tick "Auto capture each [sec]" || return
  press Capture || return
  await "three stamped files" stamped_files_at_least 3 "$dir/out" || return
  await "the Stop button on the screen" atspi point "push button" Stop || return
  press Stop || return
  await "the Stop button gone" sh -c "! $(printf '%q ' /usr/bin/python3 "$repo/tests/e2e/atspi_probe.py") point snapora 'push button' Stop" || return
  count=$(stamped_files "$dir/out")
  expect_never "a file after Stop" 1.5 stamped_files_at_least $((count + 1)) "$dir/out"
  for name in $(find "$dir/out" -name 'auto*.bmp' -printf '%f\n' | sort); do
    [[ "$name" =~ ^auto[0-9]{8}-[0-9]{6}_[0-9]{3}(-[0-9]+)?\.bmp$ ]] || fail "the name '$name' is not stamped"
    [ "$(size_of "$dir/out/$name")" == "${screen_width}x${screen_height}" ] || fail "$name: $(size_of "$dir/out/$name")"
  done
  ok "$count stamped files of the screen's size"
  expect_eq "the file field after Stop" "$(atspi texts text | grep -xF "$dir/out/auto.bmp")" "$dir/out/auto.bmp"
}

# The Desktop entry: every window out of sight for the capture (the manager's showing-desktop mode), and
# back afterwards.
scenario_desktop() {
  local dir="$work/desktop" snapora_window
  make_program "$dir"
  write_settings "$dir" ChbToFile 1 EdtFile "$dir/out/desktop.png"
  show_pattern "Noise" 200 150 100 100 "$dir/noise.png" || return
  start_snapora "$dir" || return
  snapora_window=$(window_id)
  select_target Desktop || return
  press Capture || return
  await_file "$dir/out/desktop.png" "the desktop's capture" || return
  import -window root "$artefacts/snapora-native-desktop-after.png"
  cp "$dir/out/desktop.png" "$artefacts/snapora-native-desktop.png"
  expect_eq "its size" "$(size_of "$dir/out/desktop.png")" "${screen_width}x${screen_height}"
  # Nothing but the desktop's background: one colour, or the server's two-colour weave.
  expect_between "colours in the capture" "$(convert "$dir/out/desktop.png" -format %k info:)" 1 2
  visible() { xwininfo -id "$1" | grep -q 'Map State: IsViewable' && ! xprop -id "$1" _NET_WM_STATE | grep -q HIDDEN; }
  await "the painted window back" visible "$pattern_id"
  await "snapora's window back" visible "$snapora_window"
  await_eq "the desktop shown" "_NET_SHOWING_DESKTOP(CARDINAL) = 0" xprop -root _NET_SHOWING_DESKTOP
}

# The capture on the clipboard (image/png and image/bmp, both the pixels of the file); the viewer opened
# by a double click on the preview; the file-name question asked before the file is written.
scenario_clipboard() {
  local dir="$work/clipboard" x y
  make_program "$dir"
  write_settings "$dir" ChbToFile 1 EdtFile "$dir/out/clip.png" ChbClient 1 ChbAskName 1
  show_pattern "Noise" 160 120 420 300 "$dir/noise.png" || return
  start_snapora "$dir" || return
  select_target Noise || return
  press Capture || return
  # The question, with the file field's name; answered with another name.
  local question="label:Select a filename"
  await "the file-name question" env ATSPI_WINDOW_WITH="$question" \
    /usr/bin/python3 "$repo/tests/e2e/atspi_probe.py" point snapora "push button" Cancel || return
  shoot "$(xdotool getactivewindow)" "$artefacts/snapora-native-name.png"
  ATSPI_WINDOW_WITH="$question" atspi text text "$dir/out/clip.png" "$dir/out/named.png" ||
    fail "the name cannot be typed into the question"
  ATSPI_WINDOW_WITH="$question" atspi do "push button" OK || fail "the question's OK cannot be pressed"
  await_file "$dir/out/named.png" "the file under the name answered" || return
  expect_eq "a file under the field's name" "$([ -e "$dir/out/clip.png" ] && echo yes)" ""
  same_pixels "$dir/out/named.png" "$dir/noise.png" && ok "the file holds the window's picture" ||
    fail "the file differs from the window's picture"
  await "PNG and BMP on the clipboard" sh -c \
    "xclip -selection clipboard -t TARGETS -o | grep -qx image/png && xclip -selection clipboard -t TARGETS -o | grep -qx image/bmp"
  local kind
  for kind in png bmp; do
    xclip -selection clipboard -t "image/$kind" -o >"$dir/clip.$kind"
    same_pixels "$dir/clip.$kind" "$dir/out/named.png" && ok "the clipboard's image/$kind is the capture" ||
      fail "the clipboard's image/$kind ($(size_of "$dir/clip.$kind")) differs from the capture"
  done
  # The viewer: a double click on the preview (below its label) opens it, a second window with the
  # program's caption and a menu bar, the capture at full size.
  read -r x y < <(atspi point label Preview:)
  xdotool mousemove "$((x + 50))" "$((y + 60))" click --repeat 2 1
  await "the viewer" sh -c "[ \$(xdotool search --onlyvisible --name '^Snapora Version ' | wc -l) -ge 2 ]" || return
  await_eq "the viewer's menus" "File" atspi menus
  shoot "$(xdotool getactivewindow)" "$artefacts/snapora-native-viewer.png"
}

# The command line: two arguments take one capture to the file and end the program with an exit code
# that says how it went (0 written, 2 a name that writes no file, 3 an error, shown in the error box
# first); the settings are saved under XDG_CONFIG_HOME/Norvane/Pixolan.
run_snapora() {  # dir, arguments...
  local dir=$1 rc
  shift
  (cd "$dir/prog" && XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" exec ./snapora "$@") >>"$dir/output.txt" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
  # An error box (titled Snapora) is answered once, as a user closes it.
  ended_or_box() {
    process_ended "$program_pid" && return 0
    local box
    box=$(xdotool search --onlyvisible --name '^Snapora$' | head -1)
    if [ -n "$box" ] && [ ! -e "$dir/box.png" ]; then
      shoot "$box" "$dir/box.png"
      atspi names label >"$dir/box.txt"
      xdotool windowactivate --sync "$box" key Return
    fi
    return 1
  }
  await "snapora's end" ended_or_box || return
  wait "$program_pid" && rc=0 || rc=$?
  program_pid=""
  echo "$rc"
}
scenario_cmdline() {
  local dir="$work/cmdline"
  make_program "$dir"
  expect_eq "exit code of a screen capture to a .png name" "$(run_snapora "$dir" "$dir/out/s.png" screen)" 0
  expect_eq "its size" "$(size_of "$dir/out/s.png")" "${screen_width}x${screen_height}"
  expect_eq "exit code of a desktop capture to a .bmp name" "$(run_snapora "$dir" "$dir/out/d.bmp" Desktop)" 0
  expect_eq "its file" "$(file -b "$dir/out/d.bmp" | cut -d, -f1)" "PC bitmap"
  expect_eq "exit code for a name whose extension writes nothing" "$(run_snapora "$dir" "$dir/out/p.gif" screen)" 2
  expect_eq "no file under it" "$([ -e "$dir/out/p.gif" ] && echo yes)" ""
  expect_eq "exit code for a file in a missing folder" "$(run_snapora "$dir" "$dir/missing/s.png" screen)" 3
  expect_eq "the error box's text" "$(grep -F "$dir/missing/s.png" "$dir/box.txt")" \
    "The file $dir/missing/s.png cannot be created."
  [ -s "$dir/config/Norvane/Pixolan/Snapora.ini" ] && ok "the settings saved under XDG_CONFIG_HOME" ||
    fail "no Snapora.ini under $dir/config/Norvane/Pixolan"

  # A region: the overlay over the frozen screen (a window of noise under the region); Escape ends with
  # exit code 2 and no file, Enter takes the region stored as the last one, pixel for pixel.
  show_pattern "Under the region" 200 150 60 60 "$dir/under.png" || return
  import -window root "$dir/before.png"
  write_settings "$dir" LastRegion "70;80;61;41"
  overlay_shown() {
    local id
    for id in $(xdotool search --onlyvisible --class '^snapora$' 2>/dev/null); do
      xwininfo -id "$id" | grep -qE "^  Width: $screen_width\$" && echo "$id" && return 0
    done
    return 1
  }
  local key pid rc
  for key in Escape Return; do
    (cd "$dir/prog" && XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" exec ./snapora "$dir/out/r.png" region) \
      >>"$dir/output.txt" 2>&1 &
    pid=$!
    started+=("$pid")
    await "the region overlay" overlay_shown || return
    xdotool key "$key"
    await "snapora's end after $key" process_ended "$pid" || return
    wait "$pid" && rc=0 || rc=$?
    if [ "$key" = Escape ]; then
      expect_eq "exit code of the region after Escape" "$rc" 2
      expect_eq "a file after Escape" "$([ -e "$dir/out/r.png" ] && echo yes)" ""
    else
      expect_eq "exit code of the region after Enter" "$rc" 0
      expect_eq "the region's size" "$(size_of "$dir/out/r.png")" 61x41
      same_pixels "$dir/out/r.png" "$dir/before.png[61x41+70+80]" &&
        ok "the region holds the screen's pixels" || {
        cp "$dir/out/r.png" "$artefacts/snapora-native-region.png"
        cp "$dir/before.png" "$artefacts/snapora-native-region-before.png"
        fail "the region's pixels differ from the screen's (both in $artefacts)"
      }
    fi
  done
}

stop_snapora_only() {
  local keep=("${targets[@]}")
  targets=()
  stop_snapora
  targets=("${keep[@]}")
}

run_scenarios stop_snapora "${scenarios[@]}"
