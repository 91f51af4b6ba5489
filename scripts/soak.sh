#!/usr/bin/env bash
# Finds a flaky check before CI does: runs the Windows suites' end-to-end and installer tests N times in
# a row while a busy loop on every core loads the machine (CI's machines are loaded), for each Windows
# build this host runs, in the surroundings scripts/test.sh gives them (one Xvfb display, a fresh Wine
# prefix a build, kept for all N runs). Prints, for each test, how many runs it failed and the checks
# that failed in each; exits with 1 when any run failed.
#
#   soak.sh N [REGEX]    REGEX: only the tests whose names match it (ctest -R), e.g. 'e2e\.snapora'
#   SOAK_LOAD=0          no load, for a comparison
#   SOAK_VERBOSE=1       every test's output in build/<preset>/soak-run-<N>.txt, not only a failed one's
# Builds first what is not built (scripts/setup.sh must have run).
set -uo pipefail

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 N [REGEX]   (N runs of the Windows suites' e2e and installer tests under load)" >&2
  exit 2
fi
runs=$1
filter=${2:-}
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
# shellcheck source=lib/windows-suite.sh
source "$here/scripts/lib/windows-suite.sh"

loaders=()
stop_load() {
  local pid
  for pid in "${loaders[@]}"; do kill "$pid" 2>/dev/null; done
  loaders=()
}
trap 'stop_load; suite_cleanup' EXIT

host_detect
presets=()
for preset in windows windows64; do
  if [ "$preset" = windows ] && [ "$HOST_I686" != yes ]; then
    echo "soak: i686 not run, ${HOST_I686_WHY:-the i686 build cannot run here}"
    continue
  fi
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$(nproc)" >/dev/null || {
    echo "soak: the $preset build failed" >&2
    exit 1
  }
  presets+=("$preset")
done

suite_start_display || exit 1
if [ "${SOAK_LOAD:-1}" != 0 ]; then
  for _ in $(seq "$(nproc)"); do
    (while :; do :; done) &
    loaders+=($!)
  done
  echo "soak: a busy loop on each of $(nproc) cores"
fi

declare -A failed_runs=() checks=() tests_seen=()
status=0
began=$SECONDS
for preset in "${presets[@]}"; do
  if [ "$preset" = windows ]; then arch=i686; else arch=x86_64; fi
  if ! suite_prepare "$here/build/$preset" "$arch"; then
    echo "soak: no Wine prefix for $arch" >&2
    exit 1
  fi
  for ((run = 1; run <= runs; run++)); do
    log="$here/build/$preset/soak-run-$run.txt"
    ctest --test-dir "build/$preset" -L 'e2e|installer' ${filter:+-R "$filter"} --output-on-failure \
      $([ "${SOAK_VERBOSE:-0}" = 1 ] && echo -V) >"$log" 2>&1
    # Each test's result line, then (for a failed one) its output up to the next test's start.
    while IFS=$'\t' read -r name result lines; do
      tests_seen[$arch/$name]=1
      [ "$result" = Passed ] && continue
      status=1
      failed_runs[$arch/$name]=$((${failed_runs[$arch/$name]:-0} + 1))
      checks[$arch/$name]+="    run $run ($result):${lines:- no FAIL line}"$'\n'
    done < <(awk '
        function flush() { if (name != "") print name "\t" result "\t" lines; name = "" }
        /^ *Start +[0-9]+: / { flush() }
        match($0, /Test +#[0-9]+: [^ ]+ /) {
          flush(); split(substr($0, RSTART, RLENGTH), t, " "); name = t[3]
          result = ($0 ~ /Passed/) ? "Passed" : ($0 ~ /Timeout/ ? "Timeout" : "Failed"); lines = ""; next }
        /^ *FAIL: / { sub(/^ */, " "); lines = lines $0 ";" }
        END { flush() }' "$log")
    echo "soak: $arch run $run of $runs: $(grep -E 'tests passed|tests failed' "$log" | tail -1) ($((SECONDS - began)) s so far)"
  done
  suite_finish
done
stop_load

echo
echo "== soak: $runs runs a build, $(printf '%s' "${presets[*]}"), $((SECONDS - began)) s"
for test in $(printf '%s\n' "${!tests_seen[@]}" | sort); do
  if [ -n "${failed_runs[$test]:-}" ]; then
    echo "$test: failed ${failed_runs[$test]} of $runs"
    printf '%s' "${checks[$test]}"
  else
    echo "$test: passed $runs of $runs"
  fi
done
exit $status
