#!/usr/bin/env bash
# Builds everything and runs every test: the native build; both Windows builds under Wine (on one
# Xvfb display, each suite in a fresh Wine prefix under its build folder, removed afterwards, also
# when a test fails); and the fuzz harnesses (settings document, font kerning) for a bounded time.
#
# The x86_64 suite runs on every host, under Wine's 64-bit loader. The i686 suite (the primary build)
# runs where this host can execute 32-bit code; where it cannot, it is still built, and the summary
# says in one line that it was not run and why.
# Nothing is skipped unseen: every test executable records each skipped case with its reason (the
# test support's main writes them to TEST_SKIP_LOG), CTest's own skips are read from its output, and
# the summary names them all. What scripts/setup.sh installs must be there: TEST_REQUIRE_SETUP=1
# turns a test's skip for a missing font or device into a failure.
#   FUZZ_SECONDS   how long the fuzz harnesses run (default 60 in all)
# The native Linux desktop build (Qt 6, preset linux-desktop) is built and its tests run on an Xvfb
# display of the script's own: its backend's controls, and the Debian package made, checked by lintian
# and its programs run from it.
#   SKIP_WINDOWS=1 / SKIP_DESKTOP=1 / SKIP_FUZZ=1   leave those parts out (for quick local runs; the
#                                                   summary says so)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
# shellcheck source=lib/windows-suite.sh
source "$here/scripts/lib/windows-suite.sh"
jobs=$(nproc)
status=0
summary=()
passed=0
failed=0
started=$SECONDS

skips=()
export TEST_REQUIRE_SETUP=1

run_ctest() {  # name, build dir
  local out="$2/ctest-output.txt" began=$SECONDS
  export TEST_SKIP_LOG="$here/$2/skipped-cases.txt"
  rm -f "$TEST_SKIP_LOG"
  ctest --test-dir "$2" --output-on-failure -j "$jobs" 2>&1 | tee "$out"
  local rc=${PIPESTATUS[0]}
  local line skip
  line=$(grep -E 'tests passed|tests failed' "$out" | tail -1)
  summary+=("$1: $line ($((SECONDS - began)) s)")
  # Cases that skipped inside a test executable, and whole tests that CTest skipped or did not run.
  if [ -f "$TEST_SKIP_LOG" ]; then
    while IFS= read -r skip; do skips+=("$1: $skip"); done <"$TEST_SKIP_LOG"
  fi
  while IFS= read -r skip; do
    skips+=("$1: $skip")
  done < <(sed -n -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*(Skipped|Not Run).*$/\1 (\2)/p' "$out")
  unset TEST_SKIP_LOG
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

# The native Linux desktop build and its tests.
if [ "${SKIP_DESKTOP:-0}" != 1 ]; then
  began=$SECONDS
  if ! build linux-desktop; then
    fail_part desktop "the build failed"
  else
    summary+=("desktop build: $((SECONDS - began)) s")
    if ! xvfb_start; then
      fail_part desktop "no Xvfb display"
    else
      run_ctest desktop build/linux-desktop
      xvfb_stop
    fi
  fi
else
  summary+=("desktop: not run (SKIP_DESKTOP=1)")
fi

# Windows builds and tests under Wine.
if [ "${SKIP_WINDOWS:-0}" != 1 ]; then
  host_detect
  trap suite_cleanup EXIT
  if ! suite_start_display; then
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
      if ! suite_prepare "$here/build/$preset" "$arch"; then
        fail_part "$arch" "Wine cannot run it, or no Wine prefix"
        continue
      fi
      run_ctest "$arch" "build/$preset"
      suite_finish
    done
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
if [ ${#skips[@]} -eq 0 ]; then
  echo "skipped: none"
else
  echo "skipped: ${#skips[@]}"
  printf '  %s\n' "${skips[@]}"
fi
echo "total: $passed passed, $failed failed, ${#skips[@]} skipped"
exit $status
