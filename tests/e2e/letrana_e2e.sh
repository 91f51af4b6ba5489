#!/usr/bin/env bash
# End-to-end tests of the real letrana.exe under Wine on an X display: the program is started as a user
# starts it, driven with xdotool (keys, clicks, the real save dialog) and read with winprobe, which runs
# in the same Wine prefix and prints what the system knows of Letrana's windows, menus, fonts and the
# clipboard.
#
#   letrana_e2e.sh LETRANA_EXE WINPROBE_EXE [SCENARIO...]
#     scenarios: start export pngalpha dpi144 restart german clipboard dblclick unicode defaultstart (all when none is named)
#
# DISPLAY and WINEPREFIX are those scripts/test.sh exports (without WINEPREFIX, the prefix beside the
# build's programs is used and made on first use). Without a reachable display the script skips (exit
# code 77). Each scenario runs Letrana from a fresh program folder of its own (letrana.exe, the files
# that ship beside it and a SavePath.ini that sends the storage to a fresh folder), so no two runs share
# settings; it ends its own letrana.exe, also when a check fails. Screenshots are kept in
# <build>/e2e-artefacts.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 LETRANA_EXE WINPROBE_EXE [SCENARIO...]" >&2
  exit 2
fi
letrana_exe=$(readlink -f "$1")
probe_exe=$(readlink -f "$2")
shift 2
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(start export pngalpha dpi144 restart german clipboard dblclick unicode defaultstart)

repo=$(cd "$(dirname "$0")/../.." && pwd)
dist="$repo/letrana/dist"
build_dir=$(cd "$(dirname "$letrana_exe")/.." && pwd)
artefacts="$build_dir/e2e-artefacts"

# shellcheck source=../../scripts/lib/wine-host.sh
source "$repo/scripts/lib/wine-host.sh"
# shellcheck source=e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
e2e_prepare "$letrana_exe" "$build_dir/wineprefix" import convert
mkdir -p "$artefacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/letrana-e2e.XXXXXX")
export PROGRAM_OUTPUT="$work/letrana-output.txt"
own_prefixes=()  # Wine prefixes made here, with their own wineserver
cleanup() {
  local pid prefix
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  for prefix in "${own_prefixes[@]}"; do
    wine_server_end "$prefix"
  done
  rm -rf "$work"
}
trap cleanup EXIT

# ---- The program ----------------------------------------------------------------------------------------
# (The checks, the probe's lines, keys and pixels: tests/e2e/e2e_lib.sh.)

