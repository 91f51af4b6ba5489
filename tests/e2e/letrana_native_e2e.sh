#!/usr/bin/env bash
# End-to-end tests of the native Linux letrana (the Qt desktop build) on an X display of its own with a
# window manager (openbox): the program is started as a user starts it, driven with xdotool (keys, the
# real save dialog) and read through the accessibility tree (AT-SPI, tests/e2e/atspi_probe.py), the
# clipboard with xclip, its pictures against letrana-export's of the same font.
#
#   letrana_native_e2e.sh LETRANA LETRANA_EXPORT [SCENARIO...]
#     scenarios: start export clipboard restart german help (all when none is named)
#
# The script runs in a D-Bus session of its own (the accessibility bus lives there) on an Xvfb display
# of its own. Each scenario starts letrana from a fresh program folder (the program and the files beside
# it) with fresh XDG folders, so no two runs share settings, and ends it, also when a check fails.
# Screenshots are kept in <build>/e2e-artefacts.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 LETRANA LETRANA_EXPORT [SCENARIO...]" >&2
  exit 2
fi
repo=$(cd "$(dirname "$0")/../.." && pwd)
for tool in Xvfb openbox xdotool xclip import convert dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  fi
done
# The accessibility bus is found through the session bus: one of the script's own, and a display of its
# own with a window manager that frames windows before the script goes on.
if [ -z "${LETRANA_E2E_SESSION:-}" ]; then
  LETRANA_E2E_SESSION=1 exec dbus-run-session -- bash "$repo/tests/x11/with_display.sh" bash "$0" "$@" \
    2> >(grep -v 'Failed to set fd limit' >&2)
fi

letrana=$(readlink -f "$1")
letrana_export=$(readlink -f "$2")
shift 2
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(start export clipboard restart german help)
dist="$repo/letrana/dist"
build_dir=$(cd "$(dirname "$letrana")/.." && pwd)
artefacts="$build_dir/e2e-artefacts"
mkdir -p "$artefacts"

# shellcheck source=e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
native_session_start letrana-native-e2e

atspi() { /usr/bin/python3 "$repo/tests/e2e/atspi_probe.py" "$1" letrana "${@:2}"; }
window_id() { visible_window '^Letrana$'; }
window_size() { xdotool getwindowgeometry "$(window_id)" | sed -n 's/.*Geometry: //p'; }

