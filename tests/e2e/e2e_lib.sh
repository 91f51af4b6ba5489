# The parts every end-to-end script shares: the checks and their counting, waiting for a state, starting
# a program and waiting for its window, reading the probe's key=value lines, Windows paths, pixels of
# screenshots and keys to windows. Sourced after scripts/lib/wine-host.sh (which sets WINE); probe_exe
# (winprobe.exe) is set before the first probe. scripts/run.sh and the help's picture script use the
# start-and-wait helper too.

failures=0  # of the running scenario
skipped=""  # why the running scenario could not run here, when it could not
ok() { echo "  ok: $*"; }
# The running scenario cannot run on this machine (the reason is printed and in the summary).
skip() {
  echo "  SKIP: $*"
  skipped=$*
}
fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}
expect_eq() {  # what, actual, expected
  if [ "$2" == "$3" ]; then ok "$1 = $3"; else fail "$1 is '$2', expected '$3'"; fi
}
# Passes when low <= value <= high (integers).
expect_between() {  # what, value, low, high
  if [[ "$2" =~ ^-?[0-9]+$ ]] && [ "$2" -ge "$3" ] && [ "$2" -le "$4" ]; then
    ok "$1 = $2 (within $3..$4)"
  else
    fail "$1 is '$2', expected $3..$4"
  fi
}

# ---- Waiting for a state ------------------------------------------------------------------------------
# A script never sleeps to let a program get somewhere: it waits for the state it checks next (a window,
# a dialog, a control's value, a file's final size, the clipboard's sequence number, the process's end).
# Every such wait has the one generous time-out below; a loaded machine makes a wait longer, never a
# check wrong. A wait that runs out fails, naming what it waited for and what it saw last.
E2E_TIMEOUT=${E2E_TIMEOUT:-90}
seen=""  # what the last poll saw

