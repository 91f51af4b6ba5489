# What this host can run of the Windows builds, and how: sourced by every script that runs a Windows
# program (run, test, the Wine runner of CTest, the end-to-end tests, the benchmarks).
#
# Not every x86_64 host can execute 32-bit code: where it cannot, any i686 ELF fails with "Exec format
# error", and with it Wine's 32-bit loader, so only the x86_64 build runs, under the 64-bit loader in a
# 64-bit prefix (Debian's /usr/bin/wine always starts the 32-bit loader first when wine32 is installed,
# so the 64-bit loader is called by its own path).
#
# host_detect finds out once per process tree and exports the answer, so that scripts started by a
# script that already asked (CTest's runner, the end-to-end tests) do not ask again:
#   HOST_I686      "yes"     the i686 build runs here
#                  "no"      this host cannot execute 32-bit code (not a fault: the suite is not run)
#                  "broken"  the 32-bit loader is missing or fails otherwise (a fault of the set-up)
#   HOST_I686_WHY  one line saying why, when not "yes"
#   HOST_I686_PROBE  the program run to find out (default Wine's 32-bit loader); pointing it at a
#                  program that cannot execute shows what a host without 32-bit execution does

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64

host_detect() {
  case "${HOST_I686:-}" in yes | no | broken) return 0 ;; esac
  local probe=${HOST_I686_PROBE:-$WINE32_LOADER} out rc
  if [ ! -e "$probe" ]; then
    HOST_I686=broken
    HOST_I686_WHY="the 32-bit Wine loader $probe is missing (scripts/setup.sh installs wine32:i386)"
  else
    # (written so that a caller's set -e does not end the script at the failing probe)
    out=$("$probe" --version 2>&1) && rc=0 || rc=$?
    if [ "$rc" -eq 0 ]; then
      HOST_I686=yes
      HOST_I686_WHY=""
    elif [ "$rc" -eq 126 ] && [[ "$out" == *"Exec format error"* ]]; then
      HOST_I686=no
      HOST_I686_WHY="this host cannot execute 32-bit code"
    else
      HOST_I686=broken
      HOST_I686_WHY="the 32-bit Wine loader $probe failed (exit code $rc): ${out//$'\n'/ }"
    fi
  fi
  export HOST_I686 HOST_I686_WHY
}

# The architecture of a Windows executable, from its PE header: i686 or x86_64 (empty when the file
# is not a PE file of either).
pe_arch() {  # file
  local lfanew machine
  lfanew=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$lfanew" ] || return 1
  machine=$(od -An -t x2 -j $((lfanew + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
    *) return 1 ;;
  esac
}

# Makes Wine run programs of the architecture ARCH: exports WINE (the loader to start them with) and,
# for x86_64, the 64-bit loader and prefix kind; WINEDEBUG and WINEDLLOVERRIDES get quiet defaults.
# Fails with the reason on stderr when this host cannot run them.
wine_select() {  # arch
  host_detect
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  case "$1" in
    i686)
      if [ "$HOST_I686" != yes ]; then
        echo "i686 Windows programs cannot run here: $HOST_I686_WHY" >&2
        return 1
      fi
      export WINE=$WINE32_LOADER
      unset WINELOADER WINEARCH
      ;;
    x86_64)
      if [ ! -x "$WINE64_LOADER" ]; then
        echo "the 64-bit Wine loader $WINE64_LOADER is missing (scripts/setup.sh installs wine64)" >&2
        return 1
      fi
      export WINE=$WINE64_LOADER WINELOADER=$WINE64_LOADER WINEARCH=win64
      ;;
    *)
      echo "unknown Windows architecture '$1'" >&2
      return 1
      ;;
  esac
}

# The Windows build this host runs best: i686, the primary build, where 32-bit code runs, else x86_64.
# Prints the CMake preset's name.
host_windows_preset() {
  host_detect
  if [ "$HOST_I686" = yes ]; then echo windows; else echo windows64; fi
}

# Ends the Wine server of a prefix (WINEPREFIX when none is named) and waits until it is gone. A prefix
# is removed only after this: a server's socket is named after its prefix folder's inode, which a folder
# made next may get again, and a program started there would meet the dying server and end with it
# (exit code 0, before its window appears).
wine_server_end() {  # [prefix]
  local prefix=${1:-${WINEPREFIX:-}}
  [ -n "$prefix" ] && [ -d "$prefix" ] || return 0
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
}