# A fresh program folder DIR/prog (letrana.exe and the shipped files) with its storage sent to DIR/store.
make_program() {  # dir
  mkdir -p "$1/prog" "$1/store"
  cp "$letrana_exe" "$1/prog/letrana.exe"
  cp "$dist"/* "$1/prog/"
  printf 'ApplicationStorage="%s"\r\n' "$(winpath "$1/store")" >"$1/prog/SavePath.ini"
}

# Starts letrana.exe from the program folder and waits until its window is on the display.
start_letrana() { start_program "$1" letrana.exe '^Letrana$'; }

# Waits for the window and its 256 cells (the probe's wait); sets `grid` to the probe's lines.
grid=""
wait_for_grid() {
  grid=$(probe wait-items Letrana 256 $((E2E_TIMEOUT * 1000)) $((E2E_TIMEOUT * 1000)))
}

# Ctrl+Q ends the program: the keys, then its process's end awaited.
quit_with_ctrl_q() {  # what ended
  keys_to "$(probe_value window.xid info Letrana)" ctrl+q
  await "the end of the program after Ctrl+Q" process_ended "$program_pid" && ok "Ctrl+Q ends $1"
}

# Ends the running letrana.exe: asks its window to close, then kills the process if it is still there.
stop_letrana() {
  stop_program Letrana "$program_pid"
  program_pid=""
}

# A copy of the Wine prefix at work/NAME for a scenario that changes the system's settings, so that
# no later test meets the change, even after a killed run; its own wineserver is ended by the clean-up.
# The prefix's server ends first (the end-to-end tests run one at a time, and this scenario's programs
# have ended): while it runs it saves the registry now and then through temporary files, which a copy
# would meet half-way.
prefix_copy() {  # name
  timeout "$E2E_TIMEOUT" wineserver -w >/dev/null 2>&1 || true
  if ! cp -a --reflink=auto "$WINEPREFIX" "$work/$1"; then
    fail "the Wine prefix cannot be copied"
    return 1
  fi
  own_prefixes+=("$work/$1")
}


# The mean difference per channel between two pictures of one size, in thousandths of the full range.
mean_difference() {  # picture, other picture
  compare -metric MAE "$1" "$2" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p' |
    awk '{ printf "%d", $1 * 1000 + 0.5 }'
}

# No error box (a dialog box with the program's title) may be on screen.
expect_no_error_box() {
  local boxes
  boxes=$(probe boxes Letrana)
  if [ "$(value box.count "$boxes")" == 0 ]; then
    ok "no error box"
  else
    fail "an error box is shown: $(value box.0.text "$boxes")"
  fi
}

# The rendering state as the window shows it: sets font_name and font_size from the value labels,
# sample (the control number of the sample label) and background (rrggbb, from its background in a
# screenshot of the window).
font_name="" font_size="" background="" sample=""
read_rendering_state() {  # info lines, screenshot
  local name_label size_label x y
  name_label=$(control_with_text "Font name:" "$1")
  size_label=$(control_with_text "Font size:" "$1")
  sample=$(control_with_text "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890abcdefghijklmnopqrstuxyz" "$1")
  font_name=$(value "control.$((name_label + 1)).text" "$1")
  font_size=$(value "control.$((size_label + 1)).text" "$1")
  # The sample shows one line at its top: its bottom right corner is background.
  x=$(($(value client.offset_x "$1") + $(value "control.$sample.left" "$1") + $(value "control.$sample.width" "$1") - 3))
  y=$(($(value client.offset_y "$1") + $(value "control.$sample.top" "$1") + $(value "control.$sample.height" "$1") - 3))
  background=$(pixel "$2" "$x" "$y")
}

# Letrana started from a fresh program folder under DIR, its grid built, its rendering state read
# from a settled screenshot (read_rendering_state) and its font measured: sets info, window (its x
# window id) and metrics (the probe's measure lines).
info="" window="" metrics=""
start_measured() {  # dir
  make_program "$1"
  start_letrana "$1/prog" || return 1
  wait_for_grid
  info=$(probe info Letrana)
  window=$(value window.xid "$info")
  shoot "$window" "$1/window.png"
  read_rendering_state "$info" "$1/window.png"
  metrics=$(probe measure "$font_name" "$font_size" "$(value window.dpi "$info")")
}

# ---- GIF files -----------------------------------------------------------------------------------------

# Prints "width height transparent index rrggbb" of a GIF file: its logical screen size, whether its
# graphic control extension marks a transparent colour (1/0), that colour's index and its colour in the
# colour map in force (the image's own, else the global one). Fails when giflib cannot read the file.
gif_facts() {  # file
  if command -v giftext >/dev/null; then
    giftext -c "$1" 2>/dev/null | awk '
      /Screen Size - Width =/ { gsub(/[,.]/, ""); w = $6; h = $9 }
      /Transparency on: yes/ { t = 1 }
      /Transparent Index:/ { i = $3 }
      /Global Color Map|Image Has Color Map/ { delete map }
      { for (f = 1; f + 3 <= NF; f++) if ($f ~ /^[0-9]+:$/ && $(f+1) ~ /h$/) {
          n = substr($f, 1, length($f) - 1); c = $(f+1) $(f+2) $(f+3); gsub(/h/, "", c); map[n] = tolower(c) } }
      /GIF file terminated normally/ { done = 1 }
      END { if (!done || w == "") exit 1; printf "%s %s %d %s %s\n", w, h, t, (i == "" ? -1 : i), map[i] }'
  else
    # Without giflib's tools (Debian: giflib-tools), Pillow reads the same facts.
    /usr/bin/python3 - "$1" <<'PY'
import sys
from PIL import Image
data = open(sys.argv[1], "rb").read()
w, h = data[6] | data[7] << 8, data[8] | data[9] << 8
with Image.open(sys.argv[1]) as im:
    im.load()
    t = im.info.get("transparency")
    pal = im.getpalette() or []
    rgb = "%02x%02x%02x" % tuple(pal[3 * t:3 * t + 3]) if t is not None else ""
print(w, h, 1 if t is not None else 0, -1 if t is None else t, rgb)
PY
  fi
}

# The pixels of a GIF file as rrggbb words, one a line (the file is decoded whole).
gif_pixels() {  # file
  if command -v gif2rgb >/dev/null; then
    gif2rgb -1 -o "$work/pixels.rgb" "$1" >/dev/null 2>&1 || return 1
    od -An -v -tx1 -w3 "$work/pixels.rgb" | tr -d ' '
  else
    /usr/bin/python3 -c 'import sys; from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
print("\n".join("%02x%02x%02x" % p for p in im.getdata()))' "$1"
  fi
}

# The export is over: the file of the last code is there and the progress box has gone (the cells are
# written in order, and the box closes after the last one).
export_over() {  # last file
  local windows
  windows=$(probe_value windows.count windows Letrana)
  echo "last file $([ -f "$1" ] && echo there || echo missing), $windows windows 'Letrana'"
  [ -f "$1" ] && [ "$windows" == 1 ]
}

# Exports the selected cells through the real save dialog: Ctrl+S, the base name typed over what the
# dialog remembers (with SCREENSHOT set, a picture of the dialog is kept there), the file type picked
# with keys in "Files of type"; waits until the export is over. A dialog that does not open, or an
# export that does not end, is a failed check.
export_cells() {  # main window, folder, base name, extension written, keys for the file type...
  local window=$1 folder=$2 base=$3 extension=$4 box
  shift 4
  keys_to "$window" ctrl+s
  await_window "Save As" || return 1
  box=$(value window.xid "$window_lines")
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key --clearmodifiers ctrl+a
  xdotool type --clearmodifiers --delay 30 "$(winpath "$folder/$base")"
  xdotool key --clearmodifiers --delay 150 alt+t "$@"
  [ -z "${SCREENSHOT:-}" ] || import -window "$box" "$SCREENSHOT" 2>/dev/null
  xdotool key --clearmodifiers Return
  await "the end of the export to $folder" export_over "$folder/${base}255.$extension"
}

# The PNGs with alpha of a folder against the BMP exports of the same codes in another, decoded by Pillow:
# prints "files F ink rrggbb|mixed largest L partial P", where every PNG must be RGBA with one colour in all
# its pixels (the ink), L is the largest channel difference between a PNG laid over the background
# (rrggbb) and its BMP, and P counts the partly covered pixels (the anti-aliased edges).
png_alpha_facts() {  # png folder, bmp folder, background rrggbb
  /usr/bin/python3 - "$@" <<'PY'
import os, sys
from PIL import Image
pngs, bmps, bg = sys.argv[1], sys.argv[2], bytes.fromhex(sys.argv[3])
files = largest = partial = 0
inks = set()
for name in sorted(os.listdir(pngs)):
    bmp_name = os.path.join(bmps, name[:-4] + ".bmp")
    with Image.open(os.path.join(pngs, name)) as png:
        if png.mode != "RGBA" or not os.path.exists(bmp_name):
            print("files %d ink not-rgba-or-no-bmp:%s largest 999 partial 0" % (files, name))
            sys.exit(0)
        rgba = list(png.getdata())
        with Image.open(bmp_name) as bmp:
            if bmp.size != png.size:
                print("files %d ink size:%s largest 999 partial 0" % (files, name))
                sys.exit(0)
            want = list(bmp.convert("RGB").getdata())
    files += 1
    for (r, g, b, a), w in zip(rgba, want):
        inks.add((r, g, b))
        partial += 0 < a < 255
        for ink, under, got in zip((r, g, b), bg, w):
            largest = max(largest, abs((a * ink + (255 - a) * under + 127) // 255 - got))
ink = "%02x%02x%02x" % inks.pop() if len(inks) == 1 else "mixed"
print("files %d ink %s largest %d partial %d" % (files, ink, largest, partial))
PY
}

# ---- Scenarios -----------------------------------------------------------------------------------------

# The window appears with its caption and the grid gets its 256 cells (how fast is the benchmark's
# business, not a pass condition on a shared machine).
scenario_start() {
  local dir="$work/start" info
  make_program "$dir"
  start_letrana "$dir/prog" || return
  wait_for_grid
  expect_eq "window found" "$(value window.found "$grid")" 1
  expect_eq "256 cells (took $(value items.elapsed_ms "$grid") ms after the window)" \
    "$(value items.reached "$grid")" 1
  info=$(probe info Letrana)
  expect_eq "caption" "$(value window.caption "$info")" "Letrana"
  expect_eq "cells" "$(value listview.items "$info")" 256
  expect_eq "selected cells after the build" "$(value listview.selected "$info")" 0
  # The client area has its designed size (the outer size less the standard frame and menu bar),
  # whatever frame Wine draws around it.
  expect_eq "client width" "$(value client.width "$info")" 692
  expect_eq "client height" "$(value client.height "$info")" 403
  local shot="$artefacts/letrana-start.png"
  if shoot "$(value window.xid "$info")" "$shot"; then
    expect_eq "screenshot size" "$(identify -format '%wx%h' "$shot")" \
      "$(value window.width "$info")x$(value window.height "$info")"
    echo "  screenshot: $shot"
  fi
  expect_no_error_box
  stop_letrana
}

# Ctrl+A, Ctrl+S, the real save dialog with the transparent GIF type: one file per cell, named by the
# three-digit code, as wide as the glyph's advance width and as high as the line height, the background
# colour transparent. Then the BMP and JPEG types, whose pixels of the letter A are compared with the
# sample label's A on screen.
scenario_export() {
  local dir="$work/export" info shot out
  make_program "$dir"
  out="$dir/out"
  mkdir -p "$out"
  start_letrana "$dir/prog" || return
  wait_for_grid
  info=$(probe info Letrana)
  shot="$dir/window.png"
  shoot "$(value window.xid "$info")" "$shot"
  read_rendering_state "$info" "$shot"
  echo "  rendering state: $font_name $font_size pt, background $background"
  local metrics line_height
  metrics=$(probe measure "$font_name" "$font_size" "$(value window.dpi "$info")")
  line_height=$(value font.line_height "$metrics")

  local window
  window=$(value window.xid "$info")
  # The export takes every cell when none is selected: Ctrl+A is checked on its own.
  expect_eq "cells selected before Ctrl+A" "$(value listview.selected "$info")" 0
  keys_to "$window" ctrl+a
  await_eq "cells selected after Ctrl+A" 256 probe_value listview.selected info Letrana
  # "Files of type": the fourth entry, the one before the last.
  SCREENSHOT="$artefacts/letrana-save-dialog.png" export_cells "$window" "$out" glyph gif End Up || {
    stop_letrana
    return
  }
  expect_no_error_box
  await_eq "cells still selected after the export" 256 probe_value listview.selected info Letrana

  local strays
  strays=$(find "$out" -type f ! -regex '.*/glyph[0-9][0-9][0-9]\.gif' -printf '%f\n' | sort | head -5 | tr '\n' ' ')
  expect_eq "files other than glyphNNN.gif" "$strays" ""
  local code name facts width expected missing=0 unexpected=0 wrong=0 undecodable=0 widths=""
  for ((code = 0; code < 256; code++)); do
    name=$(printf 'glyph%03d.gif' "$code")
    expected=$(value "width.$code" "$metrics")
    if [ ! -f "$out/$name" ]; then
      # A code that measures 0 wide renders empty and gets no file.
      if [ "$expected" != 0 ]; then
        missing=$((missing + 1))
        [ $missing -le 5 ] && echo "    missing: $name (advance width $expected)"
      fi
      continue
    fi
    if [ "$expected" == 0 ]; then
      unexpected=$((unexpected + 1))
      [ $unexpected -le 5 ] && echo "    unexpected: $name (the code measures 0 wide)"
    fi
    if ! facts=$(gif_facts "$out/$name") || ! gif_pixels "$out/$name" >/dev/null; then
      undecodable=$((undecodable + 1))
      [ $undecodable -le 5 ] && echo "    giflib cannot read $name"
      continue
    fi
    read -r width height transparent index colour <<<"$facts"
    widths+="$width "
    if [ "$width" != "$expected" ] || [ "$height" != "$line_height" ] || [ "$transparent" != 1 ] ||
      [ "$colour" != "$background" ]; then
      wrong=$((wrong + 1))
      [ $wrong -le 5 ] && echo "    $name: ${width}x$height, transparent $transparent (index $index = $colour);" \
        "expected ${expected}x$line_height, transparent $background"
    fi
  done
  expect_eq "files missing" $missing 0
  expect_eq "files for codes that render empty" $unexpected 0
  expect_eq "files giflib cannot read" $undecodable 0
  expect_eq "files of a wrong size or transparency" $wrong 0
  expect_between "different widths among the files" "$(tr ' ' '\n' <<<"$widths" | sort -u | grep -c .)" 2 256
  # The space is background only.
  if [ -f "$out/glyph032.gif" ]; then
    expect_eq "colours of the space's picture" "$(gif_pixels "$out/glyph032.gif" | sort -u | tr '\n' ' ')" \
      "$background "
  fi

  # The letter A as a bitmap and as a JPEG file, against the system's own drawing of it: the sample
  # label shows "ABC..." from its top-left corner in the rendering font and colours, so its first
  # advance width x line height pixels on screen are the glyph's cell.
  local left top cell
  left=$(($(value client.offset_x "$info") + $(value "control.$sample.left" "$info")))
  top=$(($(value client.offset_y "$info") + $(value "control.$sample.top" "$info")))
  cell="$(value width.65 "$metrics")x$line_height"
  convert "$shot" -crop "$cell+$left+$top" +repage "$dir/sample-A.png"
  # The same cell moved by one pixel each way, to show the JPEG's ink is where the sample's is.
  local moved=("$((left - 1))+$top" "$((left + 1))+$top" "$left+$((top - 1))" "$left+$((top + 1))")
  mkdir -p "$dir/bmp" "$dir/jpg"
  export_cells "$window" "$dir/bmp" glyph bmp Home
  export_cells "$window" "$dir/jpg" glyph jpg Home Down
  expect_no_error_box
  if [ -f "$dir/bmp/glyph065.bmp" ]; then
    expect_eq "size of glyph065.bmp" "$(identify -format '%wx%h' "$dir/bmp/glyph065.bmp")" "$cell"
    expect_eq "pixels of glyph065.bmp unlike the sample's A" \
      "$(compare -metric AE "$dir/bmp/glyph065.bmp" "$dir/sample-A.png" null: 2>&1)" 0
  else
    fail "no glyph065.bmp"
  fi
  if [ -f "$dir/jpg/glyph065.jpg" ]; then
    expect_eq "size of glyph065.jpg" "$(identify -format '%wx%h' "$dir/jpg/glyph065.jpg")" "$cell"
    local in_place offset worse=0
    in_place=$(mean_difference "$dir/jpg/glyph065.jpg" "$dir/sample-A.png")
    expect_between "mean difference of glyph065.jpg from the sample's A (thousandths)" "$in_place" 0 40
    for offset in "${moved[@]}"; do
      convert "$shot" -crop "$cell+$offset" +repage "$dir/moved.png"
      if [ "$(mean_difference "$dir/jpg/glyph065.jpg" "$dir/moved.png")" -gt "${in_place:-1000}" ]; then
        worse=$((worse + 1))
      fi
    done
    expect_eq "sample's A moved by one pixel that matches glyph065.jpg worse (of 4)" $worse 4
  else
    fail "no glyph065.jpg"
  fi
  stop_letrana
}

