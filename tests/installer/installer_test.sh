#!/usr/bin/env bash
# The Windows release of one build under Wine on an X display: the installer and the portable zip that
# cmake/Release.cmake makes, used as a user uses them, each scenario in a fresh Wine prefix under the
# build folder (removed afterwards).
#
#   installer_test.sh BUILD_DIR WINPROBE_EXE SCENARIO...
#     install   the installer's texts in English and German (language dialog, welcome page); it runs
#               silently; both programs start from their Start-menu entries in the
#               installed folder and find their language files and documents ("?" menu, F1 opens the
#               help file of the current language, English and German); the registration under
#               Add/Remove Programs; a second install over the first repairs a damaged file and keeps
#               the settings; the silent uninstaller named in the registration removes the files, the
#               entries and the registration and leaves the settings, and a file of the user's in the
#               program folder
#     portable  the zip unpacked into a fresh folder: both programs keep their settings in its folder,
#               which travel with it when it moves, and nothing goes to the application-data folders
#
# The files the release ships and where they come from are listed in BUILD_DIR/release/files.txt
# (name|path a line). Without a reachable display the script skips (exit code 77), or fails when
# E2E_REQUIRE_DISPLAY=1.
set -uo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 BUILD_DIR WINPROBE_EXE SCENARIO..." >&2
  exit 2
fi
build_dir=$(readlink -f "$1")
probe_exe=$(readlink -f "$2")  # (the probe of e2e_lib.sh)
export probe_exe
shift 2
repo=$(cd "$(dirname "$0")/../.." && pwd)
manifest="$build_dir/release/files.txt"
readonly folder_name="Norvane Letrana"
readonly uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$folder_name"
readonly snapora_caption="Snapora Version 1.460 (06.06.2017)"

# shellcheck source=../../scripts/lib/wine-host.sh
source "$repo/scripts/lib/wine-host.sh"
# shellcheck source=../e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"

one_file() {  # glob pattern; prints the single match or fails
  local matches=()
  mapfile -t matches < <(compgen -G "$1")
  if [ ${#matches[@]} -ne 1 ]; then
    echo "FAIL: expected one file $1, found ${#matches[@]}: ${matches[*]}" >&2
    return 1
  fi
  echo "${matches[0]}"
}
installer=$(one_file "$build_dir/Letrana-*-win??-setup.exe") || exit 1
if [ ! -s "$manifest" ]; then
  echo "FAIL: no list of the release's files in $manifest (the build folder was not configured with cmake/Release.cmake)"
  exit 1
fi

# The fresh prefixes of the scenarios go into a folder under the build folder: TMPDIR as scripts/test.sh
# sets it (build/<preset>/tmp, whose leftovers it removes after a killed test), else <build>/tmp.
tmp_root=${TMPDIR:-$build_dir/tmp}
mkdir -p "$tmp_root"
work=$(mktemp -d "$tmp_root/installer-test.XXXXXX")
export WINEPREFIX="$work/prefix-$1"
cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -rf "$work"
}
started=()
trap cleanup EXIT
e2e_prepare "$installer" "$WINEPREFIX" unzip cmp
arch=$(pe_arch "$installer")

# ---- Helpers -------------------------------------------------------------------------------------------

# Each scenario starts in a fresh prefix of its own (the first one's was made above).
use_fresh_prefix() {  # scenario
  [ "$WINEPREFIX" != "$work/prefix-$1" ] || return 0
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  export WINEPREFIX="$work/prefix-$1"
  wine_prefix_make
}

# A Windows environment variable as a program of the build's architecture sees it.
win_env() { "$WINE" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null; }
# The names in a folder, sorted, on one line.
entries() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' 2>/dev/null | sort | tr '\n' ' '; }
# A query of the registration (reg query with the arguments), its output in `reg_output`. It succeeds
# when reg answered: with the key or value, or with its own word that it is missing (on its standard
# output). A query that does neither (seen once as the first program after the prefix's server ended)
# is asked again; after three such tries the query fails, its error shown.
reg_output=""
reg_ask() {  # arguments of reg query...
  local try
  for try in 1 2 3; do
    reg_output=$("$WINE" reg query "$@" 2>&1) && return 0
    [[ "$reg_output" != *"Unable to find the specified registry"* ]] || return 0
    echo "    (reg query $*, try $try: $(tr -d '\r' <<<"$reg_output" | tail -c 300 | tr '\n' ' '))" >&2
    sleep 1
  done
  reg_output="reg query failed: $(tr -d '\r' <<<"$reg_output" | tail -c 300 | tr '\n' ' ')"
  return 1
}
# One value of the registration, empty when reg says that it is not there; reg's error otherwise.
reg_value() {  # value name
  if ! reg_ask "$uninstall_key" /v "$1"; then
    echo "$reg_output"
  elif [[ "$reg_output" != *"Unable to find the specified registry"* ]]; then
    tr -d '\r' <<<"$reg_output" | awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print; exit }'
  fi
}
# Whether the registration is there: "present", "missing" (reg's own word), or reg's error.
registration() {
  if ! reg_ask "$uninstall_key"; then
    echo "$reg_output"
  elif [[ "$reg_output" == *"Unable to find the specified registry key"* ]]; then
    echo missing
  else
    echo present
  fi
}
# Runs a Windows program to its end; prints its exit code (the time-out's failure on stderr, and an
# exit code of the kill that no check expects).
run_to_end() {  # program, arguments...
  local pid rc
  "$WINE" "$@" >>"$work/wine-output.txt" 2>&1 &
  pid=$!
  E2E_TIMEOUT=300 await "the end of $*" process_ended "$pid" >&2 || kill -9 "$pid" 2>/dev/null
  wait "$pid" && rc=0 || rc=$?
  echo $rc
}
# Every file of the release in the folder, byte for byte, and nothing else but the extra names.
expect_release_files() {  # folder, what, extra names...
  local folder=$1 what=$2 name source missing=0 differ=0 expected=()
  shift 2
  while IFS='|' read -r name source; do
    [ -n "$name" ] || continue
    expected+=("$name")
    if [ ! -f "$folder/$name" ]; then
      missing=$((missing + 1))
      echo "    missing: $name"
    elif ! cmp -s "$source" "$folder/$name"; then
      differ=$((differ + 1))
      echo "    differs from $source: $name"
    fi
  done <"$manifest"
  expect_between "files of the release listed" "${#expected[@]}" 8 1000
  expect_eq "files missing from $what" "$missing" 0
  expect_eq "files of $what unlike the built ones" "$differ" 0
  expect_eq "entries of $what" "$(entries "$folder")" \
    "$(printf '%s\n' "${expected[@]}" "$@" | sort | tr '\n' ' ')"
}

