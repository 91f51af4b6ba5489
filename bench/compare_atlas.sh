#!/usr/bin/env bash
# Times letrana-export's packed atlas against the fastest other ways to the same atlas installable here,
# side by side in one run: Basic Latin, Latin-1, Greek and Cyrillic (U+0020-U+007E, U+00A0-U+00FF,
# U+0370-U+03FF, U+0400-U+04FF: the 582 of them DejaVu Sans maps) at 32 pixels (24 points at 96 pixels
# per inch), 512x512 pages, one pixel between glyphs, PNG pages with a text descriptor.
#   coverage        ours --atlas --descriptor text     against Pillow (peers/pillow_atlas.py: each glyph
#                                                      drawn with ImageFont.truetype and cut to its ink,
#                                                      a skyline packer, PNG pages, a text descriptor)
#   distance field  ours --atlas --sdf 4 (the field     against msdf-bmfont-xml -t sdf -r 8 -f txt (npm,
#                   clamped at 4 pixels either side)    pinned in peers/atlas; its range 8 is the same
#                                                      4 pixels either side of the outline)
# msdf-bmfont-xml has no coverage atlas (its fields are msdf, sdf and psdf), so the coverage case has
# Pillow alone. Ours also writes its metrics file and the kerning pairs among the characters; neither
# peer writes kerning (Pillow tells none, and msdf-bmfont-xml finds none in this font).
#
# The msdfgen that msdf-bmfont-xml ships spins for about two minutes on U+046F (Cyrillic ksi) of
# DejaVu Sans, which would make the peer's time that one glyph's: the distance-field case leaves the
# characters in SDF_LEAVE_OUT (default 046F, hexadecimal, comma-separated; empty to keep them all) out
# on both sides.
#
# Target: ours at most half the peer's time (ours / peer <= 0.5). Each contender runs once untimed (its
# files checked), then ROUNDS times, taking turns, into a tmpfs folder (/dev/shm when there is one)
# emptied before each run; the medians of wall time and of processor time (user + system of the
# contender and its children: msdf-bmfont-xml runs msdfgen once per glyph, several at a time) are
# printed with the ratios.
#   ROUNDS  rounds (default 3)
#   TOOL    the letrana-export to time (default: build/bench's, built here with the bench preset)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-3}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
ranges=U+0020-U+007E,U+00A0-U+00FF,U+0370-U+03FF,U+0400-U+04FF
pixels=32 points=24 spread=4 page=512 spacing=1
leave_out=${SDF_LEAVE_OUT-046F}
# shellcheck source=lib/export_tool.sh
source "$here/bench/lib/export_tool.sh"
tool=$(bench_export_tool "$here")

# The npm peer as its lock file pins it, installed again only when the lock file changed; npm retries
# each download itself, and the whole install is tried three times. Without it the distance-field case
# is left out, and the coverage case still runs.
peers=$here/bench/peers/atlas
msdf=$peers/node_modules/msdf-bmfont-xml/cli.js
stamp=$peers/node_modules/.installed-lock
if ! { [ -f "$stamp" ] && cmp -s "$stamp" "$peers/package-lock.json"; }; then
  for try in 1 2 3; do
    if (cd "$peers" && npm ci --no-audit --no-fund --loglevel=error --fetch-retries=5 >/dev/null); then
      cp "$peers/package-lock.json" "$stamp"
      break
    fi
    echo "compare_atlas: npm ci in ${peers#"$here"/} failed (try $try of 3)" >&2
  done