# The fifth file type, PNG with alpha, through the real save dialog, with smoothed glyph edges (the
# system's standard anti-aliasing, set in a copy of the prefix for this scenario) in a font large enough
# to be smoothed (Arial 28 pt, red on yellow, edited into the settings file after a first run): one RGBA
# file for each BMP export of the same cells, every pixel in the font colour, laid over the background
# equal to the BMP within rounding (one step each way, as the headless test measures).
scenario_pngalpha() {
  local dir="$work/pngalpha" info ini window
  prefix_copy prefix-smooth || return
  local -x WINEPREFIX="$work/prefix-smooth"
  make_program "$dir"
  ini="$dir/store/Letrana.ini"
  start_letrana "$dir/prog" || return
  wait_for_grid
  quit_with_ctrl_q "the first run"
  stop_letrana
  if [ ! -f "$ini" ]; then
    fail "no Letrana.ini in the storage folder"
    return
  fi
  sed -i -e 's|<FontSize>.*</FontSize>|<FontSize>28</FontSize>|' \
    -e 's|<FontColor>.*</FontColor>|<FontColor>255</FontColor>|' \
    -e 's|<BackgroundColor>.*</BackgroundColor>|<BackgroundColor>65535</BackgroundColor>|' "$ini"
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothing /d 2 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 1 /f >/dev/null 2>&1
  if start_letrana "$dir/prog"; then
    wait_for_grid
    info=$(probe info Letrana)
    window=$(value window.xid "$info")
    keys_to "$window" ctrl+a
    await_eq "cells selected after Ctrl+A" 256 probe_value listview.selected info Letrana
    mkdir -p "$dir/bmp" "$dir/png"
    export_cells "$window" "$dir/bmp" glyph bmp Home
    export_cells "$window" "$dir/png" glyph png End
    shoot "$window" "$artefacts/letrana-pngalpha.png"
    expect_no_error_box
    local facts
    facts=$(png_alpha_facts "$dir/png" "$dir/bmp" ffff00)
    echo "  PNG with alpha: $facts"
    expect_eq "PNG files with alpha (one for each BMP)" "$(awk '{ print $2 }' <<<"$facts")" \
      "$(find "$dir/bmp" -name '*.bmp' | wc -l)"
    expect_between "BMP files" "$(find "$dir/bmp" -name '*.bmp' | wc -l)" 200 256
    expect_eq "the one colour of the PNGs' pixels" "$(awk '{ print $4 }' <<<"$facts")" ff0000
    expect_between "partly covered PNG pixels (smoothed edges)" "$(awk '{ print $8 }' <<<"$facts")" 1 100000000
    expect_between "largest difference of a PNG laid over the background from its BMP" \
      "$(awk '{ print $6 }' <<<"$facts")" 0 2
    stop_letrana
  fi
}

