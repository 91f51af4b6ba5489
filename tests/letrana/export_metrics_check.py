#!/usr/bin/python3
"""Checks letrana-export's metrics file against an independent reading of the same font file.

    export_metrics_check.py METRICS.json FONTFILE [--unicode]

The codes are bytes of the code page, or with --unicode code points.

Pillow (python3-pil) renders each exported character at the file's pixel size: its advance
(ImageFont.getlength) and the left edge of its drawn pixels (the bounding box of what ImageDraw draws
at a known pen position, Image.getbbox) are compared with the file's advance and left bearing;
fontTools (python3-fonttools) reads the line metrics from the font's own tables and the pictures'
sizes are read back with Pillow. Kerning pairs, where the file has them, are compared with the pair
adjustments fontTools reads from the font's GPOS 'kern' feature or its 'kern' table.

Tolerances: advances and bearings may differ by one pixel, because both renderers hint the outlines
(FreeType's hinting in both, but through different load flags and rounding); ascent and descent by one
pixel (rounding of the scaled font units); picture sizes, file names and kerning in font units must
agree exactly, and kerning in pixels must be the font units scaled and rounded.
Prints every difference and exits 1 when there is one, 0 otherwise.
"""

import json
import os
import sys

from fontTools.ttLib import TTFont
from PIL import Image, ImageDraw, ImageFont


def ansi_character(code):
    return bytes([code]).decode("cp1252", errors="replace") if code not in (0x81, 0x8D, 0x8F, 0x90, 0x9D) \
        else chr(code)


def gpos_kern_lookups(font):
    """The pair-adjustment subtables of each GPOS lookup of the 'kern' feature, lookups in order."""
    if "GPOS" not in font:
        return None
    table = font["GPOS"].table
    if table.FeatureList is None or table.LookupList is None:
        return None
    indices = set()
    for record in table.FeatureList.FeatureRecord:
        if record.FeatureTag == "kern":
            indices.update(record.Feature.LookupListIndex)
    if not indices:
        return None
    lookups = []
    for index in sorted(indices):
        lookup = table.LookupList.Lookup[index]
        subtables = []
        for subtable in lookup.SubTable:
            if lookup.LookupType == 9:
                if subtable.ExtensionLookupType != 2:
                    continue
                subtable = subtable.ExtSubTable
            elif lookup.LookupType != 2:
                continue
            subtables.append(subtable)
        lookups.append(subtables)
    return lookups


def gpos_adjustment(lookups, first, second):
    """The X advance adjustment of the first glyph: each lookup adds the value of its first subtable
    that applies to the pair (format 1: the pair is listed; format 2: the first glyph is covered)."""
    total = 0
    for subtables in lookups:
        for subtable in subtables:
            if first not in subtable.Coverage.glyphs:
                continue
            record = None
            if subtable.Format == 1:
                pair_set = subtable.PairSet[subtable.Coverage.glyphs.index(first)]
                record = next((r for r in pair_set.PairValueRecord if r.SecondGlyph == second), None)
                if record is None:
                    continue
            else:
                class1 = subtable.ClassDef1.classDefs.get(first, 0)
                class2 = subtable.ClassDef2.classDefs.get(second, 0)
                record = subtable.Class1Record[class1].Class2Record[class2]
            total += (getattr(record.Value1, "XAdvance", 0) or 0) if record.Value1 else 0
            break
    return total


def kern_table_pairs(font):
    pairs = {}
    if "kern" not in font:
        return pairs
    for subtable in font["kern"].kernTables:
        if getattr(subtable, "format", 0) == 0 and subtable.coverage & 1:
            for key, value in subtable.kernTable.items():
                pairs.setdefault(key, value)
    return pairs


