#!/usr/bin/env bash
# Runs one Windows executable under Wine for CTest and passes its exit code on.
#   wine-run.sh ARCH PROGRAM [ARGS...]     ARCH: i686 or x86_64, as the toolchain file passes it
# The prefix and the display come from scripts/test.sh; run by hand, a prefix under the build folder
# of that architecture is made on demand. Where this host cannot run ARCH, fails at once with why.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/wine-host.sh
source "$here/scripts/lib/wine-host.sh"
arch=$1
shift
wine_select "$arch" || exit 1
if [ -z "${WINEPREFIX:-}" ]; then
  case "$arch" in
    i686) export WINEPREFIX=$here/build/windows/wineprefix ;;
    *) export WINEPREFIX=$here/build/windows64/wineprefix ;;
  esac
fi
wine_prefix_ensure || exit 1
exec "$WINE" "$@"