# At 144 pixels per inch (in a copy of the prefix) the window and its controls are scaled once, their
# fonts included, and the resize rule uses the scaled margins.
scenario_dpi144() {
  local dir="$work/dpi96" info96 fonts96
  make_program "$dir"
  start_letrana "$dir/prog" || return
  wait_for_grid
  info96=$(probe info Letrana)
  fonts96=$(probe fonts Letrana)
  stop_letrana

  prefix_copy prefix144 || return
  local -x WINEPREFIX="$work/prefix144"
  # Wine 8 takes the resolution from the user's desktop settings; older versions read the second key.
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  "$WINE" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
    /t REG_DWORD /d 144 /f >/dev/null 2>&1
  wineserver -w
  local info fonts
  dir="$work/dpi144"
  make_program "$dir"
  start_letrana "$dir/prog" || return
  wait_for_grid
  info=$(probe info Letrana)
  fonts=$(probe fonts Letrana)
  local shot="$artefacts/letrana-144dpi.png"
  shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"
  expect_eq "screen resolution" "$(value screen.dpi "$info")" 144
  expect_eq "cells" "$(value listview.items "$info")" 256

  local c96 c144
  c96=$(value client.width "$info96")
  c144=$(value client.width "$info")
  # 1.5 times, within 2 %: the frame and the menu bar grow by their own rules, the client area by 1.5.
  expect_between "client width at 144 dpi (at 96: $c96)" "$c144" $((c96 * 147 / 100)) $((c96 * 153 / 100))
  c96=$(value client.height "$info96")
  c144=$(value client.height "$info")
  expect_between "client height at 144 dpi (at 96: $c96)" "$c144" $((c96 * 147 / 100)) $((c96 * 153 / 100))
  expect_eq "grid top (the top panel's height)" "$(value listview.top "$info")" 230

  # Every control of the top panel: 1.5 times its place and size at 96 dpi, within the rounding.
  # Each count of what was compared must be there too: a probe that reports nothing fails.
  local n i key a b scaled_wrong=0 compared=0 top_controls=0
  n=$(value control.count "$info")
  expect_eq "controls" "$n" "$(value control.count "$info96")"
  expect_between "controls reported" "$n" 10 1000
  for ((i = 0; i < ${n:-0}; i++)); do
    a=$(value "control.$i.top" "$info96")
    [[ "$a" =~ ^-?[0-9]+$ ]] && [ "$a" -lt 153 ] || continue
    top_controls=$((top_controls + 1))
    for key in left top width height; do
      a=$(value "control.$i.$key" "$info96")
      b=$(value "control.$i.$key" "$info")
      if ! [[ "$a" =~ ^-?[0-9]+$ && "$b" =~ ^-?[0-9]+$ ]] || [ $((b - a * 3 / 2)) -lt -4 ] ||
        [ $((b - a * 3 / 2)) -gt 4 ]; then
        scaled_wrong=$((scaled_wrong + 1))
        echo "    control $i ($(value "control.$i.text" "$info96")): $key '$b' at 144 dpi, '$a' at 96"
      fi
      compared=$((compared + 1))
    done
  done
  # The top panel: the panel itself, its three buttons, its labels and the preview.
  expect_eq "top-panel controls compared" "$top_controls" 12
  expect_eq "top-panel controls not scaled by 1.5 (of $compared places and sizes)" $scaled_wrong 0

  # Every font: 1.5 times its height at 96 dpi.
  local fonts_wrong=0 fonts_compared=0
  for ((i = 0; i < ${n:-0}; i++)); do
    a=$(value "control.$i.font.height" "$fonts96")
    [ -n "$a" ] || continue
    fonts_compared=$((fonts_compared + 1))
    b=$(value "control.$i.font.height" "$fonts")
    # Half a pixel either way: the system's rounding of 1.5 times an odd height.
    if ! [[ "$b" =~ ^-?[0-9]+$ ]] || [ $((2 * b - 3 * a)) -lt -1 ] || [ $((2 * b - 3 * a)) -gt 1 ]; then
      fonts_wrong=$((fonts_wrong + 1))
      echo "    control $i ($(value "control.$i.text" "$info96")): font height $b at 144 dpi, $a at 96"
    fi
  done
  # Every button, label and the grid carry a font of their own (the panels and the preview do not).
  expect_eq "controls whose font was compared" "$fonts_compared" 13
  expect_eq "fonts not scaled by 1.5 (of $fonts_compared)" $fonts_wrong 0

  # The resize rule with the margins of 144 dpi: 7, 9 and 18 pixels.
  local client copy export_button image value_label
  client=$(value client.width "$info")
  copy=$(control_with_text "Copy image" "$info")
  export_button=$(control_with_text "Export font..." "$info")
  [ -n "$export_button" ] || export_button=$(control_with_text "Export font" "$info")
  read_rendering_state "$info" "$shot"
  image=$(awk '/^control\.[0-9]+\.class=UiImage$/ { split($0, k, "."); print k[2]; exit }' <<<"$info")
  value_label=$((image + 1))
  expect_eq "left of the copy button" "$(value "control.$copy.left" "$info")" \
    $((client / 2 - (7 + $(value "control.$copy.width" "$info"))))
  expect_eq "left of the export button" "$(value "control.$export_button.left" "$info")" $((7 + client / 2))
  expect_eq "left of the preview" "$(value "control.$image.left" "$info")" \
    $(($(value control.0.width "$info") - (9 + $(value "control.$image.width" "$info"))))
  expect_eq "left of the code label" "$(value "control.$value_label.left" "$info")" \
    "$(value "control.$image.left" "$info")"
  expect_eq "width of the sample" "$(value "control.$sample.width" "$info")" \
    $(($(value "control.$image.left" "$info") - (18 + $(value "control.$sample.left" "$info"))))
  expect_no_error_box
  stop_letrana
}

