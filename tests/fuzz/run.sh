#!/usr/bin/env bash
# Builds the fuzz harnesses (the "fuzz" preset: clang, ASan + UBSan) and runs the settings-document
# harness for the given number of seconds, from the seed corpus in tests/fuzz/corpus/ and a work
# corpus under build/fuzz/. Exits non-zero on any finding; a crashing input is kept under
# build/fuzz/artifacts/.
#   usage: tests/fuzz/run.sh SECONDS
set -euo pipefail

seconds=${1:?usage: run.sh SECONDS}
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target ClassInitFuzz

work=build/fuzz/corpus/ClassInitFuzz
artifacts=build/fuzz/artifacts
mkdir -p "$work" "$artifacts"
# The harness writes its scratch files to the temporary folder; a memory file system keeps the
# saves (which flush to disk) fast.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
else
  export TMPDIR="$here/build/fuzz/tmp"
  mkdir -p "$TMPDIR"
fi

before=$(find "$artifacts" -type f | wc -l)
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  build/fuzz/tests/fuzz/ClassInitFuzz -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
  -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" tests/fuzz/corpus || status=$?
after=$(find "$artifacts" -type f | wc -l)

if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
  echo "ClassInitFuzz: finding (exit $status); see $artifacts/" >&2
  exit 1
fi
echo "ClassInitFuzz: no finding in ${seconds} s"
