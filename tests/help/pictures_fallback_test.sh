#!/usr/bin/env bash
# On a host that cannot execute 32-bit code, the help's pictures of an i686 build are taken with the
# x86_64 build's programs; where those are missing, make_pictures.sh must fail at once and say so,
# not start anything or leave pictures behind.
#   pictures_fallback_test.sh MAKE_PICTURES_SH LETRANA_EXE SNAPORA_EXE WINPROBE_EXE (the i686 build's)
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/help-fallback.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/empty-x64-build"

rc=0
HOST_I686=no HOST_I686_WHY="this host cannot execute 32-bit code" \
  bash "$1" "$work/pictures" "$2" "$3" "$4" "$work/empty-x64-build" >"$work/output.txt" 2>&1 || rc=$?
failures=0
check() {  # what, condition result
  if [ "$2" = yes ]; then echo "  ok: $1"; else echo "  FAIL: $1"; failures=$((failures + 1)); fi
}
check "exit code 1 (was $rc)" "$([ "$rc" -eq 1 ] && echo yes)"
check "the message names the missing x86_64 program" \
  "$(grep -q "x86_64 build's programs, and $work/empty-x64-build/letrana/letrana.exe is missing" "$work/output.txt" && echo yes)"
check "the message says why" "$(grep -q "cannot execute 32-bit code" "$work/output.txt" && echo yes)"
check "no pictures" "$([ -z "$(find "$work/pictures" -name '*.png' 2>/dev/null)" ] && echo yes)"
[ "$failures" -eq 0 ] || { echo "output of make_pictures.sh:"; cat "$work/output.txt"; exit 1; }