# The settings file: written at close with the placement the user gave the window; a second start
# restores it, and the rendering state edited into the file between the runs.
scenario_restart() {
  local dir="$work/restart" info ini
  make_program "$dir"
  ini="$dir/store/Letrana.ini"
  start_letrana "$dir/prog" || return
  wait_for_grid
  probe move Letrana 100 80 800 500 >/dev/null
  await_eq "placement given" "100;80;800;500" placement Letrana
  quit_with_ctrl_q "the program"
  stop_letrana
  if [ ! -f "$ini" ]; then
    fail "no Letrana.ini in the storage folder"
    return
  fi
  ok "Letrana.ini written"
  expect_eq "first line" "$(head -1 "$ini")" $'<?xml version="1.0" encoding="utf-8"?>\r'
  expect_eq "keys in order" "$(grep -o '^  <[A-Za-z]*>' "$ini" | tr -d ' <>' | tr '\n' ' ')" \
    "WindowPos FontName FontSize FontColor BackgroundColor UseBuildInFont UseFontSettings UseFontHeight FontDefName FontDefColor FontDefHeight FontDefSize FontDefPitch FontDefCharset LanguageName "
  setting() { sed -n "s|^  <$1>\(.*\)</$1>\r\$|\1|p" "$ini"; }
  expect_eq "WindowPos" "$(setting WindowPos)" "100;80;800;500"
  expect_eq "FontName (first run)" "$(setting FontName)" "Arial"
  expect_eq "FontSize (first run)" "$(setting FontSize)" 12
  expect_eq "FontColor (first run)" "$(setting FontColor)" 0
  expect_eq "BackgroundColor (first run)" "$(setting BackgroundColor)" 12632256

  # Another rendering state: Courier New 20 pt, red (0x0000FF) on cyan (0xFFFF00).
  sed -i -e 's|<FontName>.*</FontName>|<FontName>Courier New</FontName>|' \
    -e 's|<FontSize>.*</FontSize>|<FontSize>20</FontSize>|' \
    -e 's|<FontColor>.*</FontColor>|<FontColor>255</FontColor>|' \
    -e 's|<BackgroundColor>.*</BackgroundColor>|<BackgroundColor>16776960</BackgroundColor>|' "$ini"

  start_letrana "$dir/prog" || return
  wait_for_grid
  info=$(probe info Letrana)
  expect_eq "placement restored" "$(placement Letrana)" "100;80;800;500"
  local shot="$artefacts/letrana-restarted.png" fonts
  shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"
  read_rendering_state "$info" "$shot"
  expect_eq "font name shown" "$font_name" "Courier New"
  expect_eq "font size shown" "$font_size" 20
  expect_eq "background of the sample" "$background" "00ffff"
  fonts=$(probe fonts Letrana)
  expect_eq "font of the sample" "$(value "control.$sample.font.face" "$fonts")" "Courier New"
  expect_eq "height of the sample's font" "$(value "control.$sample.font.height" "$fonts")" \
    $((-(20 * $(value window.dpi "$info") + 36) / 72))
  # The grid's cells: the glyph cells in the background colour, the glyphs in red.
  local x y w h
  x=$(($(value client.offset_x "$info") + $(value listview.left "$info")))
  y=$(($(value client.offset_y "$info") + $(value listview.top "$info")))
  w=$(value listview.width "$info")
  h=$(value listview.height "$info")
  expect_between "background-coloured pixels in the grid" "$(count_colour "$shot" $x $y $w $h 00ffff)" 2000 10000000
  expect_between "red pixels in the grid" "$(count_colour "$shot" $x $y $w $h ff0000)" 200 10000000
  expect_no_error_box
  quit_with_ctrl_q "the restarted program"
  stop_letrana
  expect_eq "WindowPos written back" "$(setting WindowPos)" "100;80;800;500"
  expect_eq "FontName written back" "$(setting FontName)" "Courier New"
  expect_eq "FontSize written back" "$(setting FontSize)" 20
  expect_eq "FontColor written back" "$(setting FontColor)" 255
  expect_eq "BackgroundColor written back" "$(setting BackgroundColor)" 16776960
}

