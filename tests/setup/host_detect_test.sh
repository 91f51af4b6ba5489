#!/usr/bin/env bash
# The host helper's decision of what runs here, against stub 32-bit loaders: one that runs, one the
# kernel cannot execute (what a host without 32-bit execution does with Wine's 32-bit loader), one that
# is missing and one that fails otherwise; and the architecture read from Windows executables' headers.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=check.sh
source "$here/tests/setup/check.sh"
# What host_detect decides with PROBE as the 32-bit loader: "HOST_I686|HOST_I686_WHY|preset".
decide() {  # probe
  (
    unset HOST_I686 HOST_I686_WHY
    export HOST_I686_PROBE=$1
    source "$here/scripts/lib/wine-host.sh"
    host_detect
    echo "$HOST_I686|$HOST_I686_WHY|$(host_windows_preset)"
  )
}

printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs"
# An ELF header for a machine this kernel does not run: execve says "Exec format error".
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$work/foreign"
head -c 64 /dev/zero >>"$work/foreign"
printf '#!/bin/sh\necho "cannot open shared object" >&2\nexit 1\n' >"$work/broken"
chmod +x "$work/runs" "$work/foreign" "$work/broken"

check "a loader that runs" "$(decide "$work/runs")" "yes||windows"
check "a loader this host cannot execute" "$(decide "$work/foreign")" \
  "no|this host cannot execute 32-bit code|windows64"
check "a missing loader" "$(decide "$work/missing")" \
  "broken|the 32-bit Wine loader $work/missing is missing (scripts/setup.sh installs wine32:i386)|windows64"
check "a loader that fails" "$(decide "$work/broken")" \
  "broken|the 32-bit Wine loader $work/broken failed (exit code 1): cannot open shared object|windows64"

# Decided once: a script started below one that decided does not ask again.
out=$(
  export HOST_I686=no HOST_I686_WHY=inherited HOST_I686_PROBE=$work/runs
  source "$here/scripts/lib/wine-host.sh"
  host_detect
  echo "$HOST_I686|$HOST_I686_WHY"
)
check "the answer is inherited" "$out" "no|inherited"

# wine_select refuses i686 where it cannot run, with the reason, and picks the 64-bit loader for x86_64.
out=$(
  unset HOST_I686 HOST_I686_WHY  # decided here, not taken over from the caller's environment
  export HOST_I686_PROBE=$work/foreign
  source "$here/scripts/lib/wine-host.sh"
  WINE64_LOADER=$work/runs
  wine_select i686 2>&1 && echo selected
  wine_select x86_64 && echo "$WINE $WINELOADER $WINEARCH"
)
check "wine_select" "$out" "i686 Windows programs cannot run here: this host cannot execute 32-bit code
$work/runs $work/runs win64"

# The architecture of a PE file: the machine field after the header's offset at 0x3c.
pe() {  # machine bytes
  {
    head -c 60 /dev/zero
    printf '\100\000\000\000'  # e_lfanew = 64
    printf 'PE\000\000'
    printf "$1"
  } >"$work/pe.exe"
  (source "$here/scripts/lib/wine-host.sh" && pe_arch "$work/pe.exe" || echo none)
}
check "i386 machine" "$(pe '\114\001')" i686
check "amd64 machine" "$(pe '\144\206')" x86_64
check "arm64 machine" "$(pe '\144\252')" none
check "not a PE file" "$(source "$here/scripts/lib/wine-host.sh" && pe_arch /dev/null || echo none)" none

checks_done
