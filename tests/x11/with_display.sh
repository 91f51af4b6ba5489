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
for tool in Xvfb openbox xprop xdotool xlogo; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  fi
done

# shellcheck source=../../scripts/lib/wine-host.sh
source "$(dirname "$0")/../../scripts/lib/wine-host.sh"
trap 'window_manager_stop; xvfb_stop' EXIT
XVFB_SCREEN=${X11_TEST_SCREEN:-1024x768x24}
if ! xvfb_start; then
  echo "FAIL: the Xvfb display did not start"
  exit 1
fi
# The command is an X11 client here, also when the test runs inside a Wayland session (the native
# window system would take that for a Wayland desktop).
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
if ! window_manager_start; then
  echo "FAIL: openbox did not manage a window"
  exit 1
fi

"$@"