# A language list whose default is German: the menus, the buttons and the labels read German, with the
# German shortcut words.
scenario_german() {
  local dir="$work/german" menu info
  make_program "$dir"
  printf 'LanguageDefault="Deutsch"\r\nLanguageName="English"\r\nLanguageFile="Letrana_English.lng"\r\nLanguageName="Deutsch"\r\nLanguageFile="Letrana_Deutsch.lng"\r\n' \
    >"$dir/prog/Letrana_Languages.ini"
  start_letrana "$dir/prog" || return
  wait_for_grid
  menu=$(probe menu Letrana)
  info=$(probe info Letrana)
  local shot="$artefacts/letrana-german.png"
  shoot "$(value window.xid "$info")" "$shot" && echo "  screenshot: $shot"
  expect_eq "first menu" "$(value menu.0 "$menu")" "Datei"
  expect_eq "Ctrl+S item" "$(value menu.0.0 "$menu")" 'Schriftart exportieren...\tStrg+S'

  # Every caption as the shipped German file gives it (in the probe's escapes), with the shortcuts.
  text() {  # key of the language file
    LC_ALL=C sed -n "s|^FrmMain\.$1=\"\(.*\)\"\r\$|\1|p" "$dist/Letrana_Deutsch.lng" | tr -d '\n' |
      od -An -v -tu1 | awk '{ for (i = 1; i <= NF; i++) { c = $i + 0
        if (c == 92) printf "\\\\"; else if (c < 32 || c > 126) printf "\\x%02x", c; else printf "%c", c } }'
  }
  local ctrl shift tab='\t'
  ctrl=$(text m_aMenScCtrl)
  shift=$(text m_aMenScShift)
  local -a expected=(
    "menu.0=$(text MenFile)"
    "menu.0.0=$(text MenExport)$tab$ctrl+S"
    "menu.0.1=$(text MenGenerateImages)$tab$ctrl+G"
    "menu.0.3=$(text MenExit)$tab$ctrl+Q"
    "menu.1=$(text MenEdit)"
    "menu.1.0=$(text MenSelectFont)"
    "menu.1.1=$(text MenSelectFontColor)"
    "menu.1.2=$(text MenSelectBackgroundColor)"
    "menu.1.4=$(text MenSelectAll)$tab$ctrl+A"
    "menu.1.5=$(text MenInvertSelection)$tab$ctrl+I"
    "menu.1.7=$(text MenCopyCharacter)$tab$ctrl+$shift+C"
    "menu.1.8=$(text MenCopyImage)$tab${ctrl}+C"
    "menu.2=?"
    "menu.2.0=$(text MenUsage)${tab}F1"
    "menu.2.1=$(text MenLicense)"
    "menu.2.2=$(text MenReadMe)"
    "menu.2.3=$(text MenCheckUpdate)"
    "menu.2.5=$(text MenInfo)"
  )
  local line key
  for line in "${expected[@]}"; do
    key=${line%%=*}
    expect_eq "$key" "$(value "$key" "$menu")" "${line#*=}"
  done
  local caption
  for key in MenExport MenCopyImage MenSelectFont MenSelectFontColor MenSelectBackgroundColor LblPreview \
    LblFontName LblFontSize; do
    caption=$(text $key)
    if [ -z "$caption" ]; then
      fail "the German file has no text for $key"
    elif [ -n "$(control_with_text "$caption" "$info")" ]; then
      ok "a control reads $caption"
    else
      fail "no control reads $caption"
    fi
  done
  expect_no_error_box
  stop_letrana
}