# A fresh program folder DIR/prog (the program and the files beside it) and XDG folders under DIR.
make_program() {  # dir
  mkdir -p "$1/prog" "$1/config" "$1/data"
  cp "$letrana" "$1/prog/letrana"
  cp "$dist"/* "$1/prog/"
  # The help pages the build staged beside the program.
  [ ! -d "$(dirname "$letrana")/help" ] || cp -r "$(dirname "$letrana")/help" "$1/prog/"
}
# Starts letrana from the program folder with the scenario's XDG folders and waits for its window and
# its grid: with READ_TREE=1 read through the accessibility tree (its 256 characters), else until the
# window's picture settles. (Qt hands every key to the accessibility bus before it takes it, and once a
# reader has asked the program something, keys typed through the X server's test extension can get
# lost on that way: the scenarios that type run with the tree off, as they do for most users.)
start_letrana() {  # dir
  local tree=${READ_TREE:-0}
  # (Qt turns the tree on when the variable is set at all, whatever its value.)
  if [ "$tree" = 1 ]; then export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1; else unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON; fi
  XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data" PROGRAM_OUTPUT="$1/output.txt" \
    start_program_native "$1/prog" || return 1
  if [ "$tree" = 1 ]; then
    await_eq "characters in the grid" 256 atspi children list ""
  else
    shoot "$(window_id)" "$1/window.png"
  fi
}
start_program_native() {  # folder
  local rc
  (cd "$1" && exec ./letrana) >"$PROGRAM_OUTPUT" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
  # Its window, or its end (reported at once, not after the time-out).
  window_or_end() { [ -n "$(window_id)" ] || process_ended "$program_pid"; }
  await "letrana's window" window_or_end || return 1
  if process_ended "$program_pid"; then
    wait "$program_pid" && rc=0 || rc=$?
    fail "letrana ended with exit code $rc before its window appeared: $(tail -c 300 "$PROGRAM_OUTPUT" | tr '\n' ' ')"
    program_pid=""
    return 1
  fi
}
# Keys typed into a window as a user types them: the window activated first (through the window
# manager), then the keys through the X server's keyboard.
keys_into() {  # x window id, keys...
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  xdotool key --clearmodifiers "${@:2}"
}
# Ctrl+Q ends the program (its settings are written as it ends).
quit_letrana() {
  keys_into "$(window_id)" ctrl+q
  await "the end of the program after Ctrl+Q" process_ended "$program_pid" || return 1
  ok "Ctrl+Q ends the program"
  program_pid=""
}
stop_letrana() {
  [ -n "$program_pid" ] && ! process_ended "$program_pid" && kill "$program_pid" 2>/dev/null
  [ -z "$program_pid" ] || poll process_ended "$program_pid" || kill -9 "$program_pid" 2>/dev/null
  program_pid=""
}
# A click on the middle of an object of the accessibility tree, once it is on the screen.
click_on() {  # role, name
  await "$1 '$2' on the screen" atspi point "$1" "$2" || return 1
  xdotool mousemove $seen click 1
}
# The key of the focused window (a dialog over the main window once it is up).
active_name() { xdotool getactivewindow getwindowname 2>/dev/null; }
# (A moment without an active window, while the window manager hands the activation on, is no window.)
active_is_not() {
  local name
  name=$(active_name) && [ -n "$name" ] && [ "$name" != "$1" ]
}
# True when two pictures hold the same pixels, alpha included (any file form Pillow reads).
same_pixels() {  # picture, picture
  /usr/bin/python3 -c 'import sys
from PIL import Image
a, b = (Image.open(p).convert("RGBA") for p in sys.argv[1:3])
sys.exit(0 if a.size == b.size and a.tobytes() == b.tobytes() else 1)' "$1" "$2"
}
count_files() { find "$1" -type f -name "$2" | wc -l; }

scenario_start() {
  local dir="$work/start" shot="$artefacts/letrana-native.png"
  make_program "$dir"
  READ_TREE=1 start_letrana "$dir" || return
  atspi tree > "$artefacts/letrana-native-tree.txt"
  expect_eq "menus" "$(atspi menus | tr '\n' ' ')" "File Edit ? Characters "
  shoot "$(window_id)" "$shot" && echo "  screenshot: $shot"
  # The grid shows the characters: many colours of anti-aliased glyphs, not one flat area.
  expect_between "colours in the window" "$(convert "$shot" -format %k info:)" 20 1000000
  # The about box from the menu, as a user opens it (clicks on "?" and on Info), modal over the window,
  # with the program's name and version, closed by its button.
  click_on "menu item" "?" || return
  click_on "menu item" "Info" || return
  await "the about box" sh -c "xdotool search --onlyvisible --name '^Info\$' | grep ." || return
  local info=$seen
  await "the version in the about box" sh -c "$(printf '%q ' /usr/bin/python3 "$repo/tests/e2e/atspi_probe.py") names letrana label | grep -x 'Version .*'"
  shoot "$info" "$artefacts/letrana-native-about.png"
  click_on "push button" "OK" || return
  await "the about box closed" sh -c "! xdotool search --onlyvisible --name '^Info\$' | grep -q ."
}

# One export through the real save dialog: the base name typed, the file type chosen with the keys given
# (in the dialog's type box, after the name), then every file against letrana-export's of the same form,
# pixel for pixel (alpha included).
export_through_dialog() {  # dir, extension, letrana-export's form, keys in the type box...
  local out="$1/out-$2" ref="$1/ref-$2" file wrong=0 dialog expected
  mkdir -p "$out" "$ref"
  keys_into "$(window_id)" ctrl+s
  await "the save dialog" active_is_not Letrana || return
  dialog=$(xdotool getactivewindow) && [ -n "$dialog" ] || { fail "no active save dialog"; return; }
  shoot "$dialog" "$artefacts/letrana-native-save-dialog-$2.png"
  keys_into "$dialog" ctrl+a
  xdotool type --delay 5 "$out/glyph"
  [ $# -le 3 ] || xdotool key Tab "${@:4}"
  xdotool key Return
  "$letrana_export" --no-settings --form "$3" --output "$ref/glyph" >/dev/null || fail "letrana-export failed"
  expected=$(count_files "$ref" "glyph*.$2")
  expect_between "reference $2 files" "$expected" 150 256
  await_eq "$2 files exported" "$expected" count_files "$out" "glyph*.$2" ||
    import -window root "$artefacts/letrana-native-export-$2-missing.png"
  await_file "$out/$(cd "$ref" && ls glyph*."$2" | tail -1)" "the last $2 file"
  for file in "$ref"/glyph*."$2"; do
    same_pixels "$file" "$out/${file##*/}" || {
      wrong=$((wrong + 1))
      [ $wrong -le 5 ] && echo "    ${file##*/} differs from letrana-export's"
    }
  done
  expect_eq "$2 files unlike letrana-export's" $wrong 0
}