# Starts a program through Wine's start (a file or a Start-menu entry) and waits for its window.
start_through_shell() {  # unix path of the .exe or .lnk, window title regex
  "$WINE" start /unix "$1" >>"$work/wine-output.txt" 2>&1
  await "a window '$2' after starting $1" xdotool search --onlyvisible --name "$2"
}
# Waits until Letrana's grid holds its 256 cells.
await_grid() {
  local grid
  grid=$(probe wait-items Letrana 256 $((E2E_TIMEOUT * 1000)) $((E2E_TIMEOUT * 1000)))
  [ "$(value items.reached "$grid")" == 1 ] || fail "Letrana's grid did not get its 256 cells in $E2E_TIMEOUT s"
}
# Closes a program's window and waits until the program has ended.
close_window() {  # window title
  local result
  result=$(probe close "$1" $((E2E_TIMEOUT * 1000)))
  expect_eq "$1 ended after its window was closed" "$(value exited "$result")" 1
}

# A text of a language file (its key), in the probe's escapes.
language_text() {  # file, key
  LC_ALL=C sed -n "s|^$2=\"\(.*\)\"\r\$|\1|p" "$1" | tr -d '\n' |
    od -An -v -tu1 | awk '{ for (i = 1; i <= NF; i++) { c = $i + 0
      if (c == 92) printf "\\\\"; else if (c < 32 || c > 126) printf "\\x%02x", c; else printf "%c", c } }'
}

# Letrana's "?" menu as the language file gives it, with its documents listed.
expect_help_menu() {  # language file
  local menu tab='\t'
  menu=$(probe menu Letrana)
  expect_eq "menu ?" "$(value menu.2 "$menu")" "?"
  expect_eq "menu ?: help" "$(value menu.2.0 "$menu")" "$(language_text "$1" FrmMain.MenUsage)${tab}F1"
  expect_eq "menu ?: licence" "$(value menu.2.1 "$menu")" "$(language_text "$1" FrmMain.MenLicense)"
  expect_eq "menu ?: changes" "$(value menu.2.2 "$menu")" "$(language_text "$1" FrmMain.MenReadMe)"
  expect_eq "menu ?: update check" "$(value menu.2.3 "$menu")" "$(language_text "$1" FrmMain.MenCheckUpdate)"
  expect_eq "menu ?: about box" "$(value menu.2.5 "$menu")" "$(language_text "$1" FrmMain.MenInfo)"
}

