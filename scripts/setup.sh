#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build and test both programs, natively and
# for Windows (i686, mingw-w64, run under Wine), then builds the Windows-side libraries that Debian
# does not package for mingw (libjpeg-turbo with its SIMD code, giflib for the tests' decoders) from
# Debian's source packages. Safe to run again: every step checks first whether it is already done.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
DEPS_PREFIX=${DEPS_PREFIX:-/opt/mingw-deps/i686}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev make pkg-config nasm dpkg-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools
  wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick file
  libjpeg62-turbo-dev libgif-dev libgtest-dev googletest libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core fonts-wine
  python3-pil
  giflib-tools
)

need_install=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  apt_updated=""
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || need_install+=("$p")
done

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
  apt_updated=""
fi

if [ ${#need_install[@]} -gt 0 ] || [ "${apt_updated-x}" = "" ]; then
  $SUDO apt-get update -qq
  if [ ${#need_install[@]} -gt 0 ]; then
    echo "setup: installing ${need_install[*]}"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need_install[@]}"
  fi
fi

# The mingw libraries: built once into DEPS_PREFIX, recorded by a stamp naming the source versions.
jpeg_ver=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)
gif_ver=$(dpkg-query -W -f='${Version}' libgif-dev)
stamp="$DEPS_PREFIX/.built-$jpeg_ver-$gif_ver-1"
if [ -f "$stamp" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
$SUDO mkdir -p "$DEPS_PREFIX"
cd "$work"
# The source entry may have been written by an earlier, interrupted run without a package update.
apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:' || $SUDO apt-get update -qq
apt-get source -qq --download-only libjpeg-turbo giflib >/dev/null
dpkg-source -x --no-check libjpeg-turbo_*.dsc jpeg >/dev/null
dpkg-source -x --no-check giflib_*.dsc gif >/dev/null

cmake -S jpeg -B jpeg-build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF \
  -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
cmake --build jpeg-build >/dev/null
$SUDO cmake --install jpeg-build >/dev/null

# giflib: the library sources only (the tests decode with it); its Makefile builds host tools too.
gifsrc=(dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_hash.c openbsd-reallocarray.c)
( cd gif && for f in "${gifsrc[@]}"; do
    i686-w64-mingw32-gcc-posix -O2 -c "$f" -o "${f%.c}.o"
  done && i686-w64-mingw32-ar rcs libgif.a ./*.o )
$SUDO mkdir -p "$DEPS_PREFIX/include" "$DEPS_PREFIX/lib"
$SUDO cp gif/gif_lib.h "$DEPS_PREFIX/include/"
$SUDO cp gif/libgif.a "$DEPS_PREFIX/lib/"

$SUDO rm -f "$DEPS_PREFIX"/.built-*
$SUDO touch "$stamp"
echo "setup: mingw libraries in $DEPS_PREFIX"
