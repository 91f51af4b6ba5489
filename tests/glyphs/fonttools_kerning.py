#!/usr/bin/python3
"""Prints the kerning pairs that fontTools finds in a font among the given characters, as an
independent reading to compare the font-table kerning reader with.

usage: fonttools_kerning.py FONT FACE CODES
  FONT   a TrueType/OpenType file or a collection; FACE the face of a collection (0 for a single font)
  CODES  the characters as decimal code points separated by commas

Output: "upem N", then one line "LEFT RIGHT ADJUSTMENT" a pair (decimal code points, font units),
sorted, non-zero only. The 'kern' feature of GPOS is used where the font has one (the lookups of
script latn's default language system, else DFLT's, else of every 'kern' feature; pair adjustment
lookups, also behind extensions; a lookup's first subtable that applies to a pair wins, lookups add),
else the horizontal format 0 subtables of the 'kern' table (values add; the override bit replaces).
"""

import sys

from fontTools.ttLib import TTFont


def glyph_of_characters(font, codes):
    cmap = font["cmap"]
    best = font.getBestCmap() or {}
    symbol = None
    if not best:
        table = cmap.getcmap(3, 0)
        symbol = table.cmap if table is not None else {}
    glyphs = {}
    for code in codes:
        if symbol is None:
            name = best.get(code)
        else:
            name = symbol.get(code)
            if name is None and code < 0x100:
                name = symbol.get(0xF000 + code)
        if name is not None and name != ".notdef":
            glyphs[code] = name
    return glyphs


def kern_lookup_indices(gpos):
    features = gpos.FeatureList.FeatureRecord if gpos.FeatureList else []
    if not any(record.FeatureTag == "kern" for record in features):
        return None
    if gpos.ScriptList:
        for tag in ("latn", "DFLT"):
            scripts = [r for r in gpos.ScriptList.ScriptRecord if r.ScriptTag == tag]
            if not scripts:
                continue
            lang_sys = scripts[0].Script.DefaultLangSys
            if lang_sys is None:
                continue
            indices = list(lang_sys.FeatureIndex)
            if lang_sys.ReqFeatureIndex != 0xFFFF:
                indices.append(lang_sys.ReqFeatureIndex)
            kern = [features[i] for i in indices if i < len(features) and features[i].FeatureTag == "kern"]
            if kern:
                return sorted({i for r in kern for i in r.Feature.LookupListIndex})
    return sorted({i for r in features if r.FeatureTag == "kern" for i in r.Feature.LookupListIndex})


def x_advance(value):
    return getattr(value, "XAdvance", 0) or 0 if value is not None else 0


def gpos_pairs(gpos, names):
    lookups = kern_lookup_indices(gpos)
    if lookups is None:
        return None
    total = {}
    for index in lookups:
        if index >= len(gpos.LookupList.Lookup):
            continue
        lookup = gpos.LookupList.Lookup[index]
        subtables = lookup.SubTable
        if lookup.LookupType == 9:
            subtables = [s.ExtSubTable for s in subtables if s.ExtensionLookupType == 2]
        elif lookup.LookupType != 2:
            continue
        taken = set()
        for sub in subtables:
            coverage = sub.Coverage.glyphs
            if sub.Format == 1:
                for i, first in enumerate(coverage):
                    if first not in names or i >= len(sub.PairSet):
                        continue
                    seen = set()
                    for record in sub.PairSet[i].PairValueRecord:
                        second = record.SecondGlyph
                        if second not in names or second in seen:
                            continue
                        seen.add(second)
                        if (first, second) in taken:
                            continue
                        taken.add((first, second))
                        total[(first, second)] = total.get((first, second), 0) + x_advance(record.Value1)
            elif sub.Format == 2:
                classes1 = sub.ClassDef1.classDefs if sub.ClassDef1 else {}
                classes2 = sub.ClassDef2.classDefs if sub.ClassDef2 else {}
                covered = set(coverage)
                for first in names:
                    if first not in covered:
                        continue
                    class1 = classes1.get(first, 0)
                    if class1 >= sub.Class1Count:
                        continue
                    for second in names:
                        class2 = classes2.get(second, 0)
                        if class2 >= sub.Class2Count or (first, second) in taken:
                            continue
                        taken.add((first, second))
                        value = x_advance(sub.Class1Record[class1].Class2Record[class2].Value1)
                        total[(first, second)] = total.get((first, second), 0) + value
    return total


def kern_table_pairs(kern, names):
    total = {}
    for sub in kern.kernTables:
        if getattr(sub, "format", None) != 0:
            continue
        coverage = sub.coverage
        if getattr(sub, "apple", False) or kern.version == 1.0:
            if coverage & 0xE0:  # vertical, cross-stream, variation (the high byte of the coverage)
                continue
            override = False
        else:
            if not coverage & 1 or coverage & 0x6:
                continue
            override = bool(coverage & 0x8)
        for (first, second), value in sub.kernTable.items():
            if first in names and second in names:
                total[(first, second)] = value if override else total.get((first, second), 0) + value
    return total


def main():
    path, face, codes = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    font = TTFont(path, fontNumber=face) if face or open(path, "rb").read(4) == b"ttcf" else TTFont(path)
    codes = sorted({int(c) for c in codes.split(",") if c})
    glyphs = glyph_of_characters(font, codes)
    names = set(glyphs.values())
    pairs = gpos_pairs(font["GPOS"].table, names) if "GPOS" in font else None
    if pairs is None:
        pairs = kern_table_pairs(font["kern"], names) if "kern" in font else {}
    print("upem", font["head"].unitsPerEm)
    for left in codes:
        for right in codes:
            if left in glyphs and right in glyphs:
                value = pairs.get((glyphs[left], glyphs[right]), 0)
                if value:
                    print(left, right, value)


if __name__ == "__main__":
    main()
