#!/usr/bin/env bash
# Runs a command in a Wayland session as the portal client sees it (WAYLAND_DISPLAY set; no compositor
# is needed for the portal) on a session bus of its own, where fake_screenshot_portal.py stands in for
# the Screenshot portal; FAKE_PORTAL_ANSWER names the file it reads its answers from. For the ScreenCast
# portal's streams a PipeWire daemon of its own runs with its session manager and two sources of
# GStreamer's test picture (SMPTE bars, 333 x 197), one in BGRx and one in RGBx: FAKE_SCREEN_NODES
# names their nodes ("BGRx:ID RGBx:ID"), FAKE_SCREEN_FRAME a file holding one picture of them in BGRx.
# Everything ends with the command; its exit status is the script's.
#
#   with_fake_portal.sh COMMAND [ARGUMENT...]
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
if [ -z "${FAKE_PORTAL_SESSION:-}" ]; then
  if ! command -v dbus-run-session >/dev/null || ! /usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null; then
    echo "FAIL: dbus-run-session or python3-gi is missing (scripts/setup.sh installs them)"
    exit 1
  fi
  FAKE_PORTAL_SESSION=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/fake-portal.XXXXXX") || exit 1
portal=""
pids=()
cleanup() {
  [ -z "$portal" ] || kill "$portal" 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

for tool in pipewire wireplumber pw-dump gst-launch-1.0; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  fi
done
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" PIPEWIRE_RUNTIME_DIR="$work/run"
pipewire >"$work/pipewire.log" 2>&1 &
pids+=($!)
until [ -S "$work/run/pipewire-0" ]; do
  [ $SECONDS -lt 60 ] || { echo "FAIL: PipeWire did not start"; cat "$work/pipewire.log"; exit 1; }
  sleep 0.1
done
wireplumber >"$work/wireplumber.log" 2>&1 &
pids+=($!)
picture="videotestsrc pattern=smpte"
size="width=333,height=197"
gst-launch-1.0 -q $picture num-buffers=1 ! "video/x-raw,format=BGRx,$size" ! filesink location="$work/frame.bgrx"
export FAKE_SCREEN_FRAME="$work/frame.bgrx"
for format in BGRx RGBx; do
  gst-launch-1.0 -q $picture is-live=true ! "video/x-raw,format=$format,$size,framerate=10/1" ! \
    pipewiresink mode=provide stream-properties="p,media.class=Video/Source,node.name=fake-screen-$format" \
    >"$work/source-$format.log" 2>&1 &
  pids+=($!)
done
FAKE_SCREEN_NODES=""
until [ "$(wc -w <<<"$FAKE_SCREEN_NODES")" = 2 ]; do
  [ $SECONDS -lt 60 ] || { echo "FAIL: the test sources did not reach PipeWire"; cat "$work"/*.log; exit 1; }
  sleep 0.1
  FAKE_SCREEN_NODES=$(pw-dump 2>/dev/null | /usr/bin/python3 -c '
import json, sys
nodes = {o["info"]["props"].get("node.name"): o["id"] for o in json.load(sys.stdin)
         if o.get("type", "").endswith(":Node") and o.get("info")}
print(" ".join(f"{f}:{nodes[n]}" for f, n in (("BGRx", "fake-screen-BGRx"), ("RGBx", "fake-screen-RGBx")) if n in nodes))' 2>/dev/null)
done
export FAKE_SCREEN_NODES

export FAKE_PORTAL_ANSWER="$work/answer" WAYLAND_DISPLAY=wayland-portal-test XDG_SESSION_TYPE=wayland
echo "error" >"$FAKE_PORTAL_ANSWER"
/usr/bin/python3 "$(dirname "$0")/fake_screenshot_portal.py" "$FAKE_PORTAL_ANSWER" &
portal=$!
deadline=$((SECONDS + 60))
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:org.freedesktop.portal.Desktop 2>/dev/null | grep -q 'boolean true'; do
  if [ $SECONDS -ge $deadline ] || ! kill -0 "$portal" 2>/dev/null; then
    echo "FAIL: the stand-in portal did not come up"
    exit 1
  fi
  sleep 0.1
done
"$@"
