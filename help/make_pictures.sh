#!/usr/bin/env bash
# Makes the pictures of the help: screenshots of the real letrana.exe and snapora.exe under Wine, in
# each language of the help, saved as PNG files with ImageMagick's import.
#
#   make_pictures.sh OUT_DIR LETRANA_EXE SNAPORA_EXE WINPROBE_EXE X64_BUILD_DIR [DEPFILE STAMP]
#
# OUT_DIR/<Language>/ receives letrana-main.png, snapora-main.png and snapora-capture.png for English
# and Deutsch. The programs run from fresh program folders under OUT_DIR/work, with their storage sent
# there by a SavePath.ini and the language and window place given by their settings files, in a fresh
# Wine prefix under OUT_DIR/work (an earlier one is removed). They are shown on $DISPLAY when it
# answers, else on an Xvfb display of the script's own.
#
# A host that cannot execute 32-bit code cannot run an i686 build's programs: the programs of the
# x86_64 build in X64_BUILD_DIR are taken instead (the pictures show the same windows); without them
# the script fails and says how to build them. DEPFILE, when given, names the programs that were
# actually run as dependencies of STAMP, so that the pictures are made again when one of them changes.
set -euo pipefail

if [ $# -ne 5 ] && [ $# -ne 7 ]; then
  echo "usage: $0 OUT_DIR LETRANA_EXE SNAPORA_EXE WINPROBE_EXE X64_BUILD_DIR [DEPFILE STAMP]" >&2
  exit 2
fi
mkdir -p "$1"
out_dir=$(cd "$1" && pwd)
letrana_exe=$2
snapora_exe=$3
probe_exe=$4
x64_build=$5
depfile=${6:-}
stamp=${7:-}

repo=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/lib/wine-host.sh
source "$repo/scripts/lib/wine-host.sh"
# Starting a program and waiting for its window, the probe's lines and the waits for a state.
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"

readonly languages=(English Deutsch)
readonly snapora_caption="Snapora Version 1.460 (06.06.2017)"

die() {
  echo "make_pictures: $*" >&2
  exit 1
}

for tool in import convert identify xdotool xdpyinfo wineserver; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/setup.sh installs it)"
done
for exe in "$letrana_exe" "$snapora_exe" "$probe_exe"; do
  [ -f "$exe" ] || die "$exe is missing: build the programs first"
done

# Which programs this host can run.
host_detect
arch=$(pe_arch "$letrana_exe") || die "$letrana_exe is not a Windows program for i686 or x86_64"
if [ "$arch" = i686 ] && [ "$HOST_I686" != yes ]; then
  echo "make_pictures: ${HOST_I686_WHY:-the i686 programs cannot run here}; taking the x86_64 build's programs from $x64_build"
  letrana_exe=$x64_build/letrana/letrana.exe
  snapora_exe=$x64_build/snapora/snapora.exe
  probe_exe=$x64_build/tests/probe/winprobe.exe
  for exe in "$letrana_exe" "$snapora_exe" "$probe_exe"; do
    [ -f "$exe" ] || die "this host cannot execute 32-bit code, so the pictures need the x86_64 build's programs, and $exe is missing; build them with: cmake --preset windows64 && cmake --build --preset windows64 (or set LETRANA_HELP_X64_BUILD_DIR to a built x86_64 folder)"
  done
  arch=x86_64
fi
[ "$(pe_arch "$snapora_exe")" = "$arch" ] || die "$snapora_exe is not a program for $arch like $letrana_exe"
wine_select "$arch" || die "Wine cannot run the $arch programs"

work=$out_dir/work
cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  wine_server_end "$work/wineprefix"
  xvfb_stop
}
trap cleanup EXIT

# An Xvfb display of our own where there is none.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  xvfb_start || die "no X display, and no Xvfb display could be started"
  echo "make_pictures: on the Xvfb display $DISPLAY"
fi

wine_server_end "$work/wineprefix"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
wine_prefix_make || die "no Wine prefix in $WINEPREFIX"
prefix_seconds=$SECONDS

