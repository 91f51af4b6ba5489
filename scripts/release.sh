#!/usr/bin/env bash
# Builds the Windows release: both Windows builds (i686 as win32, x86_64 as win64), each with its help
# files, its installer and its portable zip, and lists what it made:
#   build/windows/Letrana-1.630-win32-setup.exe    build/windows/Letrana-1.630-win32.zip
#   build/windows64/Letrana-1.630-win64-setup.exe  build/windows64/Letrana-1.630-win64.zip
# makensis and cpack are Linux programs; only the help's pictures are taken from the real programs under
# Wine (help/make_pictures.sh, on $DISPLAY or an Xvfb display of its own). The x86_64 build comes first:
# on a host that cannot execute 32-bit code the i686 build's help takes its pictures with the x86_64
# programs. Testing the release under Wine is scripts/test.sh's business.
#   RELEASE_JOBS   parallel build jobs (default: the number of processors)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=${RELEASE_JOBS:-$(nproc)}
made=()

for preset in windows64 windows; do
  dir="build/$preset"
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  # The installer target builds the help files first where the build has them.
  cmake --build --preset "$preset" -j "$jobs" --target installer
  rm -f "$dir"/Letrana-*.zip
  (cd "$dir" && cpack -G ZIP >/dev/null)
  for file in "$dir"/Letrana-*-setup.exe "$dir"/Letrana-*.zip; do
    [ -f "$file" ] || { echo "release: $file was not made" >&2; exit 1; }
    made+=("$file")
  done
done

echo
echo "== release"
sha256sum "${made[@]}"
