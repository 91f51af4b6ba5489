#!/usr/bin/env bash
# The Windows build's letrana-export.exe (under Wine, with GDI) and the native build's letrana-export
# (FreeType) run with the same options on the same font file; their pictures must have the same names
# and sizes, both must name the same face and find the same kerning. The pixels may differ as the two
# renderers smooth edges differently. Then the Windows tool's exit codes for each failure.
#   export_tool_compare.sh WINE_RUN ARCH WINDOWS_TOOL NATIVE_TOOL WORK_FOLDER
# WINE_RUN and ARCH are the emulator CTest runs the Windows tests with; the native tool is the linux
# build of the same tree (scripts/test.sh builds it first).
set -euo pipefail
wine_run=$1
arch=$2
windows_tool=$3
native_tool=$4
work=$5

if [ ! -x "$native_tool" ]; then
  echo "FAIL: the native letrana-export is missing at $native_tool; build the linux preset of this tree" \
    "first (cmake --preset linux && cmake --build --preset linux; scripts/test.sh does so), or point the" \
    "cache variable LETRANA_NATIVE_EXPORT at it" >&2
  exit 1
fi
font=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
if [ ! -f "$font" ]; then
  echo "FAIL: $font is missing (scripts/setup.sh installs fonts-liberation2)" >&2
  exit 1
fi

# A Unix path as Wine's Z: drive spells it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work/native" "$work/windows"
options=(--no-settings --size 20 --codes '32-126,160-255' --padding 1 --color '#102030' --background 16777215)
status=0
for form in png-alpha bmp; do
  "$native_tool" --font "$font" --form "$form" "${options[@]}" --output "$work/native/$form" \
    >"$work/native-$form.out"
  "$wine_run" "$arch" "$windows_tool" --font "$(windows_path "$font")" --form "$form" "${options[@]}" \
    --output "$(windows_path "$work/windows/$form")" >"$work/windows-$form.out"
done

# Both name the face they drew with, the file's own.
native_face=$(head -1 "$work/native-bmp.out" | sed 's/ (.*//')
windows_face=$(head -1 "$work/windows-bmp.out" | tr -d '\r' | sed 's/ (.*//')
if [ "$native_face" != "font: Liberation Sans" ] || [ "$windows_face" != "$native_face" ]; then
  echo "FAIL: the faces differ: native '$native_face', Windows '$windows_face'" >&2
  status=1
fi

# Names, then each picture's width and height from its header (PNG: IHDR; BMP: the information header).
sizes() {  # folder
  /usr/bin/python3 - "$1" <<'PY'
import os, struct, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    with open(os.path.join(folder, name), "rb") as f:
        head = f.read(32)
    if name.endswith(".png"):
        size = struct.unpack(">II", head[16:24])
    elif name.endswith(".bmp"):
        size = struct.unpack("<ii", head[18:26])
    else:
        size = ""
    print(name, *size)
PY
}
sizes "$work/native" >"$work/native-sizes.txt"
sizes "$work/windows" >"$work/windows-sizes.txt"
if ! diff "$work/native-sizes.txt" "$work/windows-sizes.txt" >"$work/differences.txt"; then
  echo "FAIL: names or sizes differ (< native, > Windows):" >&2
  head -40 "$work/differences.txt" >&2
  status=1
fi
# The kerning comes from the font's own tables, read from the file natively and from the system's
# copy of the font (GetFontData) under Windows: the same pairs.
if ! /usr/bin/python3 - "$work/native/bmp.json" "$work/windows/bmp.json" <<'PY'; then
import json, sys
native, windows = (json.load(open(name, encoding="utf-8")) for name in sys.argv[1:3])
if native["kerning"] != windows["kerning"] or not native["kerning"]["pairs"]:
    print("FAIL: the kerning differs: native", str(native["kerning"])[:300], "Windows",
          str(windows["kerning"])[:300], file=sys.stderr)
    sys.exit(1)
print(len(native["kerning"]["pairs"]), "kerning pairs alike")
PY
  status=1
fi
pictures=$(grep -c -v '\.json' "$work/native-sizes.txt" || true)
if [ "$pictures" -lt 300 ]; then
  echo "FAIL: only $pictures pictures were written natively" >&2
  status=1
fi