# The shell's "open" of .chm files records the file it is asked to open in C:\chm-opened.txt.
register_help_recorder() {
  "$WINE" reg add 'HKCR\.chm' /ve /d NorvaneTestHelp /f >/dev/null 2>&1
  "$WINE" reg add 'HKCR\NorvaneTestHelp\shell\open\command' /ve \
    /d 'C:\windows\system32\cmd.exe /c echo %1>C:\chm-opened.txt' /f >/dev/null 2>&1
}
# F1 in Letrana's window; prints the file the shell was asked to open (empty after 20 s without one).
help_opened() {
  local record window
  record="$(unix_path 'C:\chm-opened.txt')"
  rm -f "$record"
  window=$(value window.xid "$(probe info Letrana)")
  keys_to "$window" F1
  await_file "$record" "the shell's record of the file it opened" >&2
  [ -f "$record" ] && tr -d '\r"' <"$record" | sed 's/ *$//' | head -1
}

# Stored settings of Snapora: the XML form with one language.
write_snapora_settings() {  # file, language name
  mkdir -p "$(dirname "$1")"
  printf '<?xml version="1.0" encoding="utf-8"?>\r\n<InitFile>\r\n  <LanguageName>%s</LanguageName>\r\n</InitFile>\r\n' \
    "$2" >"$1"
}
# Snapora's window reads the German texts of its language file (awaited: the texts are set while the
# window is shown).
expect_snapora_german() {
  local text
  for text in Aktualisieren Aufnehmen; do
    await "Snapora showing '$text'" control_shown "$snapora_caption" "$text" && ok "Snapora shows '$text'"
  done
}

# The installer started as a user starts it: the language picked by its first letter in the language
# dialog, then the welcome page in that language with its buttons; the installer is ended there.
expect_installer_language() {  # first letter, window title, welcome text, next button, cancel button, language
  local pid dialog info text
  "$WINE" "$installer" >>"$work/wine-output.txt" 2>&1 &
  pid=$!
  started+=("$pid")
  dialog=$(probe wait-window "Installer Language" $((E2E_TIMEOUT * 1000)))
  if [ "$(value found "$dialog")" != 1 ]; then
    fail "the installer shows no language dialog"
  else
    keys_to "$(value window.xid "$dialog")" "$1"
    await "the language $6 picked" control_shown "Installer Language" "$6"
    keys_to "$(value window.xid "$dialog")" Return
    if [ "$(value found "$(probe wait-window "$2" $((E2E_TIMEOUT * 1000)))")" != 1 ]; then
      fail "no installer window '$2' after the language '$1'"
    else
      ok "installer window '$2'"
      info=$(probe info "$2")
      for text in "$3" "$4" "$5" "Norvane Letrana 1.630"; do
        if [ -n "$(control_with_text "$text" "$info")" ]; then ok "the installer reads '$text'"; else fail "the installer has no text '$text'"; fi
      done
    fi
  fi
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  wineserver -w
}

# ---- Scenarios -----------------------------------------------------------------------------------------

