#!/usr/bin/env bash
# Runs a command in a Wayland session as the portal client sees it (WAYLAND_DISPLAY set; no compositor
# is needed for the portal) on a session bus of its own, where fake_screenshot_portal.py stands in for
# the Screenshot portal; FAKE_PORTAL_ANSWER names the file it reads its answers from. Everything ends
# with the command; its exit status is the script's.
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
cleanup() {
  [ -z "$portal" ] || kill "$portal" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

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
