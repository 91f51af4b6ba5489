#!/usr/bin/env bash
# Runs a command on an X display of its own (Xvfb) with a window manager (openbox), both ended when the
# command ends, whatever way it ends; the command's exit status is the script's.
#
#   with_display.sh COMMAND [ARGUMENT...]
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/x11-display.XXXXXX") || exit 1
xvfb_pid="" openbox_pid=""
cleanup() {
  [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The server writes its display's number once it accepts connections.
Xvfb -displayfd 3 -screen 0 "${X11_TEST_SCREEN:-1024x768x24}" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
number=""
for _ in $(seq 300); do
  number=$(tr -dc 0-9 <"$work/display")
  [ -n "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break
  sleep 0.1
done
if [ -z "$number" ]; then
  echo "FAIL: the Xvfb display did not start"
  exit 1
fi
export DISPLAY=":$number"
# The command is an X11 client here, also when the test runs inside a Wayland session (the native
# window system would take that for a Wayland desktop).
unset WAYLAND_DISPLAY XDG_SESSION_TYPE

# The window manager is ready when it has announced its hints on the root window.
openbox --sm-disable >/dev/null 2>&1 &
openbox_pid=$!
for _ in $(seq 300); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "FAIL: openbox did not start"
  exit 1
fi
# ... and it manages windows once it has framed one: a probe window (xlogo) until it carries the frame's
# extents, then gone again.
xlogo -name wm-probe >/dev/null 2>&1 &
probe_pid=$!
framed=""
for _ in $(seq 300); do
  probe=$(xdotool search --name '^wm-probe$' 2>/dev/null | head -n 1)
  [ -n "$probe" ] && xprop -id "$probe" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' && framed=1 && break
  sleep 0.1
done
kill "$probe_pid" 2>/dev/null
wait "$probe_pid" 2>/dev/null
if [ -z "$framed" ]; then
  echo "FAIL: openbox did not frame a window"
  exit 1
fi

"$@"
