# The parts every end-to-end script shares: the checks and their counting, reading the probe's key=value
# lines, Windows paths, pixels of screenshots and keys to windows. Sourced after the script has set
# probe_exe (winprobe.exe) and chosen its Wine loader (scripts/lib/wine-host.sh sets WINE).

failures=0  # of the running scenario
ok() { echo "  ok: $*"; }
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
# 0 when all passed, 1 when one failed, 2 for an unknown scenario.
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
    start_time=$SECONDS
    "scenario_$scenario"
    "$stop"
    if [ $failures -eq 0 ]; then
      summary+=("$scenario: passed ($((SECONDS - start_time)) s)")
    else
      summary+=("$scenario: FAILED, $failures checks ($((SECONDS - start_time)) s)")
      status=1
    fi
  done
  echo
  printf '%s\n' "${summary[@]}"
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