# Runs the command until it succeeds, at most E2E_TIMEOUT seconds; `seen` keeps its last output. (The
# command runs in this shell, so that a check may keep what it saw at the poll before.)
poll() {  # command...
  local deadline=$((SECONDS + E2E_TIMEOUT)) output rc
  output=$(mktemp "${TMPDIR:-/tmp}/e2e-poll.XXXXXX")
  while :; do
    "$@" >"$output" 2>&1 && rc=0 || rc=1
    seen=$(<"$output")
    [ $rc -ne 0 ] && [ $SECONDS -lt $deadline ] || break
    sleep 0.1
  done
  rm -f "$output"
  return $rc
}
# Waits for a state (a command that succeeds once it is there); a failed check when it does not come.
await() {  # what, command...
  local what=$1
  shift
  poll "$@" && return 0
  fail "waited $E2E_TIMEOUT s for $what; last seen: '${seen:0:300}'"
  return 1
}
# Prints the command's output and succeeds when it is the text.
output_is() {  # text, command...
  local text=$1 out
  shift
  out=$("$@")
  printf '%s' "$out"
  [ "$out" == "$text" ]
}
# A check that waits: the command's output becomes the expected text.
await_eq() {  # what, expected, command...
  local what=$1 expected=$2
  shift 2
  if poll output_is "$expected" "$@"; then
    ok "$what = $expected"
    return 0
  fi
  fail "$what is '${seen:0:300}' after $E2E_TIMEOUT s, expected '$expected'"
  return 1
}
# Something that must not happen (a file the program must not write) does not, for the seconds of real
# time given; a failed check as soon as the command succeeds.
expect_never() {  # what, seconds (a fraction too), command...
  local what=$1 seconds=$2 end_ms
  shift 2
  end_ms=$(($(date +%s%N) / 1000000 + $(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1000 }')))
  while [ $(($(date +%s%N) / 1000000)) -lt $end_ms ]; do
    if "$@" >/dev/null 2>&1; then
      fail "$what happened"
      return 1
    fi
    sleep 0.1
  done
  ok "$what did not happen in $seconds s"
}
# The final size of a file a program writes: there, not empty, and of one size at two polls in a row.
file_size_settled() {  # path
  local size
  size=$(stat -c %s "$1" 2>/dev/null) || { echo "no file"; return 1; }
  echo "$size bytes"
  [ "$size" -gt 0 ] && [ "$size" == "${settled_size[$1]:-}" ] && return 0
  settled_size[$1]=$size
  return 1
}
declare -A settled_size=()
await_file() {  # path, what
  unset 'settled_size[$1]'
  await "$2 ($1)" file_size_settled "$1"
}
# True when the process has ended.
process_ended() { ! kill -0 "$1" 2>/dev/null; }

# The count of pixels that differ between two pictures (any form ImageMagick reads, alpha left out), each
# cropped first when its name ends in [WxH+X+Y]. ImageMagick's policy reads no pipe (/dev/fd paths are
# refused since Debian's security update of 2026), so the pictures go through files.
pixels_differing() {  # picture, picture
  local a b
  a=$(mktemp --suffix=.png) b=$(mktemp --suffix=.png)
  convert "$1" +repage -alpha off "PNG24:$a" && convert "$2" +repage -alpha off "PNG24:$b" &&
    compare -metric AE "$a" "$b" null: 2>&1
  rm -f "$a" "$b"
}

# A screenshot of a window once it has painted what it shows: grabbed until two grabs in a row are alike.
window_painted() {  # x window id, picture
  # (Without a window import would wait for the user to click one.)
  [ -n "$1" ] || { echo "no window to take a screenshot of"; return 1; }
  import -window "$1" "$2.next.png" 2>/dev/null || { echo "no screenshot of window $1"; return 1; }
  if [ -f "$2" ] && [ "$(compare -metric AE "$2" "$2.next.png" null: 2>&1)" == 0 ]; then
    rm -f "$2.next.png"
    return 0
  fi
  mv "$2.next.png" "$2"
  echo "the picture still changes"
  return 1
}
shoot() {  # x window id, picture
  rm -f "$2"
  await "a settled screenshot $2" window_painted "$1" "$2"
}

# ---- The native programs' session ---------------------------------------------------------------------

# For the native programs' scenarios, run inside a D-Bus session and on a display of the script's own
# (tests/x11/with_display.sh): a work folder, a runtime folder, the accessibility bus (found through the
# session bus) with its registry started now (else at the first question), Qt on X11. Everything
# started here and every program in `started` ends with the script.
native_session_start() {  # name of the work folder
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  helpers=()
  trap native_session_end EXIT
  export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  helpers+=($!)
  disown
  /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0)' >/dev/null 2>&1
}
native_session_end() {
  local pid
  for pid in "${started[@]}" "${helpers[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  # The accessibility bus's daemon outlives its launcher; it is known by its socket under the work folder.
  pkill -f "dbus-daemon.*$work/" 2>/dev/null
  rm -rf "$work"
}
# The first visible window whose title matches the pattern (xdotool's). xdotool's search walks the
# window tree and ends with BadWindow when a window goes meanwhile (a progress box, a dialog): asked
# again then, for a few moments.
visible_window() {  # title pattern
  local id attempt
  for attempt in $(seq 20); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && echo "$id" && return 0
    sleep 0.1
  done
  return 1
}

# ---- Starting and ending a program --------------------------------------------------------------------

started=()       # Linux process ids of the programs started here (the scripts' clean-up kills them)
program_pid=""   # the program start_program started last
# Starts a Windows program as a double-click does (its folder the working directory) and waits until a
# visible window whose title matches the pattern (xdotool's) is on the display. Its output goes to
# PROGRAM_OUTPUT when set, else to a file beside its folder. Fails with the reason, at once when the
# program ends before its window appeared, else after the time-out.
start_program() {  # folder, exe name, title pattern, arguments...
  local folder=$1 exe=$2 title=$3 output rc deadline=$((SECONDS + E2E_TIMEOUT))
  shift 3
  output=${PROGRAM_OUTPUT:-$folder/../${exe%.exe}-output.txt}
  (cd "$folder" && exec "$WINE" "$folder/$exe" "$@") >"$output" 2>&1 &
  program_pid=$!
  started+=("$program_pid")
  until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
    if process_ended "$program_pid"; then
      wait "$program_pid" && rc=0 || rc=$?
      fail "$exe ended with exit code $rc before its window appeared: $(tail -c 300 "$output" | tr '\n' ' ')"
      program_pid=""
      return 1
    fi
    if [ $SECONDS -ge $deadline ]; then
      fail "$exe shows no window '$title' after $E2E_TIMEOUT s"
      return 1
    fi
    sleep 0.1
  done
}
# Ends a program: asks its window to close (WM_CLOSE, as the close button does) and waits for its
# process; kills it when it does not end. Nothing is checked: a test that wants the program to end by
# itself checks that first.
stop_program() {  # window caption, process id
  [ -n "$2" ] || return 0
  if ! process_ended "$2"; then
    # (a window the probe cannot see, such as one in another Wine prefix, is not waited for)
    if [ "$(probe_value exited close "$1" 10000)" == 1 ]; then
      poll process_ended "$2" || kill -9 "$2" 2>/dev/null
    else
      kill -9 "$2" 2>/dev/null
    fi
  fi
  wait "$2" 2>/dev/null || true
}

# ---- The probe ------------------------------------------------------------------------------------------

probe() { "$WINE" "$probe_exe" "$@" 2>/dev/null; }
# The value of KEY in probe output (the first line KEY=...).
# (awk takes the key and the text from its environment: -v would read the probe's escapes as its own.)
value() {  # key, lines
  KEY="$1=" awk 'BEGIN { k = ENVIRON["KEY"] } index($0, k) == 1 { print substr($0, length(k) + 1); exit }' <<<"$2"
}
# The number of the control whose text is TEXT in `probe info` output.
control_with_text() {  # text, lines
  TEXT="$1" awk 'BEGIN { t = ENVIRON["TEXT"] } /^control\.[0-9]+\.text=/ {
      if (substr($0, index($0, "=") + 1) == t) { split($0, key, "."); print key[2]; exit } }' <<<"$2"
}
# The Windows form of a path below / (Wine's drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# A text as the probe prints it (its backslashes doubled), to compare with a value of its output.
escaped() { printf '%s' "${1//\\/\\\\}"; }