scenario_install() {
  local program_files expected_dir dir common_programs menu_dir local_appdata
  use_fresh_prefix install || return
  program_files=$(win_env ProgramFiles)
  expected_dir="$program_files\\$folder_name"
  if [ "$arch" = x86_64 ]; then
    expect_eq "program-files folder of the 64-bit programs" "$program_files" 'C:\Program Files'
  fi
  # Its texts in English and in German.
  expect_installer_language e "Norvane Letrana 1.630 Setup" "Welcome to Norvane Letrana 1.630 Setup" "&Next >" Cancel \
    English
  expect_installer_language d "Installation von Norvane Letrana 1.630" \
    'Willkommen zur Installation\r\nvon Norvane Letrana 1.630' "&Weiter >" Abbrechen Deutsch
  expect_eq "registration before the install" "$(registration)" missing

  expect_eq "installer exit code" "$(run_to_end "$installer" /S)" 0
  wineserver -w

  # The registration.
  expect_eq "DisplayName" "$(reg_value DisplayName)" "Norvane Letrana 1.630 and Snapora 1.460"
  expect_eq "DisplayVersion" "$(reg_value DisplayVersion)" "1.630"
  expect_eq "Publisher" "$(reg_value Publisher)" "Norvane"
  expect_eq "InstallLocation" "$(reg_value InstallLocation)" "$expected_dir"
  expect_eq "UninstallString" "$(reg_value UninstallString)" "\"$expected_dir\\Uninstall.exe\""
  expect_eq "QuietUninstallString" "$(reg_value QuietUninstallString)" "\"$expected_dir\\Uninstall.exe\" /S"
  expect_eq "NoModify" "$(reg_value NoModify)" 0x1
  expect_eq "NoRepair" "$(reg_value NoRepair)" 0x1
  expect_eq "DisplayIcon" "$(reg_value DisplayIcon)" "$expected_dir\\letrana.exe,0"

  dir=$(unix_path "$expected_dir")
  if [ -z "$dir" ] || [ ! -d "$dir" ]; then
    fail "no program folder $expected_dir"
    return
  fi
  expect_release_files "$dir" "the program folder" Uninstall.exe
  # The installed programs (the uninstaller is the installer compiler's) are stripped and their version
  # resources name what the registration names.
  local versions
  if ! versions=$(python3 "$repo/tests/package/release_exe_check.py" --uninstall "$(reg_value DisplayName)" \
    "$(reg_value DisplayVersion)" "$(reg_value Publisher)" "$dir/letrana.exe" "$dir/letrana-export.exe" "$dir/snapora.exe" 2>&1); then
    fail "the installed programs against the registration: $versions"
  fi
  common_programs=$(unix_path "$(win_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")
  menu_dir="$common_programs/$folder_name"
  expect_eq "Start-menu entries" "$(entries "$menu_dir")" "Letrana.lnk Snapora.lnk "
  local_appdata=$(unix_path "$(win_env LOCALAPPDATA)")

  # Letrana from its Start-menu entry, in English: its documents in the "?" menu, F1 its English help.
  register_help_recorder
  start_through_shell "$menu_dir/Letrana.lnk" '^Letrana$' || return
  await_grid
  expect_help_menu "$dir/Letrana_English.lng"
  expect_eq "help file opened by F1 (English)" "$(help_opened)" "$expected_dir\\Letrana_English.chm"
  close_window Letrana
  local settings="$local_appdata/Norvane/Letrana/Letrana.ini"
  if [ ! -f "$settings" ]; then
    fail "Letrana kept no settings in $settings"
    return
  fi
  # German, chosen in the stored settings.
  sed -i 's|<LanguageName>.*</LanguageName>|<LanguageName>Deutsch</LanguageName>|' "$settings"
  start_through_shell "$menu_dir/Letrana.lnk" '^Letrana$' || return
  await_grid
  expect_help_menu "$dir/Letrana_Deutsch.lng"
  expect_eq "help file opened by F1 (German)" "$(help_opened)" "$expected_dir\\Letrana_Deutsch.chm"
  close_window Letrana

  # Snapora from its Start-menu entry, in German.
  local snapora_settings="$local_appdata/Norvane/Pixolan/Snapora.ini"
  write_snapora_settings "$snapora_settings" Deutsch
  start_through_shell "$menu_dir/Snapora.lnk" "^Snapora Version" || return
  expect_snapora_german
  close_window "$snapora_caption"
  wineserver -w

  # A second install over the first: a damaged file is replaced, the settings stay as they are.
  local sums_before
  settings_sums() { cat "$settings" "$snapora_settings" 2>/dev/null | sha256sum | cut -c1-16; }
  sums_before=$(settings_sums)
  printf 'damaged' >"$dir/Letrana_English.lng"
  expect_eq "exit code of the second install" "$(run_to_end "$installer" /S)" 0
  wineserver -w
  expect_release_files "$dir" "the program folder after the second install" Uninstall.exe
  expect_eq "InstallLocation after the second install" "$(reg_value InstallLocation)" "$expected_dir"
  expect_eq "registrations of the product" \
    "$("$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' | grep -c "\\\\$folder_name\$")" 1
  expect_eq "settings after the second install" "$(settings_sums)" "$sums_before"

  # The uninstaller the registration names, silently.
  local quiet uninstaller
  quiet=$(reg_value QuietUninstallString)
  uninstaller=$(sed -n 's/^"\(.*\)" \/S$/\1/p' <<<"$quiet")
  if [ -z "$uninstaller" ]; then
    fail "no uninstaller in '$quiet'"
    return
  fi
  expect_eq "uninstaller exit code" "$(run_to_end "$uninstaller" /S)" 0
  # The uninstaller works from a copy of itself, which ends after the program folder is gone.
  wineserver -w
  if [ -e "$dir" ]; then fail "the program folder is still there: $(entries "$dir")"; else ok "program folder removed"; fi
  if [ -e "$menu_dir" ]; then fail "the Start-menu folder is still there"; else ok "Start-menu entries removed"; fi
  if [ -d "$common_programs" ]; then ok "the Start menu itself stays"; else fail "the Start menu's folder is gone"; fi
  expect_eq "registration after the uninstall" "$(registration)" missing
  expect_eq "settings after the uninstall" "$(settings_sums)" "$sums_before"

  # A file of the user's in the program folder stays, and with it the folder; all else goes.
  expect_eq "exit code of the install after the uninstall" "$(run_to_end "$installer" /S)" 0
  wineserver -w
  printf 'mine\r\n' >"$dir/My notes.txt"
  expect_eq "uninstaller exit code (a file of the user's in the folder)" "$(run_to_end "$uninstaller" /S)" 0
  wineserver -w
  expect_eq "what the uninstaller left in the program folder" "$(entries "$dir")" "My notes.txt "
  expect_eq "registration after the second uninstall" "$(registration)" missing
}

