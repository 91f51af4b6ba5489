#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build and test both programs, natively and
# for Windows (i686 and x86_64 with mingw-w64, run under Wine), then builds the Windows-side
# libraries that Debian does not package for mingw (libjpeg-turbo with its SIMD code, libpng over
# Debian's mingw zlib, giflib for the tests' decoders) from Debian's source packages, once for each
# triple. Runs as root or, through sudo, as a user. Safe to run again: every step checks first
# whether it is already done, so a run that was interrupted is finished by the next one.
#   DEPS_ROOT   where the mingw libraries go, one folder a triple (default /opt/mingw-deps)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/apt.sh
source "$here/scripts/lib/apt.sh"
DEPS_ROOT=${DEPS_ROOT:-/opt/mingw-deps}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: run this as root, or install sudo: it installs Debian packages" >&2
    exit 1
  fi
  SUDO=sudo
fi

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev make pkg-config nasm dpkg-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine32:i386 wine64 xvfb xdotool x11-utils x11-apps x11-xserver-utils scrot maim imagemagick file
  libjpeg62-turbo-dev libpng-dev libz-mingw-w64-dev libgif-dev
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core fonts-wine
  python3-pil python3-fonttools
  giflib-tools
  nsis fp-utils libchm-bin zip unzip
  # The native Linux desktop build (Qt 6 Widgets; the xcb and offscreen platform plugins come with
  # libqt6gui6), its tests on an X display (a window manager, the clipboard, the accessibility bus on a
  # session bus) and its Debian package's checks.
  qt6-base-dev openbox xclip python3-pyatspi at-spi2-core dbus-daemon dbus-x11
  lintian desktop-file-utils appstream xdg-utils
  # The X11 window system of the native Snapora (xcb with EWMH, MIT-SHM, RandR, key symbols; XTEST for
  # its test).
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-randr0-dev libxcb-shm0-dev
  libxcb-xtest0-dev
  # The Wayland side of the native Snapora (the desktop's portals on the session bus through sd-bus;
  # Qt's Wayland platform plugin) and its test on a headless sway: the compositor, its background, its
  # XWayland, a reference screenshot tool and the portals (the frontend; the wlroots backend, which takes its
  # screenshots with grim and needs PipeWire to start; the GTK backend, whose access dialog the
  # frontend wants before it offers screenshots); GLib's D-Bus for Python, for the stand-in portal of
  # the portal client's test. The screen stream of automatic capture comes through PipeWire; its test
  # streams a known picture (GStreamer's test source) through PipeWire and its session manager.
  libsystemd-dev qt6-wayland sway swaybg xwayland grim pipewire python3-gi
  libpipewire-0.3-dev wireplumber pipewire-bin gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
)

# Node and npm, for the packages the tests read bitmap-font descriptors with. A Node installed
# otherwise (with its own npm) is kept: Debian's npm would conflict with it.
command -v npm >/dev/null || packages+=(nodejs npm)

lists_stale=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  lists_stale=1
fi
# Source packages need a deb-src entry; Debian 12 ships only binary entries by default.
srclist=/etc/apt/sources.list.d/debian-src.sources
if [ ! -f "$srclist" ]; then
  $SUDO tee "$srclist" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  lists_stale=1
fi
# A source entry written by an interrupted run, before its lists were fetched.
apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:' || lists_stale=1

need_install=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || need_install+=("$p")
done

