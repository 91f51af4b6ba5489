#!/usr/bin/env bash
# Times the image writers against other programs on the same pixels, in one run, and prints the
# medians with our time divided by theirs for each speed target:
#   JPEG          SaveBitmapAsJpeg vs libjpeg-turbo driven directly with the same calls   <= 1.1
#   GIF screen    SaveBitmapAsGif vs Pillow quantize(256, FASTOCTREE) + save               <  1
#                 SaveBitmapAsGif vs ImageMagick convert -colors 256 (whole command)       <= 0.1
#   GIF photo     SaveBitmapAsGif vs Pillow quantize(256, FASTOCTREE) + save               <= 2
#   BMP           SaveBitmapAsBmp (32 bits) vs one write() of the same byte count          <= 1.5
#                 SaveBitmapAsBmp (32 bits) vs the same write() made whole-or-nothing       <= 1.1
#                 (temporary file, write(), close, rename onto the target: what the writers
#                 do, so that a failed write never leaves a half file under the target's name)
#   256 glyphs    256 GIF files vs Pillow writing them in one process                      <  1
#   PNG           SaveBitmapAsPng vs Pillow save(format="PNG") at its defaults, on both     <  1
#                 pictures; the file sizes side by side, ours at most 5 % larger
# The pictures come from bench_imaging --dump. All files are written to a tmpfs folder (/dev/shm when
# there is one) so that the disk does not enter the times, and every timed file is a new one: each
# program removes its previous output before the clocks start.
#
# The machine may be shared, so the programs take turns in ROUNDS rounds (ours, then each peer), and
# each figure is the median over the rounds of the per-round medians. Both wall time and processor
# time (user + system of the timing process, or of the convert command) are reported; the processor
# time is the steadier one when other work competes for the cores.
#   BUILD_DIR    build folder with BUILD_BENCHMARKS=ON (default build/bench, the "bench" preset);
#                configured and built here when it has no bench_imaging yet
#   ROUNDS       rounds (default 5)
#   REPS         repetitions of each peer case per round (default 5)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build/bench}
rounds=${ROUNDS:-5}
reps=${REPS:-5}
bench=$build/bench/bench_imaging

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --target bench_imaging -j 2 >/dev/null

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/compare_peers.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/out" "$work/tools"

echo "== pictures"
"$bench" --dump "$work/pictures"
cc -O2 -o "$work/tools/jpeg_direct" "$here/bench/peers/jpeg_direct.c" -ljpeg
cc -O2 -o "$work/tools/write_once" "$here/bench/peers/write_once.c"
results=$work/results.txt  # lines: round key wall_ms cpu_ms
sizes=$work/sizes.txt      # lines: key bytes
: >"$results"
: >"$sizes"
bmp_bytes=$((54 + 1920 * 1080 * 4))

for round in $(seq 1 "$rounds"); do
  echo "== round $round of $rounds"
  TMPDIR=$work/out "$bench" --benchmark_min_time=0.3 --benchmark_out="$work/ours-$round.json" \
    --benchmark_out_format=json >/dev/null 2>&1
  /usr/bin/python3 - "$work/ours-$round.json" "$round" "$sizes" >>"$results" <<'PY'
import json, sys
with open(sys.argv[3], "a") as sizes:
    for run in json.load(open(sys.argv[1]))["benchmarks"]:
        key = "ours_" + run["run_name"].replace("/manual_time", "")
        print(sys.argv[2], key, run["ms"], run["cpu_ms"])
        if "bytes" in run:
            print(key, int(run["bytes"]), file=sizes)
PY
  for picture in screenshot photo; do
    echo "$round jpeg_direct_$picture $("$work/tools/jpeg_direct" "$work/pictures/$picture.ppm" \
      "$work/out/direct.jpg" "$reps")" >>"$results"
  done
  read -r write_wall write_cpu whole_wall whole_cpu atomic_wall atomic_cpu < <(
    "$work/tools/write_once" "$bmp_bytes" "$work/out/write.bin" "$reps")
  echo "$round write_once $write_wall $write_cpu" >>"$results"
  echo "$round open_write_close $whole_wall $whole_cpu" >>"$results"
  echo "$round whole_or_nothing $atomic_wall $atomic_cpu" >>"$results"
  /usr/bin/python3 "$here/bench/peers/pillow_peers.py" "$work/pictures" "$work/out/pillow" "$reps" |
    sed "s/^/$round /" >>"$results"
  for picture in screenshot photo; do
    echo "pillow_png_$picture $(stat -c %s "$work/out/pillow/$picture.png")" >>"$sizes"
  done
  if command -v convert >/dev/null; then
    /usr/bin/python3 - "$reps" "$work" "$round" >>"$results" <<'PY'
