#!/usr/bin/env bash
# The set-up's way through a Debian mirror in mid-sync, run against a stub apt-get that fails as told
# and records every call; nothing on the machine is touched.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stub: each call appends its arguments to calls.txt and exits with the next code of its list
# (update-codes.txt for "update", install-codes.txt for "install"; 0 once a list is used up).
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$STUB_DIR/calls.txt"
case " $* " in
  *" update "*) list=$STUB_DIR/update-codes.txt ;;
  *" install "*) list=$STUB_DIR/install-codes.txt ;;
  *) exit 0 ;;
esac
code=$(head -1 "$list" 2>/dev/null)
sed -i 1d "$list" 2>/dev/null
exit "${code:-0}"
STUB
chmod +x "$work/bin/apt-get"
export STUB_DIR=$work PATH="$work/bin:$PATH" APT_RETRY_DELAY=0 SUDO=""
printf 'ID=debian\nVERSION_CODENAME=bookworm\n' >"$work/os-release"
export OS_RELEASE_FILE=$work/os-release

# shellcheck source=check.sh
source "$here/tests/setup/check.sh"
# Runs one case in a subshell with fresh stub lists: update codes, install codes, then the commands.
run_case() {  # update-codes, install-codes, commands
  : >"$work/calls.txt"
  printf '%s\n' $1 >"$work/update-codes.txt"
  printf '%s\n' $2 >"$work/install-codes.txt"
  (
    source "$here/scripts/lib/apt.sh"
    eval "$3"
    echo "rc=$?"
    echo "report=$(apt_report_line)"
  ) 2>/dev/null
}
calls() { grep -c "$1" "$work/calls.txt"; }

# Lists refreshed at once: one update.
out=$(run_case "0" "" apt_update)
check "clean update: rc" "$(sed -n 's/^rc=//p' <<<"$out")" 0
check "clean update: calls" "$(calls update)" 1
check "clean update: report" "$(sed -n 's/^report=//p' <<<"$out")" "package lists refreshed"

# A mirror mid-sync twice, then in order: three updates.
out=$(run_case "100 100 0" "" apt_update)
check "late update: calls" "$(calls update)" 3
check "late update: report" "$(sed -n 's/^report=//p' <<<"$out")" "package lists refreshed at try 3"

# Never in order: three tries, then going on with the lists at hand (not an error).
out=$(run_case "100 100 100 0" "" apt_update)
check "failing update: rc" "$(sed -n 's/^rc=//p' <<<"$out")" 0
check "failing update: calls" "$(calls update)" 3
check "failing update: report" "$(sed -n 's/^report=//p' <<<"$out")" \
  "package lists only partly refreshed after 3 tries (mirror mid-sync?), went on with those at hand"

# An install that works at once is not repeated and names no suite.
out=$(run_case "" "0" "apt_install wine wine32:i386")
check "install: rc" "$(sed -n 's/^rc=//p' <<<"$out")" 0
check "install: calls" "$(calls install)" 1
check "install: no target release" "$(grep -c -- '-t ' "$work/calls.txt")" 0
check "install: packages named" "$(grep -c 'install -y -qq --no-install-recommends wine wine32:i386$' "$work/calls.txt")" 1

# Held broken packages: the second install names the release suite, and succeeds.
out=$(run_case "" "100 0" "apt_install wine wine32:i386")
check "fallback install: rc" "$(sed -n 's/^rc=//p' <<<"$out")" 0
check "fallback install: calls" "$(calls install)" 2
check "fallback install: second from the release suite" "$(sed -n 2p "$work/calls.txt")" \
  "install -y -qq --no-install-recommends -t bookworm wine wine32:i386"
check "fallback install: report" "$(sed -n 's/^report=//p' <<<"$out")" \
  "installed 2 packages from the release suite bookworm after the first install failed"

# Both installs fail: the set-up must stop, saying what it could not install.
out=$(run_case "" "100 100" "apt_install wine32:i386")
check "failed install: rc" "$(sed -n 's/^rc=//p' <<<"$out")" 1
check "failed install: report" "$(sed -n 's/^report=//p' <<<"$out")" "could not install: wine32:i386"

# The release suite is the machine's own, and the whole way reads as one line.
printf 'VERSION_CODENAME="trixie"\n' >"$work/os-release"
out=$(run_case "100 100 100" "100 0" "apt_update; apt_install g++")
check "other release: suite" "$(grep -c -- '-t trixie g++$' "$work/calls.txt")" 1
check "other release: one line" "$(sed -n 's/^report=//p' <<<"$out")" \
  "package lists only partly refreshed after 3 tries (mirror mid-sync?), went on with those at hand; installed 1 package from the release suite trixie after the first install failed"

checks_done
