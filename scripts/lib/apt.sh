# Package installation that survives a Debian mirror in mid-sync. Sourced by scripts/setup.sh and by
# its test, which puts a stub apt-get first on PATH.
#
# A mirror being synchronised serves some index files with the wrong size: `apt-get update` then exits
# non-zero although most lists were refreshed. Going on with the lists at hand is right, but it can
# leave apt knowing newer versions of one architecture's libraries (from the security suite) than of
# the other's (from the release suite); installing a Multi-Arch package such as wine32:i386 then fails
# with "held broken packages". Installing again from the release suite picks versions that exist for
# both architectures.
#
# Callers set SUDO ("" as root, "sudo" otherwise). Every step appends a few words to APT_REPORT, which
# the set-up prints as one line.
#   APT_UPDATE_TRIES   how often the lists are fetched before going on with those at hand (default 3)
#   APT_RETRY_DELAY    seconds between two tries (default 10)

APT_REPORT=()

# The release suite this machine follows (bookworm on Debian 12).
apt_release_suite() {
  local codename=""
  if [ -r "${OS_RELEASE_FILE:-/etc/os-release}" ]; then
    codename=$(sed -n 's/^VERSION_CODENAME=//p' "${OS_RELEASE_FILE:-/etc/os-release}" | tr -d '"')
  fi
  echo "${codename:-bookworm}"
}

# Refreshes the package lists; returns 0 also when some lists could not be fetched after every try,
# because the lists at hand are usually enough and the install below copes with the rest.
apt_update() {
  local tries=${APT_UPDATE_TRIES:-3} try
  for ((try = 1; try <= tries; try++)); do
    if $SUDO apt-get update -qq; then
      if [ "$try" -eq 1 ]; then
        APT_REPORT+=("package lists refreshed")
      else
        APT_REPORT+=("package lists refreshed at try $try")
      fi
      return 0
    fi
    [ "$try" -lt "$tries" ] && sleep "${APT_RETRY_DELAY:-10}"
  done
  APT_REPORT+=("package lists only partly refreshed after $tries tries (mirror mid-sync?), went on with those at hand")
  return 0
}

# Installs the named packages; when that fails, tries again with the release suite as target release.
# Returns non-zero only when both fail.
apt_install() {
  local suite count="$# package"
  [ $# -eq 1 ] || count+=s
  if $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"; then
    APT_REPORT+=("installed $count")
    return 0
  fi
  suite=$(apt_release_suite)
  echo "setup: install failed; trying again with the release suite $suite" >&2
  if $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t "$suite" "$@"; then
    APT_REPORT+=("installed $count from the release suite $suite after the first install failed")
    return 0
  fi
  APT_REPORT+=("could not install: $*")
  return 1
}

# The report as one line.
apt_report_line() {
  local IFS=';'
  local line="${APT_REPORT[*]}"
  echo "${line//;/; }"
}