# Copy character (Ctrl+Shift+C) and copy image (Ctrl+C) of the first selected cell.
scenario_clipboard() {
  local dir="$work/clipboard" clip
  start_measured "$dir" || return

  # A click on the first cell selects code 0: its text is the zero byte alone.
  xdotool mousemove --window "$window" $(($(value client.offset_x "$info") + $(value listview.left "$info") + 14)) \
    $(($(value client.offset_y "$info") + $(value listview.top "$info") + 12)) click 1
  await_eq "first selected after the click" 0 probe_value listview.first_selected info Letrana
  # Each copy is awaited on a clipboard that held the probe's text before it.
  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+shift+c
  await_eq "text of code 0 (hex)" "00" probe_value clipboard.text.hex clipboard

  # End selects the last cell alone: code 255 is the byte ff and a zero byte.
  keys_to "$window" End
  await_eq "first selected after End" 255 probe_value listview.first_selected info Letrana
  expect_eq "cells selected after End" "$(probe_value listview.selected info Letrana)" 1
  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+shift+c
  await_eq "text of code 255 (hex)" "ff00" probe_value clipboard.text.hex clipboard
  expect_eq "bitmap after copy character" "$(probe_value clipboard.bitmap clipboard)" 0

  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+c
  await_eq "bitmap after copy image" 1 probe_value clipboard.bitmap clipboard
  clip=$(probe clipboard)
  expect_eq "bitmap size" "$(value clipboard.bitmap.width "$clip")x$(value clipboard.bitmap.height "$clip")" \
    "$(value width.255 "$metrics")x$(value font.line_height "$metrics")"
  expect_eq "bitmap's top-left pixel (background)" "$(value clipboard.bitmap.topleft "$clip")" "$background"
  expect_eq "palette" "$(value clipboard.palette "$clip")" 0
  expect_eq "text after copy image (the clipboard was emptied)" "$(value clipboard.text "$clip")" 0

  # With every cell selected, the first one (code 0) is copied.
  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+a ctrl+c
  await_eq "bitmap after copy image with all selected" 1 probe_value clipboard.bitmap clipboard
  clip=$(probe clipboard)
  expect_eq "bitmap size with all selected" \
    "$(value clipboard.bitmap.width "$clip")x$(value clipboard.bitmap.height "$clip")" \
    "$(value width.0 "$metrics")x$(value font.line_height "$metrics")"
  expect_no_error_box
  stop_letrana
}

# A double-click on a cell selects that cell alone (by its first click) and copies its image: from no
# selection, and from another selected cell whose glyph has another width.
scenario_dblclick() {
  local dir="$work/dblclick" clip x y
  start_measured "$dir" || return
  # The first cell, code 0.
  x=$(($(value client.offset_x "$info") + $(value listview.left "$info") + 14))
  y=$(($(value client.offset_y "$info") + $(value listview.top "$info") + 12))
  local round
  for round in "no selection" "code 255 selected"; do
    if [ "$round" == "code 255 selected" ]; then
      # End selects the last cell alone; its glyph must differ in width from code 0's, or the
      # picture's size could not tell which cell was copied.
      keys_to "$window" End
      await_eq "first selected after End" 255 probe_value listview.first_selected info Letrana
      if [ "$(value width.255 "$metrics")" == "$(value width.0 "$metrics")" ]; then
        fail "codes 0 and 255 measure alike ($(value width.0 "$metrics")) in $font_name $font_size"
      fi
    else
      expect_eq "cells selected before the double-click ($round)" "$(value listview.selected "$info")" 0
    fi
    probe clipboard-set sentinel >/dev/null
    xdotool mousemove --window "$window" "$x" "$y" click --repeat 2 --delay 80 1
    await_eq "bitmap on the clipboard ($round)" 1 probe_value clipboard.bitmap clipboard
    info=$(probe info Letrana)
    expect_eq "cells selected after the double-click ($round)" "$(value listview.selected "$info")" 1
    expect_eq "first selected after the double-click ($round)" "$(value listview.first_selected "$info")" 0
    clip=$(probe clipboard)
    expect_eq "bitmap size ($round)" "$(value clipboard.bitmap.width "$clip")x$(value clipboard.bitmap.height "$clip")" \
      "$(value width.0 "$metrics")x$(value font.line_height "$metrics")"
    expect_eq "bitmap's top-left pixel ($round)" "$(value clipboard.bitmap.topleft "$clip")" "$background"
    expect_eq "text on the clipboard ($round; the sentinel was replaced)" "$(value clipboard.text "$clip")" 0
  done
  expect_no_error_box
  stop_letrana
}