def main():
    metrics_path, font_path = sys.argv[1], sys.argv[2]
    character_of = chr if "--unicode" in sys.argv[3:] else ansi_character
    with open(metrics_path, encoding="utf-8") as stream:
        metrics = json.load(stream)
    problems = []
    size = metrics["pixel_size"]
    pil_font = ImageFont.truetype(font_path, size, layout_engine=ImageFont.Layout.BASIC)
    tables = TTFont(font_path)
    units = tables["head"].unitsPerEm
    os2 = tables["OS/2"]
    ascent = round(os2.usWinAscent * size / units)
    descent = round(os2.usWinDescent * size / units)
    if abs(metrics["ascent"] - ascent) > 1 or abs(metrics["descent"] - descent) > 1:
        problems.append(f"line metrics {metrics['ascent']}/{metrics['descent']}, the font's {ascent}/{descent}")
    if metrics["line_height"] != metrics["ascent"] + metrics["descent"]:
        problems.append("line height is not ascent + descent")

    # Unsmoothed glyphs where asked for, or where the font's grid-fitting table wants them at this size
    # (as both platforms follow it): Pillow then hints and draws for one-bit output too.
    mono = not metrics["antialias"]
    if "gasp" in tables:
        ranges = sorted(tables["gasp"].gaspRange.items())
        flags = next((value for limit, value in ranges if size <= limit), ranges[-1][1] if ranges else 0x0F)
        mono = mono or (flags & 0x0002) == 0
    mode = "1" if mono else "L"

    folder = os.path.dirname(metrics_path)
    cmap = tables.getBestCmap()
    for glyph in metrics["glyphs"]:
        code, padding = glyph["code"], glyph["padding"]
        character = character_of(code)
        if glyph["character"] != character:
            problems.append(f"code {code}: character {glyph['character']!r}, expected {character!r}")
        with Image.open(os.path.join(folder, glyph["file"])) as picture:
            if picture.size != (glyph["width"], glyph["height"]):
                problems.append(f"code {code}: picture {picture.size}, metrics {glyph['width']}x{glyph['height']}")
        if glyph["width"] != glyph["advance"] + 2 * padding or glyph["height"] != metrics["line_height"] + 2 * padding:
            problems.append(f"code {code}: picture size is not advance/line height + 2 x padding")
        if ord(character) not in cmap:
            continue  # drawn with the font's missing-glyph shape, which the two renderers pick differently
        # Advances are those of the normally hinted glyph also where it is drawn unsmoothed, so that a
        # text measures the same however it is drawn.
        advance = pil_font.getlength(character)
        if abs(glyph["advance"] - advance) > 1:
            problems.append(f"code {code} {character!r}: advance {glyph['advance']}, Pillow {advance}")
        # The drawn pixels' left edge, from a pen position well inside a canvas.
        pen = 4 * size
        canvas = Image.new("L", (8 * size, 4 * size), 0)
        draw = ImageDraw.Draw(canvas)
        draw.fontmode = mode
        draw.text((pen, size), character, font=pil_font, fill=255)
        box = canvas.getbbox()
        bearing = 0 if box is None else box[0] - pen
        if abs(glyph["left_bearing"] - bearing) > 1:
            problems.append(f"code {code} {character!r}: left bearing {glyph['left_bearing']}, Pillow {bearing}")

    kerning = metrics.get("kerning")
    if kerning is not None:
        if kerning["units_per_em"] != units:
            problems.append(f"kerning units per em {kerning['units_per_em']}, the font's {units}")
        lookups = gpos_kern_lookups(tables)
        table_pairs = kern_table_pairs(tables) if lookups is None else {}
        names = {glyph["code"]: cmap.get(ord(character_of(glyph["code"]))) for glyph in metrics["glyphs"]}
        wanted = {}
        for left, left_name in names.items():
            for right, right_name in names.items():
                if not left_name or not right_name:
                    continue
                if lookups is not None:
                    value = gpos_adjustment(lookups, left_name, right_name)
                else:
                    value = table_pairs.get((left_name, right_name), 0)
                if value:
                    wanted[(left, right)] = value
        got = {}
        for pair in kerning["pairs"]:
            got[(pair["left"], pair["right"])] = pair["font_units"]
            scaled = pair["font_units"] * size / units
            rounded = int(scaled + 0.5) if scaled >= 0 else -int(-scaled + 0.5)
            if pair["pixels"] != rounded:
                problems.append(f"kerning {pair}: pixels should be {rounded}")
        if got != wanted:
            missing = {k: v for k, v in wanted.items() if got.get(k) != v}
            extra = {k: v for k, v in got.items() if wanted.get(k) != v}
            problems.append(f"kerning pairs differ: fontTools has {sorted(missing.items())[:10]} "
                            f"({len(missing)}), the file {sorted(extra.items())[:10]} ({len(extra)})")
        print(f"kerning: {len(got)} pairs checked")

    for problem in problems:
        print(problem)
    print(f"{len(metrics['glyphs'])} glyphs checked, {len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