# A fresh program folder DIR/prog with the program, the files that ship beside it and a SavePath.ini
# that sends the storage to DIR/store, whose settings file names the language and the window's place.
make_program() {  # dir, exe, dist folder, settings file name, language, window place, more settings
  mkdir -p "$1/prog" "$1/store"
  cp "$2" "$1/prog/"
  cp "$3"/* "$1/prog/"
  printf 'ApplicationStorage="%s"\r\n' "$(winpath "$1/store")" >"$1/prog/SavePath.ini"
  printf '<?xml version="1.0" encoding="utf-8"?>\r\n<InitFile>\r\n  <WindowPos>%s</WindowPos>\r\n%s  <LanguageName>%s</LanguageName>\r\n</InitFile>\r\n' \
    "$6" "${7:-}" "$5" >"$1/store/$4"
}

# A screenshot of one window once it has painted, checked to have the window's size.
picture_of() {  # info lines, picture
  local xid
  xid=$(value window.xid "$1")
  [ -n "$xid" ] || die "no window to take $2 of"
  shoot "$xid" "$2" || die "no settled screenshot $2"
  [ "$(identify -format '%wx%h' "$2")" = "$(value window.width "$1")x$(value window.height "$1")" ] ||
    die "$2 is not of the window's size"
  # A window not yet painted (or a screenshot of nothing) has a colour or two; the real windows have
  # text, buttons and glyphs.
  [ "$(identify -format '%k' "$2")" -ge 16 ] || die "$2 looks empty: $(identify -format '%k' "$2") colours"
}

# Snapora's list of targets holds its entries (its start is over).
snapora_list_filled() { [ "$(probe_value items items "$snapora_caption")" -ge 2 ] 2>/dev/null; }

for language in "${languages[@]}"; do
  pictures=$out_dir/$language
  mkdir -p "$pictures"

  # Letrana with its grid of 256 cells.
  dir=$work/$language/letrana
  make_program "$dir" "$letrana_exe" "$repo/letrana/dist" Letrana.ini "$language" "20;20;708;462"
  start_program "$dir/prog" letrana.exe '^Letrana$' || die "Letrana did not start"
  letrana_pid=$program_pid
  grid=$(probe wait-items Letrana 256 $((E2E_TIMEOUT * 1000)) $((E2E_TIMEOUT * 1000))) || true
  [ "$(value items.reached "$grid")" = 1 ] || die "Letrana's grid did not get its 256 cells"
  # The progress box of the grid's build has gone.
  await "Letrana's window alone" output_is 1 probe_value windows.count windows Letrana || die "the progress box stays"
  # A click on the first cell and End select the last cell, code 255, so that the enlarged character and
  # its code show in the picture.
  info=$(probe info Letrana)
  xid=$(value window.xid "$info")
  xdotool mousemove --window "$xid" $(($(value client.offset_x "$info") + $(value listview.left "$info") + 14)) \
    $(($(value client.offset_y "$info") + $(value listview.top "$info") + 12)) click 1
  keys_to "$xid" End || true
  await "code 255 selected" output_is 255 probe_value listview.first_selected info Letrana || die "End selected no cell 255"
  xdotool mousemove 0 0
  picture_of "$(probe info Letrana)" "$pictures/letrana-main.png"

  # Snapora as it starts, then after one capture of the screen (with Letrana's window on it) with the
  # Capture button; its window lies beside Letrana's.
  dir=$work/$language/snapora
  make_program "$dir" "$snapora_exe" "$repo/snapora/dist" Snapora.ini "$language" "540;560;708;426" \
    $'  <CbbSeconds>5000</CbbSeconds>\r\n'
  start_program "$dir/prog" snapora.exe '^Snapora Version [0-9.]+ \([0-9.]+\)$' || die "Snapora did not start"
  snapora_pid=$program_pid
  await "Snapora's list of targets" snapora_list_filled || die "Snapora's list stays empty"
  info=$(probe info "$snapora_caption")
  picture_of "$info" "$pictures/snapora-main.png"
  capture=$(awk '/^control\.[0-9]+\.text=/ { split($0, key, "."); n[key[2]] = substr($0, index($0, "=") + 1) }
      /^control\.[0-9]+\.class=Button/ { split($0, key, "."); b[key[2]] = 1 }
      END { for (c in n) if (b[c] && (n[c] == "Capture" || n[c] == "Aufnehmen")) print c }' <<<"$info" | head -1)
  [ -n "$capture" ] || die "Snapora's Capture button was not found"
  x=$(($(value window.left "$info") + $(value client.offset_x "$info") + $(value "control.$capture.left" "$info") +
    $(value "control.$capture.width" "$info") / 2))
  y=$(($(value window.top "$info") + $(value client.offset_y "$info") + $(value "control.$capture.top" "$info") +
    $(value "control.$capture.height" "$info") / 2))
  probe clipboard-set make_pictures >/dev/null
  # The capture hides the window, grabs the screen (after a wait of its own), puts the capture on the
  # clipboard and shows the window again with the preview. A click that the window did not take (under
  # load; the window neither hid nor filled the clipboard within seconds) is given again.
  capture_begun() { clipboard_has_bitmap || ! window_shown "$snapora_caption"; }
  for attempt in 1 2 3; do
    xdotool mousemove --sync "$x" "$y" click 1
    E2E_TIMEOUT=15 poll capture_begun && break
  done
  if ! await "the capture on the clipboard" clipboard_has_bitmap; then
    import -window root "$out_dir/snapora-capture-failed.png" 2>/dev/null
    die "Snapora's capture did not reach the clipboard (the screen: $out_dir/snapora-capture-failed.png;" \
      "error boxes: $(probe boxes "$snapora_caption" 2>/dev/null | tr '\n' ' ')"
  fi
  await "Snapora's window back" window_shown "$snapora_caption" || die "Snapora's window did not come back"
  xdotool mousemove 0 0
  picture_of "$(probe info "$snapora_caption")" "$pictures/snapora-capture.png"
  stop_program "$snapora_caption" "$snapora_pid"
  stop_program Letrana "$letrana_pid"
done

# The prefix and the program folders are of no further use (over a gigabyte); a failed run keeps them
# for a look at the programs' output.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
rm -rf "$work"

if [ -n "$depfile" ]; then
  printf '%s: %s %s %s\n' "$stamp" "$(readlink -f "$letrana_exe")" "$(readlink -f "$snapora_exe")" \
    "$(readlink -f "$probe_exe")" >"$depfile"
fi
echo "make_pictures: $(find "$out_dir" -name '*.png' | wc -l) pictures in $out_dir ($arch programs) in $SECONDS s, $prefix_seconds s of them for the Wine prefix"