# Beyond the code page, with DejaVu Sans: Cyrillic, Old Italic (beyond U+FFFF: surrogate pairs under
# Windows) and a --text whose characters reach the Windows tool only as UTF-16 (one the font lacks);
# single glyphs, an atlas with its descriptor, and distance fields.
dejavu=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
unicode=(--no-settings --size 18 --codes 'U+0400-U+04FF,U+10300-U+1031E' --text 'AVATo Ωß€😀中')
both() {  # name, options...
  local name=$1
  shift
  mkdir -p "$work/native/$name" "$work/windows/$name"
  "$native_tool" --font "$dejavu" "${unicode[@]}" "$@" --output "$work/native/$name/u" >/dev/null
  "$wine_run" "$arch" "$windows_tool" --font "$(windows_path "$dejavu")" "${unicode[@]}" "$@" \
    --output "$(windows_path "$work/windows/$name/u")" >/dev/null
}
both single --form png-alpha
both atlas --atlas --descriptor text
both field --sdf 5 --padding 2
for name in single field; do
  sizes "$work/native/$name" >"$work/native-$name.txt"
  sizes "$work/windows/$name" >"$work/windows-$name.txt"
  if ! diff "$work/native-$name.txt" "$work/windows-$name.txt" >"$work/differences-$name.txt"; then
    echo "FAIL: $name: names or sizes differ (< native, > Windows):" >&2
    head -20 "$work/differences-$name.txt" >&2
    status=1
  fi
done
if ! /usr/bin/python3 - "$work" <<'PY'; then
import json, os, sys
from PIL import Image
work = sys.argv[1]
failed = []
def load(side, name):
    return json.load(open(os.path.join(work, side, name, "u.json"), encoding="utf-8"))
single = load("native", "single")
codes = [g["code"] for g in single["glyphs"]]
if not {0x10300, 0x416, 0x1F600} <= set(codes) or 0x4E2D not in single["skipped"]:
    failed.append(f"single: glyphs {codes[:5]}..., skipped {single['skipped']}")
for name in ("single", "field"):
    native, windows = load("native", name), load("windows", name)
    if native["skipped"] != windows["skipped"] or native["kerning"] != windows["kerning"]:
        failed.append(f"{name}: skipped or kerning differ")
# The atlas: the same characters with the same advances, the same kerning.
def descriptor(side):
    chars, kernings = {}, {}
    for line in open(os.path.join(work, side, "atlas", "u.fnt"), encoding="utf-8"):
        fields = dict(f.split("=", 1) for f in line.split()[1:] if "=" in f)
        if line.startswith("char "):
            chars[int(fields["id"])] = int(fields["xadvance"])
        elif line.startswith("kerning "):
            kernings[(int(fields["first"]), int(fields["second"]))] = int(fields["amount"])
    return chars, kernings
native_chars, native_kernings = descriptor("native")
windows_chars, windows_kernings = descriptor("windows")
if native_chars != windows_chars or native_kernings != windows_kernings or not native_kernings:
    wrong = {k: (v, windows_chars.get(k)) for k, v in native_chars.items() if windows_chars.get(k) != v}
    failed.append(f"atlas: advances differ {list(wrong.items())[:8]} or kerning "
                  f"({len(native_kernings)} and {len(windows_kernings)} pairs)")
# The distance fields agree within 1/32 of their range.
worst = (0, "")
for glyph in load("native", "field")["glyphs"]:
    a = Image.open(os.path.join(work, "native", "field", glyph["file"])).getchannel("A")
    b = Image.open(os.path.join(work, "windows", "field", glyph["file"])).getchannel("A")
    if a.size != b.size:
        continue
    difference = max(abs(x - y) for x, y in zip(a.getdata(), b.getdata()))
    worst = max(worst, (difference, glyph["file"]))
if worst[0] * 32 > 255:
    failed.append(f"field: the fields differ by {worst[0]} of 255 in {worst[1]}")
for f in failed:
    print("FAIL:", f, file=sys.stderr)
print(f"{len(codes)} characters beyond the code page alike; the fields within {worst[0]} of 255")
sys.exit(1 if failed else 0)
PY
  status=1
fi

# The exit codes under Windows: a face GDI maps to another one with --exact-font, a missing font file,
# a folder that does not exist, a wrong option.
expect_exit() {  # code, what, arguments...
  local expected=$1 what=$2 rc=0
  shift 2
  "$wine_run" "$arch" "$windows_tool" --no-settings --codes 65 "$@" >"$work/exit.out" 2>"$work/exit.err" || rc=$?
  if [ "$rc" -ne "$expected" ]; then
    echo "FAIL: $what: exit code $rc, expected $expected: $(tr -d '\r' <"$work/exit.err")" >&2
    status=1
  fi
}
expect_exit 5 "a replaced face with --exact-font" --font "Qzxv Unheard Of" --exact-font \
  --output "$(windows_path "$work/windows/exact")"
expect_exit 0 "a replaced face without --exact-font" --font "Qzxv Unheard Of" \
  --output "$(windows_path "$work/windows/replaced")"
expect_exit 3 "a missing font file" --font "$(windows_path "$work/none.ttf")" \
  --output "$(windows_path "$work/windows/none")"
expect_exit 4 "a missing folder" --font "$(windows_path "$font")" --output "$(windows_path "$work/missing/g")"
expect_exit 2 "an unknown option" --bogus --output "$(windows_path "$work/windows/bogus")"

[ "$status" -ne 0 ] || echo "the same $pictures pictures, names and sizes, natively and under Wine"
exit "$status"