# Keys to a window: focus it, then type them (xdotool's XTEST keys go to the focused window).
keys_to() {  # x window id, keys...
  local window=$1
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key --clearmodifiers --delay 60 "$@"
}
# One value of a probe command's output: probe_value KEY COMMAND ARGUMENTS... (for the waits).
probe_value() {  # key, probe command and arguments...
  local key=$1
  shift
  value "$key" "$(probe "$@")"
}
# The number of the control with the text in the window's `probe info` output; fails when there is none.
control_shown() {  # caption, text
  local n
  n=$(control_with_text "$2" "$(probe info "$1")")
  echo "${n:-none}"
  [ -n "$n" ]
}
# Waits until a visible top-level window with the caption is there; sets `window_lines` to the probe's
# lines about it.
window_lines=""
await_window() {  # caption
  window_lines=$(probe wait-window "$1" $((E2E_TIMEOUT * 1000)))
  [ "$(value found "$window_lines")" == 1 ] && return 0
  fail "waited $E2E_TIMEOUT s for a window '$1'"
  return 1
}
# True when a visible top-level window carries the caption.
window_shown() {  # caption
  local count
  count=$(probe_value windows.count windows "$1")
  echo "${count:-no} visible windows '$1'"
  [ "${count:-0}" -ge 1 ]
}
# True when the clipboard holds a bitmap.
clipboard_has_bitmap() {
  local bitmap
  bitmap=$(probe_value clipboard.bitmap clipboard)
  echo "bitmap on the clipboard: ${bitmap:-unknown}"
  [ "$bitmap" == 1 ]
}
# A window's place and size as "left;top;width;height".
placement() {  # caption
  local info
  info=$(probe info "$1")
  echo "$(value window.left "$info");$(value window.top "$info");$(value window.width "$info");$(value window.height "$info")"
}
# The dialog boxes with the caption (a message box, a save dialog) on screen.
box_count() { probe_value box.count boxes "$1"; }