# Characters > Unicode block > Cyrillic through the real menus with keys: the caption names the block,
# the grid holds its 256 characters, the menu marks the choice, Copy character puts the Unicode text
# and Ctrl+S exports a cell under its code point; the choice is written after the other keys and
# brings the same page back at the next start.
scenario_unicode() {
  local dir="$work/unicode" caption="Letrana - Cyrillic (page 1 of 1)" menu window ini
  make_program "$dir"
  ini="$dir/store/Letrana.ini"
  start_letrana "$dir/prog" || return
  wait_for_grid
  menu=$(probe menu Letrana)
  expect_eq "fourth menu" "$(value menu.3 "$menu")" "Characters"
  expect_eq "code page checked at the start" "$(value menu.3.0.checked "$menu")" 1
  expect_eq "the block's item" "$(value menu.3.1.8 "$menu")" "Cyrillic"
  window=$(probe_value window.xid info Letrana)
  # F10 to the menu bar, three Rights to Characters, Down opens it on "Code page", Down to "Unicode
  # block", Right opens its list on the first block, eight Downs to Cyrillic.
  keys_to "$window" F10 Right Right Right Down Down Right Down Down Down Down Down Down Down Down Return
  grid=$(probe wait-items "$caption" 256 $((E2E_TIMEOUT * 1000)))
  expect_eq "256 cells under '$caption'" "$(value items.reached "$grid")" 1
  menu=$(probe menu "$caption")
  expect_eq "Cyrillic checked" "$(value menu.3.1.8.checked "$menu")" 1
  expect_eq "code page no longer checked" "$(value menu.3.0.checked "$menu")" ""
  shoot "$window" "$artefacts/letrana-cyrillic.png" && echo "  screenshot: $artefacts/letrana-cyrillic.png"
  # A click on the first cell (U+0400), then End to the last one (U+04FF); each copied as Unicode text.
  local info
  info=$(probe info "$caption")
  xdotool mousemove --window "$window" $(($(value client.offset_x "$info") + $(value listview.left "$info") + 14)) \
    $(($(value client.offset_y "$info") + $(value listview.top "$info") + 12)) click 1
  await_eq "first selected after the click" 0 probe_value listview.first_selected info "$caption"
  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+shift+c
  await_eq "Unicode text of the first cell" 0400 probe_value clipboard.unicode.hex clipboard
  # Ctrl+S exports the selected cell through the real save dialog, named by its code point.
  local out="$dir/out" box
  mkdir -p "$out"
  keys_to "$window" ctrl+s
  await_window "Save As" || return
  box=$(value window.xid "$window_lines")
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key --clearmodifiers ctrl+a
  xdotool type --clearmodifiers --delay 30 "$(winpath "$out/cyr")"
  xdotool key --clearmodifiers Return
  await_file "$out/cyr1024.bmp" "the export of U+0400"
  expect_eq "files exported" "$(ls "$out")" "cyr1024.bmp"
  expect_eq "its format and height" "$(identify -format '%m %h' "$out/cyr1024.bmp" 2>/dev/null)" \
    "BMP3 $(value font.line_height "$(probe measure Arial 12 "$(value window.dpi "$info")")")"
  keys_to "$window" End
  await_eq "first selected after End" 255 probe_value listview.first_selected info "$caption"
  probe clipboard-set sentinel >/dev/null
  keys_to "$window" ctrl+shift+c
  await_eq "Unicode text of the last cell" 04ff probe_value clipboard.unicode.hex clipboard
  expect_no_error_box
  keys_to "$window" ctrl+q
  await "the end of the program after Ctrl+Q" process_ended "$program_pid" && ok "Ctrl+Q ends the program"
  program_pid=""
  expect_eq "keys after LanguageName" "$(sed -n '/<LanguageName>/,$p' "$ini" | grep -o '^  <[A-Za-z]*>[^<]*' | tr -d ' <' | tr '>\n' '= ')" \
    "LanguageName= CharacterSet=Cyrillic CharacterPage=1 "
  start_program "$dir/prog" letrana.exe '^Letrana - Cyrillic \(page 1 of 1\)$' || return
  grid=$(probe wait-items "$caption" 256 $((E2E_TIMEOUT * 1000)))
  expect_eq "the Cyrillic page again after a restart" "$(value items.reached "$grid")" 1
  stop_program "$caption" "$program_pid"
  program_pid=""
}

# The default start: no SavePath.ini, in a prefix no Letrana ran in. The settings go to the user's
# local application-data folder + Norvane\Letrana, the first-run record to the folder common to all
# users + Norvane\Letrana, each where Wine's own environment says those folders are, and neither file
# in the other's place.
scenario_defaultstart() {
  local dir="$work/defaultstart" local_dir common_dir
  prefix_copy prefix-default || return
  local -x WINEPREFIX="$work/prefix-default"
  local folders
  folders=$("$WINE" cmd /c 'echo %LOCALAPPDATA%&echo %ProgramData%' 2>/dev/null | tr -d '\r')
  local_dir=$("$WINE" winepath -u "$(sed -n 1p <<<"$folders")" 2>/dev/null)
  common_dir=$("$WINE" winepath -u "$(sed -n 2p <<<"$folders")" 2>/dev/null)
  if [ -z "$local_dir" ] || [ -z "$common_dir" ] || [ "$local_dir" -ef "$common_dir" ]; then
    fail "Wine names no two application-data folders ('$folders')"
    return
  fi
  expect_eq "no Norvane folder before the first start" \
    "$(ls -d "$local_dir/Norvane" "$common_dir/Norvane" 2>/dev/null | wc -l)" 0

  mkdir -p "$dir/prog"
  cp "$letrana_exe" "$dir/prog/letrana.exe"
  cp "$dist"/* "$dir/prog/"
  start_letrana "$dir/prog" || return
  wait_for_grid
  expect_eq "256 cells" "$(value items.reached "$grid")" 1
  local record settings
  quit_with_ctrl_q "the program"
  stop_letrana

  settings="$local_dir/Norvane/Letrana/Letrana.ini"
  record="$common_dir/Norvane/Letrana/Installation.ini"
  if [ -f "$settings" ]; then
    ok "Letrana.ini in the local application-data folder"
    expect_eq "its first line" "$(head -1 "$settings")" $'<?xml version="1.0" encoding="utf-8"?>\r'
  else
    fail "no Letrana.ini in $local_dir/Norvane/Letrana"
  fi
  if [ -f "$record" ]; then
    ok "Installation.ini in the common application-data folder"
    expect_eq "record keys in order" "$(cut -d= -f1 "$record" | tr -d '\r' | tr '\n' ' ')" \
      "InstallationDirectory LanguageFile IniFile Version InstallDate "
    expect_eq "InstallationDirectory" "$(sed -n 's/^InstallationDirectory="\(.*\)"\r$/\1/p' "$record")" \
      "$(winpath "$dir/prog")\\"
    expect_eq "Version" "$(sed -n 's/^Version="\(.*\)"\r$/\1/p' "$record")" "Version 1.630 (21.07.2017)"
    if grep -qE '^InstallDate="[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"'$'\r''$' "$record"; then
      ok "InstallDate as yyyy-mm-dd hh:nn:ss"
    else
      fail "InstallDate is '$(grep InstallDate "$record")'"
    fi
  else
    fail "no Installation.ini in $common_dir/Norvane/Letrana"
  fi
  expect_eq "files in the wrong folder" \
    "$(ls "$local_dir/Norvane/Letrana/Installation.ini" "$common_dir/Norvane/Letrana/Letrana.ini" 2>/dev/null | wc -l)" 0
  expect_eq "SavePath.ini (none was written)" "$(ls "$dir/prog/SavePath.ini" 2>/dev/null | wc -l)" 0
}

# ---- Run -----------------------------------------------------------------------------------------------

run_scenarios stop_letrana "${scenarios[@]}"
