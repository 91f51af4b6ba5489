#!/usr/bin/env bash
# The native snapora in a Wayland session: a headless sway (pixman renderer, no input devices) with a
# known picture as its background, the desktop portals (the frontend, the wlroots backend with the
# PipeWire daemon it needs, the GTK backend for the access dialog the frontend wants) on a session bus
# of their own. Checks that
#   - the command-line capture of the screen comes through the Screenshot portal and equals grim's
#     screenshot of the same output pixel for pixel (and shows the background, not black), also with
#     DISPLAY at sway's XWayland;
#   - the window list (read through the accessibility tree, Qt on Wayland) offers the screen and the
#     window-or-area entry, says why no window is listed, and offers no Desktop;
#   - the Capture button (pressed through the accessibility tree) takes the screen with the main window,
#     which sway tiles over the whole output, out of the picture;
#   - automatic capture writes a picture of the screen at each tick;
#   - the keyboard switch shows the error box that says the desktop gives no program a global key.
# Run as root, it runs the session as a test user of its own (made when missing); run as another user,
# as that user. Everything it starts ends with it, however it ends.
#
#   snapora_portal_test.sh SNAPORA
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 SNAPORA" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
deadline_s=${WAYLAND_TEST_TIMEOUT:-60}

# ---- Outside: the test user, the work folder, the session bus ------------------------------------------
if [ -z "${SNAPORA_WAYLAND_INSIDE:-}" ]; then
  for tool in sway swaybg Xwayland grim swaymsg pipewire dbus-run-session dbus-send /usr/libexec/xdg-desktop-portal \
    /usr/libexec/xdg-desktop-portal-wlr /usr/libexec/xdg-desktop-portal-gtk /usr/libexec/at-spi-bus-launcher \
    convert; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
      exit 1
    fi
  done
  if ! /usr/bin/python3 -c 'import PIL, pyatspi' 2>/dev/null; then
    echo "FAIL: python3-pil or python3-pyatspi is missing (scripts/setup.sh installs them)"
    exit 1
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/snapora-wayland.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT
  # The program, this script and the accessibility probe, copied where the test user can read them
  # (the checkout may lie in a folder only its owner may enter).
  mkdir -p "$work/prog" "$work/tests/wayland" "$work/tests/e2e"
  cp "$1" "$(dirname "$1")"/*.lng "$(dirname "$1")"/*.ini "$work/prog/"
  cp "$0" "$work/tests/wayland/"
  cp "$here/../e2e/atspi_probe.py" "$work/tests/e2e/"
  run_as=()
  if [ "$(id -u)" -eq 0 ]; then
    user=snapora-wltest
    if ! id "$user" >/dev/null 2>&1; then
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" || {
        echo "FAIL: the test user $user cannot be made"
        exit 1
      }
    fi
    chown -R "$user:" "$work"
    chmod 0711 "$work"
    run_as=(runuser -u "$user" --)
  fi
  # The session's programs end with the session: the inside ends them, and the bus takes the rest.
  "${run_as[@]}" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$work" LANG=C.UTF-8 \
    SNAPORA_WAYLAND_INSIDE=1 WORK="$work" DEADLINE_S="$deadline_s" \
    dbus-run-session -- bash "$work/tests/wayland/$(basename "$0")" "$work/prog/snapora" \
    2> >(grep -v 'Failed to set fd limit' >&2)
  exit $?
fi

# ---- Inside the session bus, as the test user ----------------------------------------------------------
started=()
cleanup() {
  local pid child
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    # (swaybg and the accessibility bus's daemon are children of what was started.)
    for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do kill "$child" 2>/dev/null; done
    kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  # The wlroots portal writes every screenshot to this one file; the test user's goes with the test.
  [ ! -O /tmp/out.png ] || rm -f /tmp/out.png
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in "$WORK"/*.log; do
    [ -s "$log" ] && echo "--- $(basename "$log"):" && tail -n 15 "$log"
  done
  exit 1
}

deadline=$((SECONDS + DEADLINE_S))
# Waits (polling) until the command succeeds; fails naming what it waited for.
wait_for() {
  local what=$1
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "$what did not come within ${DEADLINE_S} s"
    sleep 0.1
  done
}
bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export XDG_CACHE_HOME="$WORK/cache" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# The known picture: bands of colour with a gradient across, no two neighbouring pixels alike in
# every channel, the output's size exactly (shown unscaled).
width=320 height=240
convert -size "${width}x${height}" gradient:'#ff2000-#0020ff' \( -size "${width}x${height}" \
  gradient:'#00ff00-#002000' -rotate 90 -resize "${width}x${height}!" \) -compose screen -composite \
  -fill '#ffee00' -draw 'rectangle 40,30 99,89' "PNG24:$WORK/background.png" || fail "the background cannot be made"
cat >"$WORK/sway.conf" <<CONF
xwayland enable
output HEADLESS-1 resolution ${width}x${height} position 0 0 bg $WORK/background.png center #000000
default_border none
CONF

WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=1 \
  sway --config "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
started+=($!)
sway_pid=$!
sock() { ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1; }
has_sock() { [ -n "$(sock)" ]; }
wait_for "sway's IPC socket" has_sock
export SWAYSOCK=$(sock)
wait_for "sway's output" swaymsg -t get_outputs
WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-* | grep -v '\.lock$' | head -n 1)")
export WAYLAND_DISPLAY
kill -0 "$sway_pid" 2>/dev/null || fail "sway ended"

# The background is up once grim's screenshot shows the yellow square.
shows_background() {
  grim "$WORK/grim.png" && /usr/bin/python3 - "$WORK/grim.png" <<'PY'
import sys
from PIL import Image
sys.exit(0 if Image.open(sys.argv[1]).convert("RGB").getpixel((60, 60)) == (255, 238, 0) else 1)
PY
}
wait_for "the background on sway's output" shows_background

# The wlroots portal connects to PipeWire as it starts (for its screen casts) and gives up without it.
pipewire >"$WORK/pipewire.log" 2>&1 &
started+=($!)
wait_for "PipeWire's socket" test -S "$XDG_RUNTIME_DIR/pipewire-0"
/usr/libexec/xdg-desktop-portal-wlr >"$WORK/portal-wlr.log" 2>&1 &
started+=($!)
wait_for "the wlroots portal on the bus" bus_name_owned org.freedesktop.impl.portal.desktop.wlr
# The portal offers screenshots only beside an access-dialog backend, which the GTK one provides.
/usr/libexec/xdg-desktop-portal-gtk >"$WORK/portal-gtk.log" 2>&1 &
started+=($!)
wait_for "the GTK portal on the bus" bus_name_owned org.freedesktop.impl.portal.desktop.gtk
/usr/libexec/xdg-desktop-portal >"$WORK/portal.log" 2>&1 &
started+=($!)
wait_for "the portal on the bus" bus_name_owned org.freedesktop.portal.Desktop

# ---- The screen through the portal, as grim sees it ------------------------------------------------------
# With DISPLAY at sway's XWayland, whose root shows none of the native surfaces (a grab there is black).
swaymsg exec "printf %s \"\$DISPLAY\" >$WORK/display.tmp && mv $WORK/display.tmp $WORK/display" >/dev/null
wait_for "sway's XWayland display" test -s "$WORK/display"
(cd "$(dirname "$1")" && DISPLAY=$(cat "$WORK/display") QT_QPA_PLATFORM=offscreen \
  timeout $((deadline - SECONDS)) ./snapora "$WORK/shot.png" screen) >"$WORK/snapora-capture.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "the command-line capture ended with $status (0: written)"
grim "$WORK/grim.png" || fail "grim took no screenshot"
/usr/bin/python3 - "$WORK/shot.png" "$WORK/grim.png" "$WORK/background.png" <<'PY' || fail "the capture is not grim's screenshot"
import sys
from PIL import Image, ImageChops
shot, grim, background = (Image.open(p).convert("RGB") for p in sys.argv[1:])
if shot.size != grim.size:
    sys.exit(f"sizes differ: snapora {shot.size}, grim {grim.size}")
box = ImageChops.difference(shot, grim).getbbox()
if box is not None:
    sys.exit(f"pixels differ within {box}: snapora {shot.getpixel(box[:2])}, grim {grim.getpixel(box[:2])}")
if ImageChops.difference(shot, background).getbbox() is not None:
    sys.exit("the capture is not the background sway shows")
print(f"PASS: snapora's screen through the portal equals grim's screenshot, {shot.size[0]} x {shot.size[1]}")
PY

# ---- The window list, through the accessibility tree ----------------------------------------------------
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/atspi.log" 2>&1 &
started+=($!)
wait_for "the accessibility bus" bus_name_owned org.a11y.Bus
# Stored settings: captures go to a file.
mkdir -p "$XDG_CONFIG_HOME/Norvane/Pixolan"
printf '<?xml version="1.0" encoding="utf-8"?>\n<InitFile>\n  <EdtFile>%s</EdtFile>\n  <ChbToFile>1</ChbToFile>\n  <CbbSeconds>500</CbbSeconds>\n</InitFile>\n' \
  "$WORK/button.png" >"$XDG_CONFIG_HOME/Norvane/Pixolan/Snapora.ini"
(cd "$(dirname "$1")" && QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec ./snapora) \
  >"$WORK/snapora-list.log" 2>&1 &
started+=($!)
list_pid=$!
names() {
  /usr/bin/python3 - <<'PY' 2>/dev/null
import pyatspi
def walk(node, depth=0):
    if depth > 12:
        return
    yield node
    try:
        children = [node.getChildAtIndex(i) for i in range(min(node.childCount, 500))]
    except Exception:  # the object went meanwhile
        return
    for child in children:
        if child is not None:
            yield from walk(child, depth + 1)
desktop = pyatspi.Registry.getDesktop(0)
for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
    if app is not None and app.name == "snapora":
        for node in walk(app):
            try:
                print(node.name)
            except Exception:
                pass
PY
}
explained="(This desktop does not show other programs' windows)"
lists_explanation() {
  kill -0 "$list_pid" 2>/dev/null || fail "snapora ended before it listed its targets"
  names >"$WORK/names.txt" && grep -qxF "$explained" "$WORK/names.txt"
}
wait_for "snapora's list saying why windows are not listed" lists_explanation
for entry in "Screen" "Window or area..."; do
  grep -qxF "$entry" "$WORK/names.txt" || fail "the list offers no '$entry': $(tr '\n' '|' <"$WORK/names.txt")"
done
! grep -qxF "Desktop" "$WORK/names.txt" || fail "the list offers the Desktop, which the portal cannot take"
echo "PASS: the list offers Screen and Window or area..., says why windows are not listed, and no Desktop"

# ---- The Capture button: the main window (tiled over the whole output) is out of the picture --------------
/usr/bin/python3 "$here/../e2e/atspi_probe.py" do snapora "push button" Capture >/dev/null ||
  fail "snapora's Capture button cannot be pressed"
wait_for "the button's capture in $WORK/button.png" test -s "$WORK/button.png"
/usr/bin/python3 - "$WORK/button.png" "$WORK/background.png" <<'PY' || fail "the button's capture is not the background"
import sys
from PIL import Image, ImageChops
shot, background = (Image.open(p).convert("RGB") for p in sys.argv[1:])
if shot.size != background.size or ImageChops.difference(shot, background).getbbox() is not None:
    sys.exit(f"the capture ({shot.size}) shows more than the background: the main window was not hidden")
print("PASS: the Capture button's screen capture shows the background without the main window")
PY

# ---- Automatic capture: the portal's screenshot at each tick (every 500 ms) ------------------------------
/usr/bin/python3 "$here/../e2e/atspi_probe.py" do snapora "check box" "Auto capture each [sec]" >/dev/null ||
  fail "snapora's automatic-capture switch cannot be toggled"
/usr/bin/python3 "$here/../e2e/atspi_probe.py" do snapora "push button" Capture >/dev/null ||
  fail "snapora's Capture button cannot be pressed"
two_frames() { [ "$(ls "$WORK"/button2*.png 2>/dev/null | wc -l)" -ge 2 ]; }
wait_for "two frames of automatic capture" two_frames
/usr/bin/python3 - "$WORK"/button2*.png <<'PY' || fail "automatic capture's frames are not the screen's"
import sys
from PIL import Image
sizes = {Image.open(p).size for p in sys.argv[1:3]}
if sizes != {(320, 240)}:
    sys.exit(f"frames of {sizes}, not the output's 320 x 240")
print("PASS: automatic capture writes the screen through the portal at each tick")
PY

# ---- The keyboard switch: sway's portals offer no global keys, and the error box says so ------------------
# (The action's answer comes only when the modal box has closed: it is not waited for.)
/usr/bin/python3 "$here/../e2e/atspi_probe.py" do snapora "check box" "Use keyboard to capture" >/dev/null 2>&1 &
started+=($!)
no_keys="This desktop does not let programs have global keys: capture with the Capture button."
says_no_keys() {
  kill -0 "$list_pid" 2>/dev/null || fail "snapora ended after its keyboard switch"
  names >"$WORK/names.txt" && grep -qF "$no_keys" "$WORK/names.txt"
}
wait_for "the error box saying that the desktop gives no global keys" says_no_keys
echo "PASS: the keyboard switch says that this desktop gives no program a global key"
