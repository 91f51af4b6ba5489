#!/usr/bin/env bash
# Builds both programs' code for Linux and Windows and runs the main job. For now that is the image
# writers' demo: a test picture written as BMP, JPEG, GIF and transparent GIF, natively and by the
# Windows build under Wine. Output goes to build/demo/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc)
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs" --target imaging_demo
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target imaging_demo

echo "== native"
build/linux/tools/imaging_demo build/demo/linux
echo "== Windows, under Wine"
export WINEPREFIX="$here/build/windows/wineprefix-run"
scripts/wine-run.sh build/windows/tools/imaging_demo.exe build/demo/windows
wineserver -k 2>/dev/null || true
file build/demo/linux/* build/demo/windows/*
