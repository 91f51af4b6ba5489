#!/usr/bin/env bash
# Builds the fuzz harnesses (the "fuzz" preset: clang, ASan + UBSan) and runs each for its share of the
# given number of seconds: the settings-document harness from the seed corpus in tests/fuzz/corpus/,
# the font kerning harness from tests/fuzz/corpus-fonts/, each with a work corpus under build/fuzz/.
# Exits non-zero on any finding; a crashing input is kept under build/fuzz/artifacts/.
#   usage: tests/fuzz/run.sh SECONDS
set -euo pipefail

seconds=${1:?usage: run.sh SECONDS}
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"

# harness name, seed corpus; the time is shared equally (at least a second each).
harnesses=(SettingsDocumentFuzz FontKerningFuzz)
declare -A seeds=([SettingsDocumentFuzz]=tests/fuzz/corpus [FontKerningFuzz]=tests/fuzz/corpus-fonts)
share=$((seconds / ${#harnesses[@]}))
if [ "$share" -lt 1 ]; then
  share=1
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${harnesses[@]}"

artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
# The settings harness writes its scratch files to the temporary folder; a memory file system keeps
# the saves (which flush to disk) fast.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
else
  export TMPDIR="$here/build/fuzz/tmp"
  mkdir -p "$TMPDIR"
fi

failed=0
for harness in "${harnesses[@]}"; do
  work=build/fuzz/corpus/$harness
  mkdir -p "$work"
  before=$(find "$artifacts" -type f | wc -l)
  status=0
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "build/fuzz/tests/fuzz/$harness" -max_total_time="$share" -timeout=30 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[$harness]}" || status=$?
  after=$(find "$artifacts" -type f | wc -l)
  if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    echo "$harness: finding (exit $status); see $artifacts/" >&2
    failed=1
  else
    echo "$harness: no finding in ${share} s"
  fi
done
exit "$failed"
