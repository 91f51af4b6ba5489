# What the Windows test suites run in, for scripts/test.sh and scripts/soak.sh: one Xvfb display for
# all of them, and for each build a fresh Wine prefix under its build folder (kept as the template that
# the tests needing a fresh prefix of their own copy), a folder for the tests' temporary files (TMPDIR)
# and a file no one may write. suite_cleanup removes all of it, also after a killed test. Sourced after
# scripts/lib/wine-host.sh.

suite_tmp_dirs=()

# Root may write read-only files, also under Wine, whose server opens the files for the tests; a file
# with the immutable attribute refuses root too. The tests that need a file no one can write find it
# through TEST_IMMUTABLE_FILE; where it cannot be made (a user without the capability, for whom
# read-only files already bind), they make their own read-only file.
suite_make_immutable() {  # folder
  local file="$1/immutable/read-only.out"
  mkdir -p "$1/immutable"
  printf keep >"$file"
  if chattr +i "$file" 2>/dev/null; then
    export TEST_IMMUTABLE_FILE=$file
  else
    unset TEST_IMMUTABLE_FILE
  fi
}
suite_unlock_immutable() {  # folder
  [ ! -e "$1/immutable/read-only.out" ] || chattr -i "$1/immutable/read-only.out" 2>/dev/null || true
}

suite_cleanup() {
  local dir prefix
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  for dir in "${suite_tmp_dirs[@]}"; do
    suite_unlock_immutable "$dir"
    # Temporary folders of the end-to-end tests, with Wine prefixes of their own.
    for prefix in "$dir"/*/ "$dir"/*/*/; do
      [ ! -f "$prefix/system.reg" ] || wine_server_end "$prefix"
    done
    rm -rf "$dir" "$(dirname "$dir")/wineprefix" "$(dirname "$dir")/wineprefix-template"
  done
  suite_tmp_dirs=()
  xvfb_stop
}

# The display every Windows test shares; the end-to-end tests fail rather than skip without one.
suite_start_display() {
  export E2E_REQUIRE_DISPLAY=1
  xvfb_start
}

# Makes ready to run the tests of one build folder with Wine for its architecture: the loader, a fresh
# prefix and its template, TMPDIR. Fails with the reason on stderr.
suite_prepare() {  # build folder (absolute), arch
  local build=$1
  wine_select "$2" || return 1
  export WINEPREFIX="$build/wineprefix"
  # Temporary folders of the end-to-end tests go here, so that whatever a killed test left behind is
  # stopped and removed by suite_cleanup.
  export TMPDIR="$build/tmp"
  suite_tmp_dirs+=("$TMPDIR")
  suite_unlock_immutable "$TMPDIR"
  rm -rf "$TMPDIR"
  mkdir -p "$TMPDIR"
  suite_make_immutable "$TMPDIR"
  unset WINE_PREFIX_TEMPLATE
  wine_prefix_make || return 1
  # The tests that need a fresh prefix of their own (the release's, the help's pictures) copy this one.
  wine_prefix_keep_template "$build/wineprefix-template" || unset WINE_PREFIX_TEMPLATE
}

# After one build's tests: its Wine server ended, the template forgotten.
suite_finish() {
  wineserver -k >/dev/null 2>&1 || true
  unset WINE_PREFIX_TEMPLATE TMPDIR
}
