#!/usr/bin/env bash
# Times letrana-export against two other ways of writing the same 256 glyph pictures, side by side in
# one run: all 256 codes of Liberation Sans at 72 points (96 pixels per inch) as PNG with alpha.
#   ours         one letrana-export command (it also writes its metrics file)
#   ImageMagick  one `convert ... label:` command per glyph, 256 commands
#   Pillow       one Python process that renders and saves the 256 pictures
# Targets: ours at least 10 times faster than ImageMagick and faster than Pillow. Each contender runs
# ROUNDS times (default 3), taking turns, into a tmpfs folder (/dev/shm when there is one) emptied
# before each run; the median wall time is printed.
#   TOOL   the letrana-export to time (default: build/bench's, built here with the bench preset)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-3}
font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
convert=/usr/bin/convert
# shellcheck source=lib/export_tool.sh
source "$here/bench/lib/export_tool.sh"
tool=$(bench_export_tool "$here")

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/compare_export_tool.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out"

# The characters as ImageMagick's label text, NUL-separated: its escapes ("%", "\\", a leading "@")
# doubled or escaped. A control character or a blank gives no label picture at all, so "?" stands in
# for those few: the same work of one command rendering and writing one picture.
/usr/bin/python3 - >"$work/labels" <<'PY'
import sys
for code in range(256):
    character = bytes([code]).decode("cp1252", errors="replace")
    if not character.isprintable() or character.isspace():
        character = "?"
    text = character.replace("\\", "\\\\").replace("%", "%%")
    if text.startswith("@"):
        text = "\\" + text
    sys.stdout.buffer.write(text.encode("utf-8") + b"\0")
PY
mapfile -d '' labels <"$work/labels"

cat >"$work/pillow_glyphs.py" <<'PY'
import sys
from PIL import Image, ImageDraw, ImageFont
font_file, folder = sys.argv[1], sys.argv[2]
font = ImageFont.truetype(font_file, 96)  # 72 points at 96 pixels per inch
ascent, descent = font.getmetrics()
for code in range(256):
    character = bytes([code]).decode("cp1252", errors="replace")
    width = max(1, round(font.getlength(character)))
    picture = Image.new("RGBA", (width, ascent + descent), (0, 0, 0, 0))
    ImageDraw.Draw(picture).text((0, 0), character, font=font, fill=(0, 0, 0, 255))
    picture.save(f"{folder}/g{code:03d}.png")
PY

now_ms() { echo $(($(date +%s%N) / 1000000)); }
ours() {
  "$tool" --no-settings --font "$font" --size 72 --form png-alpha --color '#000000' \
    --output "$work/out/g" >/dev/null
}
imagemagick() {
  local code
  for code in $(seq 0 255); do
    "$convert" -background none -fill black -font "$font" -density 96 -pointsize 72 \
      "label:${labels[$code]}" "PNG32:$work/out/g$(printf %03d "$code").png"
  done
}
pillow() { /usr/bin/python3 "$work/pillow_glyphs.py" "$font" "$work/out"; }

# Wall time, and processor time (user + system of the contender and its children): the steadier
# figure when other work competes for the cores.
declare -A wall cpu
TIMEFORMAT='%R %U %S'
for round in $(seq 1 "$rounds"); do
  for contender in ours imagemagick pillow; do
    rm -rf "$work/out"
    mkdir -p "$work/out"
    { time "$contender" 2>"$work/errors-$contender"; } 2>"$work/time"
    read -r real user system <"$work/time"
    wall[$contender]+="$(awk -v r="$real" 'BEGIN {printf "%d", r * 1000}') "
    cpu[$contender]+="$(awk -v u="$user" -v s="$system" 'BEGIN {printf "%d", (u + s) * 1000}') "
    count=$(find "$work/out" -name '*.png' | wc -l)
    echo "round $round: $contender ${real}s wall, $(awk -v u="$user" -v s="$system" 'BEGIN {print u + s}')s cpu, $count pictures"
    if [ "$count" -ne 256 ]; then
      echo "$contender wrote $count pictures, not 256:" >&2
      head -5 "$work/errors-$contender" >&2
      exit 1
    fi
  done
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
echo
echo "== 256 glyphs, Liberation Sans 72 pt, PNG with alpha (medians of $rounds rounds, milliseconds)"
printf '%-14s %8s %8s\n' "" wall cpu
for contender in ours imagemagick pillow; do
  printf '%-14s %8s %8s\n' "$contender" "$(echo "${wall[$contender]}" | median)" "$(echo "${cpu[$contender]}" | median)"
done
for kind in wall cpu; do
  declare -n times=$kind
  awk -v kind="$kind" -v o="$(echo "${times[ours]}" | median)" -v m="$(echo "${times[imagemagick]}" | median)" \
    -v p="$(echo "${times[pillow]}" | median)" 'BEGIN {
    o = (o < 1) ? 1 : o
    printf "%-4s ImageMagick / ours %6.1fx (target >= 10x: %s)   Pillow / ours %5.2fx (target > 1x: %s)\n",
      kind, m / o, (m / o >= 10 ? "met" : "NOT met"), p / o, (p / o > 1 ? "met" : "NOT met")
  }'
done