import os, resource, statistics, subprocess, sys, time
reps, work, round_ = int(sys.argv[1]), sys.argv[2], sys.argv[3]
output = work + "/out/convert.gif"
command = ["convert", work + "/pictures/screenshot.ppm", "-colors", "256", output]
subprocess.run(command, check=True)  # warm-up
wall, cpu = [], []
for _ in range(reps):
    os.remove(output)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True)
    wall.append((time.perf_counter() - start) * 1e3)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append((after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1e3)
print(round_, "convert_gif_screenshot %.3f %.3f" % (statistics.median(wall), statistics.median(cpu)))
PY
  fi
done

echo
/usr/bin/python3 - "$results" "$sizes" <<'PY'
import statistics, sys
samples = {}
for line in open(sys.argv[1]):
    _, key, wall, cpu = line.split()
    samples.setdefault(key, []).append((float(wall), float(cpu)))
medians = {key: (statistics.median(w for w, _ in values), statistics.median(c for _, c in values))
           for key, values in samples.items()}

rows = [
    ("JPEG screenshot", "Jpeg/screenshot", "libjpeg-turbo direct", "jpeg_direct_screenshot", "<=", 1.1),
    ("JPEG photo", "Jpeg/photo", "libjpeg-turbo direct", "jpeg_direct_photo", "<=", 1.1),
    ("JPEG screenshot", "Jpeg/screenshot", "Pillow save(quality=90)", "pillow_jpeg_screenshot", "", None),
    ("JPEG photo", "Jpeg/photo", "Pillow save(quality=90)", "pillow_jpeg_photo", "", None),
    ("GIF screenshot", "Gif/screenshot", "Pillow FASTOCTREE + GIF", "pillow_gif_screenshot", "<", 1.0),
    ("GIF screenshot", "Gif/screenshot", "convert -colors 256", "convert_gif_screenshot", "<=", 0.1),
    ("GIF photo", "Gif/photo", "Pillow FASTOCTREE + GIF", "pillow_gif_photo", "<=", 2.0),
    ("BMP 32 screenshot", "Bmp32/screenshot", "one write()", "write_once", "<=", 1.5),
    ("BMP 32 screenshot", "Bmp32/screenshot", "open + write() + close", "open_write_close", "", None),
    ("BMP 32 screenshot", "Bmp32/screenshot", "temp + write + rename", "whole_or_nothing", "<=", 1.1),
    ("256 glyph GIFs", "Gif256Glyphs", "Pillow, 256 files", "pillow_gif_256_glyphs", "<", 1.0),
    ("PNG screenshot", "Png/screenshot", "Pillow save(PNG)", "pillow_png_screenshot", "<", 1.0),
    ("PNG photo", "Png/photo", "Pillow save(PNG)", "pillow_png_photo", "<", 1.0),
]
print("medians over the rounds, milliseconds; ratio = ours / peer")
print("%-18s %-24s %9s %9s %7s %9s %9s %7s  %s" % ("case", "peer", "ours", "peer", "ratio",
                                                    "ours cpu", "peer cpu", "ratio", "target"))
missed = 0
for case, our_key, peer, peer_key, relation, goal in rows:
    ours, theirs = medians.get("ours_" + our_key), medians.get(peer_key)
    if ours is None or theirs is None:
        print("%-18s %-24s  (not measured)" % (case, peer))
        continue
    ratios = [o / t if t > 0 else float("inf") for o, t in zip(ours, theirs)]
    verdict = ""
    if goal is not None:
        met = [r < goal if relation == "<" else r <= goal for r in ratios]
        verdict = "%s %g: wall %s, cpu %s" % (relation, goal, *("met" if m else "MISSED" for m in met))
        missed += not met[1]
    print("%-18s %-24s %9.2f %9.2f %7.3f %9.2f %9.2f %7.3f  %s" % (case, peer, ours[0], theirs[0], ratios[0],
                                                                   ours[1], theirs[1], ratios[1], verdict))
safe, plain = medians.get("whole_or_nothing"), medians.get("open_write_close")
if safe and plain:
    print("\nwhat the whole-or-nothing write costs: %.2f ms against %.2f ms in place (%.3f x), processor "
          "time %.2f ms against %.2f ms (%.3f x)" % (safe[0], plain[0], safe[0] / plain[0], safe[1], plain[1],
                                                   safe[1] / plain[1]))
sizes = {}
for line in open(sys.argv[2]):
    key, size = line.split()
    sizes[key] = int(size)  # the same every round: the writers are deterministic
print("\nfile sizes, bytes; ratio = ours / peer")
for picture in ("screenshot", "photo"):
    ours, theirs = sizes.get("ours_Png/" + picture), sizes.get("pillow_png_" + picture)
    if ours is None or theirs is None:
        print("PNG %-10s (not measured)" % picture)
        continue
    met = ours <= 1.05 * theirs
    missed += not met
    print("PNG %-10s ours %9d  Pillow %9d  ratio %.3f  <= 1.05: %s" % (picture, ours, theirs, ours / theirs,
                                                                       "met" if met else "MISSED"))
print("\n%d target(s) missed by processor time or size" % missed if missed else
      "\nall targets met by processor time and size")
PY
