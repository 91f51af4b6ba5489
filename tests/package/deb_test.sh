#!/usr/bin/env bash
# The native desktop build's Debian packages (letrana and snapora, from one cpack run), made and used as a
# user's machine would: cpack builds both .deb files, lintian finds no error in either, their desktop
# entries and AppStream metadata validate, and the packages unpacked into a scratch root under the build
# folder work from there: letrana-export writes a real export; letrana and snapora start on an Xvfb
# display of this test's own, find their data folders (../share/<program> beside themselves), show their
# windows with their icons and close again; snapora captures the display from the command line.
#
#   deb_test.sh BUILD_DIR CPACK FONT_FILE
#
# Every tool this needs is installed by scripts/setup.sh: a missing one fails the test.
set -uo pipefail

build_dir=$1
cpack=$2
font=$3
repo=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/wine-host.sh
source "$repo/scripts/lib/wine-host.sh"  # the display and its window manager
# shellcheck source=../e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"  # ok / fail / await
E2E_TIMEOUT=${E2E_TIMEOUT:-90}

work=$build_dir/deb-test
root=$work/root
program_pid=""
cleanup() {
  [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null
  window_manager_stop
  xvfb_stop
}
trap cleanup EXIT

for tool in lintian dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli Xvfb xdotool openbox xprop xlogo xwininfo identify; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done
[ -f "$font" ] || fail "the font $font is missing (scripts/setup.sh installs fonts-dejavu-core)"
[ "$failures" -eq 0 ] || exit 1

rm -rf "$work"
mkdir -p "$work/out" "$work/home"
echo "== building the package"
if ! (cd "$build_dir" && "$cpack" -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack could not build the package"
  exit 1
fi
# What each package holds besides its desktop entry, metadata, icons, copyright and changelog, and the
# libraries its Depends must name.
programs=(letrana snapora)
declare -A app_id=([letrana]=com.norvane.Letrana [snapora]=com.norvane.Snapora)
declare -A depends_on=([letrana]="libqt6widgets6" [snapora]="libqt6widgets6 libxcb-ewmh2 libxcb-shm0")
declare -A files=(
  [letrana]="usr/bin/letrana usr/bin/letrana-export usr/share/letrana/Letrana_Languages.ini
    usr/share/letrana/Letrana_English.lng usr/share/letrana/Letrana_Deutsch.lng usr/share/letrana/Letrana_License.txt
    usr/share/letrana/Letrana_ReadMe.txt usr/share/letrana/help/English/index.html
    usr/share/letrana/help/Deutsch/index.html usr/share/letrana/help/English/style.css usr/share/man/man1/letrana.1.gz
    usr/share/man/man1/letrana-export.1.gz"
  [snapora]="usr/bin/snapora usr/share/snapora/Snapora_Languages.ini usr/share/snapora/Snapora_English.lng
    usr/share/snapora/Snapora_Deutsch.lng usr/share/snapora/Snapora_License.txt usr/share/man/man1/snapora.1.gz")
for program in "${programs[@]}"; do
  echo "== $program"
  deb=$(ls "$work"/cpack/"${program}"_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || { fail "no ${program}_*.deb in $work/cpack"; continue; }
  ok "package $(basename "$deb")"
  lintian "$deb" >"$work/lintian-$program.log" 2>&1
  sed 's/^/    /' "$work/lintian-$program.log"
  if grep -q '^E:' "$work/lintian-$program.log"; then fail "lintian reports errors"; else ok "no lintian error"; fi
  dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x failed"; continue; }
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in ${depends_on[$program]}; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: '$depends'"
  done
  id=${app_id[$program]}
  for file in ${files[$program]} usr/share/doc/$program/copyright usr/share/doc/$program/changelog.Debian.gz \
    usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml; do
    [ -s "$root/$file" ] || fail "/$file is missing or empty"
  done
  for size in 16 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$program.png
    measured=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$icon" 2>&1)
    [ "$measured" == "${size}x${size}" ] || fail "icon of $size pixels: '$measured'"
  done
  # The entry names the icon and the window class by the program's name.
  for key in Exec Icon StartupWMClass; do
    grep -qx "$key=$program" "$root/usr/share/applications/$id.desktop" || fail "the desktop entry lacks $key=$program"
  done
  [ "$failures" -eq 0 ] && ok "Depends: $depends; the programs, the data folder, the documents and the icons"
  desktop-file-validate "$root/usr/share/applications/$id.desktop" && ok "desktop entry valid" || fail "desktop-file-validate"
  if appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1; then
    ok "AppStream metadata valid"
  else
    sed 's/^/    /' "$work/appstream.log"
    fail "appstreamcli validate"
  fi
done

# The installed programs run with a home of their own: nothing of the user's settings is read or written.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data

echo "== the installed letrana-export"
if "$root/usr/bin/letrana-export" --font "$font" --size 24 --form png-alpha --codes 65-67,U+0416 \
  --no-settings --output "$work/out/glyph" >"$work/export.log" 2>&1; then
  ok "exported"
else
  sed 's/^/    /' "$work/export.log"
  fail "letrana-export failed"
fi
for name in glyph065.png glyph066.png glyph067.png glyph1046.png; do
  magic=$(head -c 8 "$work/out/$name" 2>/dev/null | od -An -tx1 | tr -d ' \n')
  [ "$magic" == "89504e470d0a1a0a" ] || fail "$name is no PNG file"
done
grep -q '"code": 1046' "$work/out/glyph.json" 2>/dev/null || fail "glyph.json does not list U+0416"
grep -q 'DejaVu Sans' "$work/export.log" || fail "the export did not draw with DejaVu Sans: $(cat "$work/export.log")"

echo "== the installed programs on a display of their own"
if ! xvfb_start; then
  fail "no Xvfb display"
  exit 1
fi
# A window manager, so that the windows can be closed as a user closes them.
if ! window_manager_start; then
  fail "openbox did not manage a window"
  exit 1
fi
# (The scratch root's share folder first among the data folders, as /usr/share is for an installed
# package: the icon theme is looked up there.)
export XDG_DATA_DIRS="$root/usr/share:/usr/share" QT_QPA_PLATFORM=xcb
declare -A title=([letrana]='^Letrana' [snapora]='^Snapora Version ') settings=(
  [letrana]=Norvane/Letrana/Letrana.ini [snapora]=Norvane/Pixolan/Snapora.ini)
for program in "${programs[@]}"; do
  "$root/usr/bin/$program" >"$work/$program.log" 2>&1 &
  program_pid=$!
  # Its window, or its end (which the check after the wait reports at once, not after the time-out).
  window_or_end() {
    xdotool search --onlyvisible --pid "$program_pid" --name "${title[$program]}" | head -n 1 | grep . ||
      { ! kill -0 "$program_pid" 2>/dev/null && echo "ended"; }
  }
  if ! await "$program's window" window_or_end; then
    : # the wait has counted its failure
  elif [ "$seen" == "ended" ]; then
    fail "$program ended without showing its window"
  else
    window=$seen
    ok "window $window: $(xdotool getwindowname "$window")"
    # The window carries the program's icon from the icon theme (set once it shows), and its class is the
    # entry's.
    await "the program's icon on the window (_NET_WM_ICON)" sh -c "xprop -id $window _NET_WM_ICON | grep -q 'Icon ('" &&
      ok "the window shows the program's icon"
    expect_eq "the window's class" "$(xprop -id "$window" WM_CLASS)" "WM_CLASS(STRING) = \"$program\", \"$program\""
    # Alt+F4 as a user presses it: through the X server's keyboard to the window manager, which asks the
    # active window to close (a key sent to the window itself got lost now and then right after the start).
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    xdotool key --clearmodifiers alt+F4
    if await "$program to end after Alt+F4" process_ended "$program_pid"; then
      wait "$program_pid"
      expect_eq "$program's exit code" "$?" 0
      program_pid=""
      [ -s "$XDG_CONFIG_HOME/${settings[$program]}" ] && ok "settings written under XDG_CONFIG_HOME" ||
        fail "no ${settings[$program]} under $XDG_CONFIG_HOME"
    fi
  fi
  [ "$failures" -eq 0 ] || sed "s/^/    $program: /" "$work/$program.log" | tail -n 20
done

echo "== the installed snapora's capture from the command line"
"$root/usr/bin/snapora" "$work/out/screen.png" screen >"$work/snapora-capture.log" 2>&1 &
program_pid=$!
if await "snapora's end after its capture" process_ended "$program_pid"; then
  wait "$program_pid"
  expect_eq "its exit code" "$?" 0
  program_pid=""
  expect_eq "the capture" "$(identify -format '%m %wx%h' "$work/out/screen.png" 2>&1)" \
    "PNG $(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { print w "x" $2 }')"
fi

echo "failures: $failures"
[ "$failures" -eq 0 ]