# Makes a fresh Wine prefix at WINEPREFIX for the loader wine_select chose, with unmanaged X11 windows
# (Xvfb has no window manager: unmanaged windows spare Wine its wait for one at every hide) and the
# fonts below.
wine_prefix_make() {
  # A server still ending for an earlier prefix at this path would serve the new one (its socket is
  # named after the folder's inode, which a new folder may get again): wait until it is gone.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  # A fresh prefix of the same kind made earlier in this run (scripts/test.sh keeps one a suite, see
  # wine_prefix_keep_template) is copied: making one takes half a minute, copying it a second or two.
  local template=${WINE_PREFIX_TEMPLATE:-}
  if [ -n "$template" ] && [ -f "$template/system.reg" ] && [ "$(cat "$template/.made-for" 2>/dev/null)" = "${WINEARCH:-}" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    if cp -a "$template" "$WINEPREFIX" 2>/dev/null && [ -f "$WINEPREFIX/system.reg" ]; then
      rm -f "$WINEPREFIX/.made-for"
      return 0
    fi
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  # Fonts every Windows system has and Wine ships (fonts-wine) but does not put into a new prefix: the
  # symbol fonts the text tests draw through their symbol map, and Marlett for the caption buttons.
  local font
  for font in wingding webdings marlett; do
    [ ! -f "/usr/share/wine/fonts/$font.ttf" ] || cp "/usr/share/wine/fonts/$font.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "could not make a Wine prefix in $WINEPREFIX" >&2
    return 1
  fi
}

# Keeps a copy of the fresh prefix just made as the template that later wine_prefix_make calls of this
# run copy (exports WINE_PREFIX_TEMPLATE); the copy records the kind of prefix it is (WINEARCH).
wine_prefix_keep_template() {  # folder
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$1"
  cp -a "$WINEPREFIX" "$1" || return 1
  printf '%s' "${WINEARCH:-}" >"$1/.made-for"
  export WINE_PREFIX_TEMPLATE=$1
}

# Makes the prefix only when there is none yet.
wine_prefix_ensure() {
  [ -f "$WINEPREFIX/system.reg" ] || wine_prefix_make
}

# Starts an Xvfb display of our own and waits until it is ready: the server picks a free display number
# itself and names it once it accepts connections (-displayfd), so that no other X server started at
# the same moment can take the number between a look and the start. Exports DISPLAY and sets XVFB_PID;
# fails with the reason on stderr.
XVFB_PID=""
xvfb_start() {
  local named number="" deadline=$((SECONDS + 60))
  named=$(mktemp "${TMPDIR:-/tmp}/xvfb-display.XXXXXX") || return 1
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$named" >/dev/null 2>&1 &
  XVFB_PID=$!
  while [ -z "$number" ] && [ $SECONDS -lt $deadline ] && kill -0 "$XVFB_PID" 2>/dev/null; do
    sleep 0.1
    number=$(tr -dc 0-9 <"$named")
  done
  rm -f "$named"
  if [ -z "$number" ]; then
    echo "the Xvfb display did not start" >&2
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
    return 1
  fi
  export DISPLAY=":$number"
}

# Ends the display and waits until the server has gone (at most ten seconds): a server still ending
# removes its socket file and lock after a new server may have taken the same display number, which then
# cannot be reached ("Can't open display").
xvfb_stop() {
  local deadline=$((SECONDS + 10))
  if [ -n "$XVFB_PID" ] && kill "$XVFB_PID" >/dev/null 2>&1; then
    while kill -0 "$XVFB_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=""
}

# Starts openbox on $DISPLAY and waits until it manages windows: it has announced itself on the root
# window and framed a probe window (xlogo), which is gone again afterwards. Right after its start openbox
# can leave a window's map request unhandled until some other event reaches it (seen about once in
# twenty starts: the manager idle, the request waiting); a property changed on the root window each
# second while the probe waits wakes it. A probe that ended (it could not reach the display at that
# moment) is started again. Sets WM_PID; fails with what it saw on stderr.
WM_PID=""
window_manager_start() {
  local attempt probe="" probe_pid framed="" log
  log=$(mktemp "${TMPDIR:-/tmp}/wm-probe.XXXXXX")
  openbox --sm-disable >/dev/null 2>"$log.openbox" &
  WM_PID=$!
  xlogo -name wm-probe >/dev/null 2>>"$log" &
  probe_pid=$!
  for attempt in $(seq 600); do
    kill -0 "$WM_PID" 2>/dev/null || break
    if ! kill -0 "$probe_pid" 2>/dev/null; then
      xlogo -name wm-probe >/dev/null 2>>"$log" &
      probe_pid=$!
    fi
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      probe=$(xdotool search --name '^wm-probe$' 2>/dev/null | head -n 1)
      [ -n "$probe" ] && xprop -id "$probe" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' && framed=1 && break
      [ $((attempt % 10)) -ne 0 ] || xprop -root -f _TEST_WM_WAKE 32c -set _TEST_WM_WAKE "$attempt" 2>/dev/null
    fi
    sleep 0.1
  done
  kill "$probe_pid" 2>/dev/null
  wait "$probe_pid" 2>/dev/null
  if [ -z "$framed" ]; then
    {
      echo "the window manager (openbox) did not manage a window on $DISPLAY"
      kill -0 "$WM_PID" 2>/dev/null && echo "  openbox runs" || echo "  openbox ended: $(head -c 300 "$log.openbox")"
      echo "  probe window: ${probe:-none}$([ -z "$probe" ] || xwininfo -id "$probe" 2>&1 | grep -o 'Map State: .*')"
      grep -v 'Cannot convert' "$log" | head -n 3 | sed 's/^/  probe: /'
    } >&2
    window_manager_stop
  fi
  rm -f "$log" "$log.openbox"
  [ -n "$framed" ]
}

window_manager_stop() {
  [ -z "$WM_PID" ] || kill "$WM_PID" >/dev/null 2>&1 || true
  WM_PID=""
}
