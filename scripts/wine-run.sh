#!/usr/bin/env bash
# Runs one Windows executable under Wine for CTest and passes its exit code on. The prefix and the
# display come from scripts/test.sh; run by hand, a prefix under the build folder is made on demand.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec wine "$@"