if [ ${#need_install[@]} -gt 0 ] || [ -n "$lists_stale" ]; then
  apt_update
  if [ ${#need_install[@]} -gt 0 ]; then
    echo "setup: installing ${need_install[*]}"
    if ! apt_install "${need_install[@]}"; then
      echo "setup: $(apt_report_line)" >&2
      exit 1
    fi
  fi
else
  APT_REPORT+=("every package already installed")
fi

# The mingw libraries: built once a triple into DEPS_ROOT/<arch>, recorded by a stamp naming the
# source versions.
jpeg_ver=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)
gif_ver=$(dpkg-query -W -f='${Version}' libgif-dev)
png_ver=$(dpkg-query -W -f='${Version}' libpng-dev)
work=""
trap '[ -z "$work" ] || rm -rf "$work"' EXIT

fetch_sources() {
  [ -z "$work" ] || return 0
  work=$(mktemp -d)
  (
    cd "$work"
    apt-get source -qq --download-only libjpeg-turbo giflib libpng1.6 >/dev/null
    dpkg-source -x --no-check libjpeg-turbo_*.dsc jpeg >/dev/null
    dpkg-source -x --no-check giflib_*.dsc gif >/dev/null
    dpkg-source -x --no-check libpng1.6_*.dsc png >/dev/null
  )
}

build_deps() {  # arch
  local arch=$1 triple=$1-w64-mingw32 prefix=$DEPS_ROOT/$1
  local stamp="$prefix/.built-$jpeg_ver-$gif_ver-$png_ver-2"
  if [ -f "$stamp" ]; then
    APT_REPORT+=("$arch libraries already built")
    return 0
  fi
  fetch_sources
  rm -rf "$work/jpeg-$arch" "$work/gif-$arch" "$work/png-$arch"
  cmake -S "$work/jpeg" -B "$work/jpeg-$arch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF \
    -DCMAKE_ASM_NASM_COMPILER=nasm -Wno-dev >/dev/null
  cmake --build "$work/jpeg-$arch" >/dev/null
  $SUDO cmake --install "$work/jpeg-$arch" >/dev/null

  # libpng: the static library only, over the static zlib of Debian's mingw zlib package (named as a
  # file: the import library beside it would tie the programs to a zlib DLL).
  cmake -S "$work/png" -B "$work/png-$arch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON \
    -DZLIB_INCLUDE_DIR="/usr/$triple/include" -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" \
    -Wno-dev >/dev/null
  cmake --build "$work/png-$arch" >/dev/null
  $SUDO cmake --install "$work/png-$arch" >/dev/null

  # giflib: the library sources only (the tests decode with it); its Makefile builds host tools too.
  local gifsrc=(dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_hash.c openbsd-reallocarray.c) f
  cp -r "$work/gif" "$work/gif-$arch"
  (
    cd "$work/gif-$arch"
    for f in "${gifsrc[@]}"; do
      "$triple-gcc-posix" -O2 -c "$f" -o "${f%.c}.o"
    done
    "$triple-ar" rcs libgif.a ./*.o
  )
  $SUDO mkdir -p "$prefix/include" "$prefix/lib"
  $SUDO cp "$work/gif-$arch/gif_lib.h" "$prefix/include/"
  $SUDO cp "$work/gif-$arch/libgif.a" "$prefix/lib/"

  $SUDO rm -f "$prefix"/.built-*
  $SUDO touch "$stamp"
  APT_REPORT+=("$arch libraries built into $prefix")
}

build_deps i686
build_deps x86_64

# The npm packages of the descriptor tests, as their lock file pins them; installed again only when
# the lock file changed. npm retries each download itself; a whole install is tried three times.
node_packages() {  # folder
  local folder=$1 stamp=$1/node_modules/.installed-lock try
  if [ -f "$stamp" ] && cmp -s "$stamp" "$folder/package-lock.json"; then
    APT_REPORT+=("npm packages of ${folder#"$here"/} already installed")
    return 0
  fi
  for try in 1 2 3; do
    if (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error --fetch-retries=5 >/dev/null); then
      cp "$folder/package-lock.json" "$stamp"
      APT_REPORT+=("npm packages of ${folder#"$here"/} installed")
      return 0
    fi
    echo "setup: npm ci in $folder failed (try $try of 3)" >&2
  done
  echo "setup: the npm packages of $folder could not be installed" >&2
  exit 1
}
node_packages "$here/tests/glyphs/consumers"
echo "setup: $(apt_report_line)"