# A click in the middle of a control of `probe info` output (its number), on the screen.
click_control() {  # info lines, control number
  local x y
  x=$(($(value window.left "$1") + $(value client.offset_x "$1") + $(value "control.$2.left" "$1") +
    $(value "control.$2.width" "$1") / 2))
  y=$(($(value window.top "$1") + $(value client.offset_y "$1") + $(value "control.$2.top" "$1") +
    $(value "control.$2.height" "$1") / 2))
  xdotool mousemove --sync "$x" "$y" click 1
}

# The colour of one pixel of a picture, as rrggbb.
pixel() {  # picture, x, y
  convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6 | tr 'A-F' 'a-f'
}
# How many pixels of a rectangle of a picture have exactly the colour (rrggbb).
count_colour() {  # picture, x, y, width, height, colour
  convert "$1" -crop "$4x$5+$2+$3" +repage -alpha off -fill black +opaque "#$6" -fill white -opaque "#$6" \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# Runs the named scenarios (functions scenario_NAME) one after the other, each followed by the stop
# function (which ends the program it may have left running), prints a line for each and exits with
# 0 when all passed, 1 when one failed, 2 for an unknown scenario and 77 when all were skipped.
run_scenarios() {  # stop function, scenario...
  local stop=$1 scenario start_time status=0
  shift
  local summary=()
  for scenario in "$@"; do
    if ! declare -F "scenario_$scenario" >/dev/null; then
      echo "unknown scenario $scenario" >&2
      exit 2
    fi
    echo "== $scenario"
    failures=0
    skipped=""
    start_time=$SECONDS
    "scenario_$scenario"
    "$stop"
    if [ $failures -eq 0 ] && [ -n "$skipped" ]; then
      summary+=("$scenario: SKIPPED, $skipped")
      ran_none=${ran_none:-1}
    elif [ $failures -eq 0 ]; then
      ran_none=0
      summary+=("$scenario: passed ($((SECONDS - start_time)) s)")
    else
      summary+=("$scenario: FAILED, $failures checks ($((SECONDS - start_time)) s)")
      status=1
    fi
  done
  echo
  printf '%s\n' "${summary[@]}"
  # Exit code 77 (a skip for ctest) when no scenario could run here.
  [ $status -ne 0 ] || [ "${ran_none:-0}" != 1 ] || exit 77
  exit $status
}

# What every scenario needs before it starts, else the script ends: a reachable X display (without
# one: a failure when E2E_REQUIRE_DISPLAY=1, otherwise a skip with exit code 77), the tools named, and
# Wine's loader for the program's architecture with a prefix (WINEPREFIX, else PREFIX).
e2e_prepare() {  # program exe, prefix, tool...
  local exe=$1 prefix=$2 tool arch why
  shift 2
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    if [ "${E2E_REQUIRE_DISPLAY:-0}" = 1 ]; then
      echo "FAIL: no X display (DISPLAY='${DISPLAY:-}'), although one is required"
      exit 1
    fi
    echo "SKIP: no X display (DISPLAY='${DISPLAY:-}' is unset or not reachable); scripts/test.sh starts an Xvfb display"
    exit 77
  fi
  for tool in wineserver xdotool "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
      exit 1
    fi
  done
  # A build this host cannot run fails here, at once.
  if ! arch=$(pe_arch "$exe"); then
    echo "FAIL: $exe is not a Windows program for i686 or x86_64"
    exit 1
  fi
  if ! why=$(wine_select "$arch" 2>&1); then
    echo "FAIL: $why"
    exit 1
  fi
  wine_select "$arch"
  export WINEPREFIX=${WINEPREFIX:-$prefix}
  if ! wine_prefix_ensure; then
    echo "FAIL: no Wine prefix in $WINEPREFIX"
    exit 1
  fi
}