scenario_portable() {
  local local_appdata common_appdata dir moved storage storage_value
  use_fresh_prefix portable || return
  local zip
  zip=$(one_file "$build_dir/Letrana-*-win??.zip") || { fail "no portable zip (package.letrana makes it)"; return; }
  local_appdata=$(unix_path "$(win_env LOCALAPPDATA)")
  common_appdata=$(unix_path "$(win_env ProgramData)")
  dir="$work/portable/Letrana"
  mkdir -p "$dir"
  if ! unzip -q "$zip" -d "$dir"; then
    fail "the zip cannot be unpacked"
    return
  fi
  storage_value=$(sed -n 's/^ApplicationStorage="\(.*\)"\r$/\1/p' "$dir/SavePath.ini" 2>/dev/null)
  if [ -z "$storage_value" ] || [ ! -d "$dir/$storage_value" ]; then
    fail "SavePath.ini names no folder of the zip ('$storage_value')"
    return
  fi
  expect_release_files "$dir" "the unpacked zip" SavePath.ini "$storage_value"
  storage="$dir/$storage_value"

  start_program "$dir" letrana.exe '^Letrana$' || return
  await_grid
  probe move Letrana 100 80 800 500 >/dev/null
  close_window Letrana
  write_snapora_settings "$storage/Snapora.ini" Deutsch
  start_program "$dir" snapora.exe "^Snapora Version" || return
  expect_snapora_german
  probe move "$snapora_caption" 120 90 700 600 >/dev/null
  close_window "$snapora_caption"
  wineserver -w
  expect_eq "settings files in the zip's folder" "$(entries "$storage")" "Letrana.ini Snapora.ini "
  if grep -q '<WindowPos>100;80;800;500</WindowPos>' "$storage/Letrana.ini"; then
    ok "Letrana's placement stored"
  else
    fail "Letrana.ini holds no placement 100;80;800;500"
  fi

  # The folder moves elsewhere; its settings go with it.
  moved="$work/elsewhere/Portable Letrana"
  mkdir -p "$(dirname "$moved")"
  mv "$dir" "$moved"
  start_program "$moved" letrana.exe '^Letrana$' || return
  await_grid
  local info
  info=$(probe info Letrana)
  expect_eq "Letrana's placement in the moved folder" \
    "$(value window.left "$info");$(value window.top "$info");$(value window.width "$info");$(value window.height "$info")" \
    "100;80;800;500"
  close_window Letrana
  start_program "$moved" snapora.exe "^Snapora Version" || return
  expect_snapora_german
  close_window "$snapora_caption"
  wineserver -w

  expect_eq "Norvane folders under the local application-data folder" \
    "$(find "$local_appdata" -maxdepth 1 -iname Norvane | wc -l)" 0
  expect_eq "Installation.ini files in the prefix and the folder" \
    "$(find "$WINEPREFIX/drive_c" "$moved" -iname Installation.ini 2>/dev/null | wc -l)" 0
  expect_eq "Norvane folders under the common application-data folder" \
    "$(find "$common_appdata" -maxdepth 1 -iname Norvane | wc -l)" 0
}

stop_all() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  done
  started=()
}

run_scenarios stop_all "$@"