scenario_export() {
  local dir="$work/export"
  make_program "$dir"
  start_letrana "$dir" || return
  # Every cell chosen (Ctrl+A): the export takes the chosen cells. (Now and then a cell shows chosen
  # after the start without the user's doing; the export of all cells is checked whatever the start
  # left chosen.)
  keys_into "$(window_id)" ctrl+a
  export_through_dialog "$dir" bmp bmp
  # The last type, PNG with alpha.
  export_through_dialog "$dir" png png-alpha End
}

scenario_clipboard() {
  local dir="$work/clipboard" ref="$work/clipboard/ref"
  make_program "$dir"
  mkdir -p "$ref"
  READ_TREE=1 start_letrana "$dir" || return
  # A click on the cell of A, then Copy image from the Edit menu (through the accessibility tree).
  local centre
  centre=$(atspi centre list 65) || { fail "the cell of A is not on the screen"; return; }
  xdotool mousemove $centre click 1
  atspi do "menu item" $'Copy image\tCtrl+C' || fail "Copy image cannot be chosen"
  await "a PNG on the clipboard" sh -c "xclip -selection clipboard -t TARGETS -o | grep -qx image/png"
  xclip -selection clipboard -t image/png -o >"$dir/clip.png"
  "$letrana_export" --no-settings --codes 65 --output "$ref/glyph" >/dev/null
  same_pixels "$dir/clip.png" "$ref/glyph065.bmp" && ok "the clipboard holds A as letrana-export draws it" ||
    fail "the clipboard's picture differs from letrana-export's A"
  # Copy character puts the character itself, as text.
  atspi do "menu item" $'Copy character\tCtrl+Shift+C' || fail "Copy character cannot be chosen"
  await_eq "the text on the clipboard" A xclip -selection clipboard -o
}

scenario_restart() {
  local dir="$work/restart" ini="$work/restart/config/Norvane/Letrana/Letrana.ini"
  make_program "$dir"
  start_letrana "$dir" || return
  xdotool windowsize "$(window_id)" 700 500
  await_eq "the window's size" "700x500" window_size
  quit_letrana || return
  [ -f "$ini" ] && ok "Letrana.ini written under XDG_CONFIG_HOME" || { fail "no $ini"; return; }
  local before
  before=$(grep -o '<WindowPos>.*</WindowPos>' "$ini")
  start_letrana "$dir" || return
  await_eq "the window's size after a restart" "700x500" window_size
  quit_letrana
  expect_eq "the placement written again" "$(grep -o '<WindowPos>.*</WindowPos>' "$ini")" "$before"
}

scenario_german() {
  local dir="$work/german"
  make_program "$dir"
  sed -i 's/^LanguageDefault=.*/LanguageDefault="Deutsch"\r/' "$dir/prog/Letrana_Languages.ini"
  READ_TREE=1 start_letrana "$dir" || return
  local text
  text() { LC_ALL=C sed -n "s|^FrmMain\.$1=\"\(.*\)\"\r\$|\1|p" "$dist/Letrana_Deutsch.lng" | iconv -f CP1252 -t UTF-8; }
  expect_eq "menus" "$(atspi menus | tr '\n' '|')" "$(text MenFile)|$(text MenEdit)|?|$(text MenCharacters)|"
  expect_eq "the export item" "$(atspi names "menu item" | sed -n 2p)" "$(text MenExport)"$'\t'"$(text m_aMenScCtrl)+S"
  shoot "$(window_id)" "$artefacts/letrana-native-german.png"
}

# F1 hands the help page of the language in force to the desktop's opener (xdg-open; here one of the
# scenario's own that notes what it was given).
scenario_help() {
  local dir="$work/help"
  make_program "$dir"
  mkdir -p "$dir/bin"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$dir/opened.txt" >"$dir/bin/xdg-open"
  chmod +x "$dir/bin/xdg-open"
  PATH="$dir/bin:$PATH" start_letrana "$dir" || return
  keys_into "$(window_id)" F1
  await "the help page handed to xdg-open" test -s "$dir/opened.txt" || return
  local page
  page=$(head -1 "$dir/opened.txt")
  page=${page#file://}
  expect_eq "the page opened" "$page" "$dir/prog/help/English/index.html"
  [ -s "$page" ] && ok "the page is there" || fail "no page $page"
}

run_scenarios stop_letrana "${scenarios[@]}"
