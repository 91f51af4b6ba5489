#!/usr/bin/env bash
# The native snapora started on the current X display (one with a window manager: with_display.sh) lists
# a window of that title among the windows it offers to capture, as the accessibility tree reads its
# list. Runs in a D-Bus session of its own (the accessibility bus lives there), from a fresh program
# folder with fresh XDG folders; everything it starts ends with it.
#
#   snapora_lists_windows.sh SNAPORA TITLE
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SNAPORA TITLE" >&2
  exit 2
fi
if [ -z "${SNAPORA_LIST_SESSION:-}" ]; then
  SNAPORA_LIST_SESSION=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/snapora-list.XXXXXX") || exit 1
started=()
cleanup() {
  local pid child
  for pid in "${started[@]}"; do
    # (The accessibility bus's daemon is a child of its launcher.)
    for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do kill "$child" 2>/dev/null; done
    kill "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/prog" "$work/config" "$work/data"
mkdir -m 700 "$work/runtime"
cp "$1" "$(dirname "$1")"/*.lng "$(dirname "$1")"/*.ini "$work/prog/"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
started+=($!)
# The accessibility bus's registry, started now (else on the first question, which then waits for it).
/usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0)' >/dev/null 2>&1
(cd "$work/prog" && QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec ./snapora) >"$work/output.txt" 2>&1 &
started+=($!)

# Every name in snapora's tree (its lists are short: all their items).
names() {
  /usr/bin/python3 - <<'PY' 2>/dev/null
import pyatspi
def walk(node, depth=0):
    if depth > 12:
        return
    yield node
    try:
        children = [node.getChildAtIndex(index) for index in range(min(node.childCount, 500))]
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

deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ]; do
  if ! kill -0 "${started[-1]}" 2>/dev/null; then
    echo "FAIL: snapora ended before it listed the windows: $(tail -c 300 "$work/output.txt")"
    exit 1
  fi
  if names | grep -qxF "$2"; then
    echo "PASS: snapora lists '$2'"
    exit 0
  fi
  sleep 0.2
done
echo "FAIL: snapora does not list '$2'; its tree's names:"
names | head -40
exit 1