fi
[ -f "$stamp" ] && cmp -s "$stamp" "$peers/package-lock.json" || msdf=
export NO_UPDATE_NOTIFIER=1  # msdf-bmfont-xml would ask the registry for a newer version on every run

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/compare_atlas.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The characters the font maps, for the peers (which would draw the missing ones as boxes; ours leaves
# them out itself): hexadecimal code points for Pillow, the characters as UTF-8 for msdf-bmfont-xml,
# and ours' code list for the distance-field case.
/usr/bin/python3 - "$font" "$ranges" "$leave_out" "$work" <<'PY'
import sys
from fontTools.ttLib import TTFont
font, ranges, leave_out, work = sys.argv[1:5]
mapped = TTFont(font).getBestCmap()
codes = []
for part in ranges.split(","):
    first, last = (int(end[2:], 16) for end in part.split("-"))
    codes += [code for code in range(first, last + 1) if code in mapped]
left_out = {int(code, 16) for code in leave_out.split(",") if code}
field_codes = [code for code in codes if code not in left_out]
with open(work + "/codes.txt", "w") as out:
    out.write("".join("%04X\n" % code for code in codes))
with open(work + "/field_characters.txt", "w", encoding="utf-8") as out:
    out.write("".join(map(chr, field_codes)))
with open(work + "/field_codes.txt", "w") as out:
    out.write(",".join("U+%04X" % code for code in field_codes))
PY
count=$(wc -l <"$work/codes.txt")
field_codes=$(cat "$work/field_codes.txt")
field_count=$(awk -F, '{print NF}' "$work/field_codes.txt")

ours_coverage() {
  "$tool" --no-settings --font "$font" --size "$points" --codes "$ranges" --atlas --descriptor text \
    --page-size "${page}x$page" --spacing "$spacing" --output "$work/out/font" >/dev/null
}
pillow_coverage() {
  /usr/bin/python3 "$here/bench/peers/pillow_atlas.py" "$font" "$pixels" "$work/codes.txt" "$work/out/font" \
    "$page" "$spacing" >/dev/null
}
ours_field() {
  "$tool" --no-settings --font "$font" --size "$points" --codes "$field_codes" --atlas --descriptor text \
    --sdf "$spread" --page-size "${page}x$page" --spacing "$spacing" --output "$work/out/font" >/dev/null
}
msdf_field() {
  (cd "$work/out" && node "$msdf" -f txt -o "$work/out/font" -s "$pixels" -i "$work/field_characters.txt" \
    -m "$page,$page" -p "$spacing" -t sdf -r $((2 * spread)) "$font" >/dev/null)
}

# The characters a contender's descriptor lists, and its pages; "" when it wrote no descriptor.
written() {
  local descriptor
  descriptor=$(find "$work/out" -name '*.fnt' | head -1)
  [ -n "$descriptor" ] || return 0
  echo "$(grep -c '^char ' "$descriptor") characters, $(find "$work/out" -name '*.png' | wc -l) pages"
}
expected() {
  case $1 in
    *_coverage) echo "$count" ;;
    *) echo "$field_count" ;;
  esac
}

contenders=(ours_coverage pillow_coverage)
if [ -z "$msdf" ]; then
  echo "msdf-bmfont-xml is not installed (npm ci failed): the distance-field case is left out" >&2
else
  contenders+=(ours_field msdf_field)
fi
# One untimed run each, its files checked. A peer that cannot run here (msdf-bmfont-xml runs a msdfgen
# binary of its own) leaves its case out; ours or Pillow failing ends the comparison.
checked=()
for contender in "${contenders[@]}"; do
  rm -rf "$work/out" && mkdir -p "$work/out"
  if ! "$contender" 2>"$work/errors-$contender" || [ "$(written | cut -d' ' -f1)" != "$(expected "$contender")" ]; then
    echo "$contender did not write the $(expected "$contender") characters (it wrote: $(written)):" >&2
    head -5 "$work/errors-$contender" >&2
    [ "$contender" = msdf_field ] || exit 1
    echo "the distance-field case is left out" >&2
    checked=("${checked[@]/ours_field/}")
    msdf=
    continue
  fi
  echo "checked: $contender wrote $(written)"
  checked+=("$contender")
done
read -r -a contenders <<<"${checked[*]}"

declare -A wall cpu
TIMEFORMAT='%R %U %S'
for round in $(seq 1 "$rounds"); do
  for contender in "${contenders[@]}"; do
    rm -rf "$work/out" && mkdir -p "$work/out"
    { time "$contender" 2>"$work/errors-$contender"; } 2>"$work/time"
    read -r real user system <"$work/time"
    wall[$contender]+="$(awk -v r="$real" 'BEGIN {printf "%d", r * 1000}') "
    cpu[$contender]+="$(awk -v u="$user" -v s="$system" 'BEGIN {printf "%d", (u + s) * 1000}') "
    echo "round $round: $contender ${real}s wall, $(awk -v u="$user" -v s="$system" 'BEGIN {print u + s}')s cpu, $(written)"
  done
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
echo
echo "== DejaVu Sans at $pixels px, ${page}x$page pages, text descriptor (medians of $rounds rounds, milliseconds)"
echo "   coverage: $count characters${msdf:+; distance field (spread $spread px): $field_count characters}"
printf '%-16s %8s %8s\n' "" wall cpu
for contender in "${contenders[@]}"; do
  printf '%-16s %8s %8s\n' "$contender" "$(echo "${wall[$contender]}" | median)" "$(echo "${cpu[$contender]}" | median)"
done
echo
ratio() {  # case ours peer label
  local kind ours theirs
  for kind in wall cpu; do
    declare -n times=$kind
    ours=$(echo "${times[$2]}" | median)
    theirs=$(echo "${times[$3]}" | median)
    awk -v what="$1" -v kind="$kind" -v peer="$4" -v o="$ours" -v p="$theirs" 'BEGIN {
      p = (p < 1) ? 1 : p
      printf "%-15s %-4s ours / %-16s %6.3f (target <= 0.5: %s)\n", what, kind, peer, o / p, (o / p <= 0.5 ? "met" : "MISSED")
    }'
  done
}
ratio coverage ours_coverage pillow_coverage Pillow
[ -z "$msdf" ] || ratio "distance field" ours_field msdf_field msdf-bmfont-xml
