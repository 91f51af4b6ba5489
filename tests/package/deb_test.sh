#!/usr/bin/env bash
# The native desktop build's Debian package, made and used as a user's machine would: cpack builds the
# .deb, lintian finds no error in it, the desktop entry and the AppStream metadata validate, and the
# package unpacked into a scratch root under the build folder works from there: its letrana-export
# writes a real export, and its letrana starts on an Xvfb display of this test's own, finds its data
# folder (../share/letrana beside itself), shows its window and closes again.
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
letrana_pid=""
cleanup() {
  [ -z "$letrana_pid" ] || kill "$letrana_pid" 2>/dev/null
  window_manager_stop
  xvfb_stop
}
trap cleanup EXIT

for tool in lintian dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli Xvfb xdotool xprop xlogo openbox; do
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
deb=$(ls "$work"/cpack/letrana_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { fail "no letrana_*.deb in $work/cpack"; exit 1; }
ok "package $(basename "$deb")"

echo "== lintian"
lintian "$deb" >"$work/lintian.log" 2>&1
sed 's/^/    /' "$work/lintian.log"
if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; else ok "no lintian error"; fi

echo "== contents"
dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x failed"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libqt6widgets6*) ok "Depends: $depends" ;; *) fail "Depends lacks Qt's widgets: '$depends'" ;; esac
for file in usr/bin/letrana usr/bin/letrana-export usr/share/letrana/Letrana_Languages.ini \
  usr/share/letrana/Letrana_English.lng usr/share/letrana/Letrana_Deutsch.lng \
  usr/share/letrana/Letrana_License.txt usr/share/letrana/Letrana_ReadMe.txt \
  usr/share/letrana/help/English/index.html usr/share/letrana/help/Deutsch/index.html \
  usr/share/letrana/help/English/style.css usr/share/doc/letrana/copyright \
  usr/share/doc/letrana/changelog.Debian.gz usr/share/man/man1/letrana.1.gz \
  usr/share/applications/com.norvane.Letrana.desktop usr/share/metainfo/com.norvane.Letrana.metainfo.xml; do
  [ -s "$root/$file" ] || fail "/$file is missing or empty"
done
for size in 16 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/letrana.png
  measured=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$icon" 2>&1)
  [ "$measured" == "${size}x${size}" ] || fail "icon of $size pixels: '$measured'"
done
[ "$failures" -eq 0 ] && ok "the programs, their data folder, the documents and the icons"
if desktop-file-validate "$root/usr/share/applications/com.norvane.Letrana.desktop"; then
  ok "desktop entry valid"
else
  fail "desktop-file-validate"
fi
if appstreamcli validate --no-net "$root/usr/share/metainfo/com.norvane.Letrana.metainfo.xml" >"$work/appstream.log" 2>&1; then
  ok "AppStream metadata valid"
else
  sed 's/^/    /' "$work/appstream.log"
  fail "appstreamcli validate"
fi

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

echo "== the installed letrana on a display of its own"
if ! xvfb_start; then
  fail "no Xvfb display"
  exit 1
fi
# A window manager, so that the window can be closed as a user closes it.
if ! window_manager_start; then
  fail "openbox did not manage a window"
  exit 1
fi
# (The scratch root's share folder first among the data folders, as /usr/share is for an installed
# package: the icon theme is looked up there.)
XDG_DATA_DIRS="$root/usr/share:/usr/share" QT_QPA_PLATFORM=xcb "$root/usr/bin/letrana" >"$work/letrana.log" 2>&1 &
letrana_pid=$!
# Its window, or its end (which the check after the wait reports at once, not after the time-out).
window_or_end() {
  xdotool search --onlyvisible --pid "$letrana_pid" --name '^Letrana' | head -n 1 | grep . ||
    { ! kill -0 "$letrana_pid" 2>/dev/null && echo "ended"; }
}
if ! await "letrana's window" window_or_end; then
  : # the wait has counted its failure
elif [ "$seen" == "ended" ]; then
  fail "letrana ended without showing its window"
else
  window=$seen
  ok "window $window: $(xdotool getwindowname "$window")"
  # The window carries the program's icon from the icon theme (set on the window once Qt has it,
  # which can be a moment after the window shows).
  window_icon() { xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep -q 'Icon ('; }
  await "the program's icon on its window (_NET_WM_ICON)" window_icon && ok "the window shows the program's icon"
  xdotool windowactivate --sync "$window" >/dev/null 2>&1
  xdotool key --window "$window" alt+F4
  ended() { ! kill -0 "$letrana_pid" 2>/dev/null; }
  if await "letrana to end after Alt+F4" ended; then
    wait "$letrana_pid"
    expect_eq "letrana's exit code" "$?" 0
    letrana_pid=""
    [ -s "$XDG_CONFIG_HOME/Norvane/Letrana/Letrana.ini" ] && ok "settings written under XDG_CONFIG_HOME" ||
      fail "no Letrana.ini under $XDG_CONFIG_HOME/Norvane/Letrana"
  fi
fi
[ "$failures" -eq 0 ] || sed 's/^/    letrana: /' "$work/letrana.log" | tail -n 20

echo "failures: $failures"
[ "$failures" -eq 0 ]
