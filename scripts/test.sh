#!/usr/bin/env bash
# Builds everything and runs every test: the native build, the Windows build under Wine (on an Xvfb
# display and in a fresh Wine prefix under the build folder, both removed afterwards, also when a
# test fails), and the settings-document fuzzer for a bounded time.
#   FUZZ_SECONDS   how long the fuzz harnesses run (default 60 in all)
#   SKIP_WINDOWS=1 / SKIP_FUZZ=1   leave those parts out (for quick local runs)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc)
status=0
summary=()
passed=0
failed=0

run_ctest() {  # name, build dir
  local out="$2/ctest-output.txt"
  ctest --test-dir "$2" --output-on-failure -j "$jobs" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed|tests failed' "$out" | tail -1)
  summary+=("$1: $line")
  if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed=$((failed + 1))  # CTest did not get as far as its summary
  fi
  [ "$rc" -eq 0 ] || status=1
}

# Native build and tests.
cmake --preset linux >/dev/null && cmake --build --preset linux -j "$jobs" || exit 1
run_ctest native build/linux

# Windows build and tests under Wine.
if [ "${SKIP_WINDOWS:-0}" != 1 ]; then
  cmake --preset windows >/dev/null && cmake --build --preset windows -j "$jobs" || exit 1
  xvfb_pid=""
  export WINEPREFIX="$here/build/windows/wineprefix"
  # Temporary folders of the end-to-end tests (with Wine prefixes of their own) go here, so that
  # whatever a killed test left behind is stopped and removed below.
  export TMPDIR="$here/build/windows/tmp"
  cleanup() {
    WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    for prefix in "$TMPDIR"/*/ "$TMPDIR"/*/*/; do
      [ -f "$prefix/system.reg" ] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$TMPDIR"
  }
  trap cleanup EXIT
  rm -rf "$TMPDIR"
  mkdir -p "$TMPDIR"
  # A display of our own: the first free number from 90 on, checked to answer before it is used.
  display=""
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
  done
  if [ -z "$display" ]; then
    echo "test.sh: no free X display number between :90 and :140" >&2
    exit 1
  fi
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! kill -0 "$xvfb_pid" 2>/dev/null || ! xdpyinfo >/dev/null 2>&1; then
    echo "test.sh: the Xvfb display $display did not start" >&2
    exit 1
  fi
  # The end-to-end tests fail rather than skip when they find no display.
  export E2E_REQUIRE_DISPLAY=1
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  # Xvfb has no window manager; unmanaged windows spare Wine its wait for one at every hide.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  run_ctest windows build/windows
fi

# The fuzz harnesses, bounded.
if [ "${SKIP_FUZZ:-0}" != 1 ] && [ -f tests/fuzz/run.sh ]; then
  if bash tests/fuzz/run.sh "${FUZZ_SECONDS:-60}"; then
    summary+=("fuzz: no finding")
    passed=$((passed + 1))
  else
    summary+=("fuzz: FAILED")
    failed=$((failed + 1))
    status=1
  fi
fi

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
