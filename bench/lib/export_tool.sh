# Sourced by the comparison scripts: bench_export_tool prints the letrana-export to time, $TOOL when set,
# else the optimised one of build/bench, configured and built here as needed.
bench_export_tool() {  # repository folder
  if [ -n "${TOOL:-}" ]; then
    echo "$TOOL"
    return
  fi
  local build=$1/build/bench
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$1" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON \
      -DBUILD_TESTING=OFF >/dev/null
  fi
  cmake --build "$build" --target letrana-export -j 2 >/dev/null
  echo "$build/letrana/letrana-export"
}
