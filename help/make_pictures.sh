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
  probe_exe=$x64_build/platform/win32/probe/winprobe.exe
  for exe in "$letrana_exe" "$snapora_exe" "$probe_exe"; do
    [ -f "$exe" ] || die "this host cannot execute 32-bit code, so the pictures need the x86_64 build's programs, and $exe is missing; build them with: cmake --preset windows64 && cmake --build --preset windows64 (or set LETRANA_HELP_X64_BUILD_DIR to a built x86_64 folder)"
  done
  arch=x86_64
fi
[ "$(pe_arch "$snapora_exe")" = "$arch" ] || die "$snapora_exe is not a program for $arch like $letrana_exe"
wine_select "$arch" || die "Wine cannot run the $arch programs"

work=$out_dir/work
started=()
cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  [ ! -f "$work/wineprefix/system.reg" ] || WINEPREFIX="$work/wineprefix" wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
}
trap cleanup EXIT

# An Xvfb display of our own. Another program may start an X server on the same free number at the same
# moment: ours then ends at once while the display answers (the other's), and would vanish under the
# programs when the other ends. So the server must still run a moment later, else the next number is
# tried.
own_display() {
  local attempt
  for attempt in 1 2 3; do
    xvfb_start || return 1
    sleep 0.5
    if kill -0 "$XVFB_PID" 2>/dev/null; then return 0; fi
    echo "make_pictures: the X display $DISPLAY is another's (attempt $attempt)"
    XVFB_PID=""
  done
  return 1
}
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  own_display || die "no X display, and no Xvfb display could be started"
  echo "make_pictures: on the Xvfb display $DISPLAY"
fi

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
wine_prefix_make || die "no Wine prefix in $WINEPREFIX"
prefix_seconds=$SECONDS

probe() { "$WINE" "$probe_exe" "$@" 2>/dev/null; }
value() {  # key, lines
  KEY="$1=" awk 'BEGIN { k = ENVIRON["KEY"] } index($0, k) == 1 { print substr($0, length(k) + 1); exit }' <<<"$2"
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

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

# Starts a program and waits until a visible window with the caption (a pattern) is on the display.
pid=""
start_program() {  # program folder, exe name, caption pattern (sets pid)
  local i rc
  (cd "$1" && exec "$WINE" "$1/$2") >"$1/../output.txt" 2>&1 &
  pid=$!
  started+=("$pid")
  for ((i = 0; i < 300; i++)); do
    xdotool search --onlyvisible --name "$3" >/dev/null 2>&1 && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && rc=0 || rc=$?
      die "$2 ended with exit code $rc before its window appeared: $(tail -c 300 "$1/../output.txt" | tr '\n' ' ')"
    fi
    sleep 0.1
  done
  die "$2 shows no window after 30 s"
}

stop_program() {  # caption, pid
  local i pid=$2
  probe close "$1" 5000 >/dev/null || true
  for ((i = 0; i < 50; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# A screenshot of one window, checked to have the window's size.
shoot() {  # info lines, picture
  local xid
  xid=$(value window.xid "$1")
  [ -n "$xid" ] || die "no window to take $2 of"
  import -window "$xid" "$2" || die "import could not take $2"
  [ "$(identify -format '%wx%h' "$2")" = "$(value window.width "$1")x$(value window.height "$1")" ] ||
    die "$2 is not of the window's size"
  # A window not yet painted (or a screenshot of nothing) has a colour or two; the real windows have
  # text, buttons and glyphs.
  [ "$(identify -format '%k' "$2")" -ge 16 ] || die "$2 looks empty: $(identify -format '%k' "$2") colours"
}

for language in "${languages[@]}"; do
  pictures=$out_dir/$language
  mkdir -p "$pictures"

  # Letrana with its grid of 256 cells.
  dir=$work/$language/letrana
  make_program "$dir" "$letrana_exe" "$repo/letrana/dist" Letrana.ini "$language" "20;20;708;462"
  start_program "$dir/prog" letrana.exe '^Letrana$'
  grid=$(probe wait-items Letrana 256 20000 30000)
  [ "$(value items.reached "$grid")" = 1 ] || die "Letrana's grid did not get its 256 cells"
  sleep 1  # the last cells paint and the progress box goes
  # A click on the first cell and End select the last cell, code 255, so that the enlarged character and
  # its code show in the picture.
  info=$(probe info Letrana)
  xid=$(value window.xid "$info")
  xdotool mousemove --window "$xid" $(($(value client.offset_x "$info") + $(value listview.left "$info") + 14)) \
    $(($(value client.offset_y "$info") + $(value listview.top "$info") + 12)) click 1
  xdotool windowfocus --sync "$xid" 2>/dev/null || true
  xdotool key --clearmodifiers End
  for ((i = 0; i < 50; i++)); do
    [ "$(value listview.first_selected "$(probe info Letrana)")" = 255 ] && break
    sleep 0.1
  done
  xdotool mousemove 0 0
  sleep 0.5
  shoot "$(probe info Letrana)" "$pictures/letrana-main.png"
  letrana_pid=$pid

  # Snapora as it starts, then after one capture of the screen (with Letrana's window on it) with the
  # Capture button; its window lies beside Letrana's.
  dir=$work/$language/snapora
  make_program "$dir" "$snapora_exe" "$repo/snapora/dist" Snapora.ini "$language" "540;560;708;426" \
    $'  <CbbSeconds>5000</CbbSeconds>\r\n'
  start_program "$dir/prog" snapora.exe '^Snapora Version [0-9.]+ \([0-9.]+\)$'
  sleep 1
  info=$(probe info "$snapora_caption")
  shoot "$info" "$pictures/snapora-main.png"
  capture=$(awk '/^control\.[0-9]+\.text=/ { split($0, key, "."); n[key[2]] = substr($0, index($0, "=") + 1) }
      /^control\.[0-9]+\.class=Button/ { split($0, key, "."); b[key[2]] = 1 }
      END { for (c in n) if (b[c] && (n[c] == "Capture" || n[c] == "Aufnehmen")) print c }' <<<"$info" | head -1)
  [ -n "$capture" ] || die "Snapora's Capture button was not found"
  x=$(($(value window.left "$info") + $(value client.offset_x "$info") + $(value "control.$capture.left" "$info") +
    $(value "control.$capture.width" "$info") / 2))
  y=$(($(value window.top "$info") + $(value client.offset_y "$info") + $(value "control.$capture.top" "$info") +
    $(value "control.$capture.height" "$info") / 2))
  xdotool mousemove --sync "$x" "$y" click 1
  # The capture hides the window, grabs the screen (after a wait of its own) and shows the window again
  # with the preview.
  sleep 2
  for ((i = 0; i < 100; i++)); do
    xdotool search --onlyvisible --name '^Snapora Version' >/dev/null 2>&1 && break
    sleep 0.2
  done
  xdotool mousemove 0 0
  sleep 1
  shoot "$(probe info "$snapora_caption")" "$pictures/snapora-capture.png"
  stop_program "$snapora_caption" "$pid"
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
