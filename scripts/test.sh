#!/usr/bin/env bash
# Builds everything and runs every test: the native build; both Windows builds under Wine (on one
# Xvfb display, each suite in a fresh Wine prefix under its build folder, removed afterwards, also
# when a test fails); and the settings-document fuzzer for a bounded time.
#
# The x86_64 suite runs on every host, under Wine's 64-bit loader. The i686 suite (the primary build)
# runs where this host can execute 32-bit code; where it cannot, it is still built, and the summary
# says in one line that it was not run and why.
#   FUZZ_SECONDS   how long the fuzz harnesses run (default 60 in all)
#   SKIP_WINDOWS=1 / SKIP_FUZZ=1   leave those parts out (for quick local runs; the summary says so)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
jobs=$(nproc)
status=0
summary=()
passed=0
failed=0
started=$SECONDS

run_ctest() {  # name, build dir
  local out="$2/ctest-output.txt" began=$SECONDS
  ctest --test-dir "$2" --output-on-failure -j "$jobs" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed|tests failed' "$out" | tail -1)
  summary+=("$1: $line ($((SECONDS - began)) s)")
  if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed=$((failed + 1))  # CTest did not get as far as its summary
  fi
  [ "$rc" -eq 0 ] || status=1
}

fail_part() {  # name, reason
  summary+=("$1: FAILED, $2")
  failed=$((failed + 1))
  status=1
}

build() {  # preset
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

# Native build and tests.
build linux || exit 1
run_ctest native build/linux

# Windows builds and tests under Wine.
if [ "${SKIP_WINDOWS:-0}" != 1 ]; then
  host_detect
  tmp_dirs=()
  cleanup() {
    local dir prefix
    wineserver -k >/dev/null 2>&1 || true
    for dir in "${tmp_dirs[@]}"; do
      # Temporary folders of the end-to-end tests, with Wine prefixes of their own.
      for prefix in "$dir"/*/ "$dir"/*/*/; do
        [ -f "$prefix/system.reg" ] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
      done
      rm -rf "$dir" "$(dirname "$dir")/wineprefix"
    done
    xvfb_stop
  }
  trap cleanup EXIT
  # The end-to-end tests fail rather than skip when they find no display.
  export E2E_REQUIRE_DISPLAY=1
  if ! xvfb_start; then
    fail_part windows "no Xvfb display"
  else
    for arch in i686 x86_64; do
      if [ "$arch" = i686 ]; then preset=windows; else preset=windows64; fi
      began=$SECONDS
      if ! build "$preset"; then
        fail_part "$arch" "the build failed"
        continue
      fi
      summary+=("$arch build: $((SECONDS - began)) s")
      if [ "$arch" = i686 ] && [ "$HOST_I686" != yes ]; then
        if [ "$HOST_I686" = no ]; then
          summary+=("i686: not run, $HOST_I686_WHY")
        else
          fail_part i686 "$HOST_I686_WHY"
        fi
        continue
      fi
      if ! wine_select "$arch"; then
        fail_part "$arch" "Wine cannot run it"
        continue
      fi
      export WINEPREFIX="$here/build/$preset/wineprefix"
      # Temporary folders of the end-to-end tests go here, so that whatever a killed test left
      # behind is stopped and removed by cleanup.
      export TMPDIR="$here/build/$preset/tmp"
      tmp_dirs+=("$TMPDIR")
      rm -rf "$TMPDIR"
      mkdir -p "$TMPDIR"
      if ! wine_prefix_make; then
        fail_part "$arch" "no Wine prefix"
        continue
      fi
      run_ctest "$arch" "build/$preset"
      wineserver -k >/dev/null 2>&1 || true
    done
    unset TMPDIR
  fi
else
  summary+=("windows: not run (SKIP_WINDOWS=1)")
fi

# The fuzz harnesses, bounded.
if [ "${SKIP_FUZZ:-0}" != 1 ] && [ -f tests/fuzz/run.sh ]; then
  if bash tests/fuzz/run.sh "${FUZZ_SECONDS:-60}"; then
    summary+=("fuzz: no finding")
    passed=$((passed + 1))
  else
    fail_part fuzz "a finding or a failed build"
  fi
else
  summary+=("fuzz: not run (SKIP_FUZZ=1)")
fi

echo
echo "== summary ($((SECONDS - started)) s)"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
