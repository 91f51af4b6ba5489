#!/usr/bin/python3
"""letrana-export's atlases as the programs that consume them read them.

    bmfont_consumers_test.py LETRANA_EXPORT FONT_FILE WORK_FOLDER

Writes one atlas (32 points, Basic Latin and Cyrillic, on one page: the XML reader of load-bmfont takes
only a descriptor's first page) with its descriptor in each form (text, XML, binary), reads them with the npm packages engines and web renderers load the format with (load-bmfont,
layout-bmfont-text; scripts/setup.sh installs them in tests/glyphs/consumers), and checks:
  - the three forms parse to the same font, which holds every character the metrics file lists with
    its advance, and the kerning fontTools reads from the font (GPOS first, then 'kern') at the pixel
    size;
  - a line laid out from the font by layout-bmfont-text and composited from the page pictures matches
    FreeType's own drawing of the line (Pillow): every glyph's origin where FreeType's hinted advances
    and the font's kerning put it (within a pixel), and the pixels alike.
"""

import json
import os
import subprocess
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
LINE = "AVA Привет, WAVE"
FAILURES = []


def check(ok, what):
    print(("  ok: " if ok else "  FAIL: ") + what)
    if not ok:
        FAILURES.append(what)


def main(argv):
    tool, font_file, work = argv[1:4]
    os.makedirs(work, exist_ok=True)
    bases = {}
    for form in ("text", "xml", "binary"):
        base = os.path.join(work, form)
        result = subprocess.run([tool, "--font", font_file, "--size", "32", "--codes", "U+0020-U+007E,U+0400-U+04FF",
                                 "--atlas", "--page-size", "1024x1024", "--descriptor", form, "--no-settings",
                                 "--output", base],
                                capture_output=True, text=True)
        check(result.returncode == 0, f"letrana-export --descriptor {form} (exit {result.returncode}) {result.stderr.strip()}")
        bases[form] = base
    read = subprocess.run(["node", os.path.join(HERE, "consumers", "read_bmfont.js"), LINE] +
                          [bases[f] + ".fnt" for f in ("text", "xml", "binary")], capture_output=True, text=True)
    check(read.returncode == 0, f"load-bmfont reads all three forms {read.stderr.strip()}")
    if read.returncode != 0:
        return 1
    found = json.loads(read.stdout)
    text, xml, binary = found["fonts"]

    def essence(font):
        return (sorted(tuple(sorted(c.items())) for c in font["chars"]),
                sorted(tuple(sorted(k.items())) for k in font.get("kernings", [])),
                {k: font["common"][k] for k in ("lineHeight", "base", "scaleW", "scaleH", "pages")},
                len(font["pages"]), {k: font["info"][k] for k in ("face", "size", "smooth", "unicode", "bold", "italic")})
    check(essence(text) == essence(xml), "the XML form parses to the text form's font")
    check(essence(text) == essence(binary), "the binary form parses to the text form's font")

    metrics = json.load(open(bases["text"] + ".json", encoding="utf-8"))
    chars = {c["id"]: c for c in text["chars"]}
    wrong = [g["character"] for g in metrics["glyphs"]
             if g["code"] not in chars or chars[g["code"]]["xadvance"] != g["advance"]]
    check(not wrong and len(metrics["glyphs"]) > 300,
          f"every one of {len(metrics['glyphs'])} characters with its advance (wrong: {wrong[:5]})")

    # The kerning fontTools reads among the characters, at the pixel size.
    size = metrics["pixel_size"]
    codes = sorted(chars)
    kerning_output = subprocess.run([sys.executable, os.path.join(HERE, "fonttools_kerning.py"), font_file, "0",
                                     ",".join(map(str, codes))], capture_output=True, text=True, check=True).stdout
    lines = kerning_output.split("\n")
    upem = int(lines[0].split()[1])

    def pixels(units):  # rounded half away from zero, as the tool rounds
        value = abs(units) * size * 2 + upem
        return (1 if units >= 0 else -1) * (value // (2 * upem))
    expected = {(int(a), int(b)): pixels(int(v)) for a, b, v in (l.split() for l in lines[1:] if l)}
    expected = {pair: amount for pair, amount in expected.items() if amount != 0}
    kernings = {(k["first"], k["second"]): k["amount"] for k in text.get("kernings", [])}
    check(kernings == expected and expected, f"{len(kernings)} kerning pairs as fontTools reads them ({len(expected)})")

    # The line: origins and pixels against FreeType's drawing with its hinted advances and the kerning.
    face = ImageFont.truetype(font_file, size, layout_engine=ImageFont.Layout.BASIC)
    origins, pen, previous = [], 0, None
    for character in LINE:
        code = ord(character)
        if previous is not None:
            pen += expected.get((previous, code), 0)
        origins.append(pen)
        pen += round(face.getlength(character))
        previous = code
    laid = [g["x"] for g in found["layout"]]
    check(len(laid) == len(LINE) and all(abs(a - b) <= 1 for a, b in zip(laid, origins)),
          f"glyph origins of layout-bmfont-text {laid} within a pixel of FreeType's {origins}")

    height = text["common"]["lineHeight"]
    width = pen + size
    pages = [Image.open(os.path.join(work, name)).convert("RGBA") for name in text["pages"]]
    composite = Image.new("L", (width, height), 0)
    for glyph in found["layout"]:
        c = chars[glyph["id"]]
        if c["width"] == 0:
            continue
        piece = pages[c["page"]].crop((c["x"], c["y"], c["x"] + c["width"], c["y"] + c["height"])).getchannel("A")
        composite.paste(ImageChops.lighter(composite.crop((glyph["x"] + c["xoffset"], c["yoffset"],
                                                           glyph["x"] + c["xoffset"] + c["width"], c["yoffset"] + c["height"])), piece),
                        (glyph["x"] + c["xoffset"], c["yoffset"]))
    reference = Image.new("L", (width, height), 0)
    ascent = text["common"]["base"]
    for character, x in zip(LINE, origins):
        drawn = Image.new("L", (width, height), 0)
        ImageDraw.Draw(drawn).text((x, ascent), character, fill=255, font=face, anchor="ls")
        reference = ImageChops.lighter(reference, drawn)
    composite.save(os.path.join(work, "line-atlas.png"))
    reference.save(os.path.join(work, "line-freetype.png"))
    difference = ImageChops.difference(composite, reference)
    histogram = difference.histogram()
    mean = sum(i * n for i, n in enumerate(histogram)) / (width * height)
    check(mean < 4.0, f"the composited line's pixels like FreeType's (mean difference {mean:.2f} of 255)")
    check(composite.getbbox() is not None and reference.getbbox() is not None and
          all(abs(a - b) <= 1 for a, b in zip(composite.getbbox(), reference.getbbox())),
          f"the line's inked box {composite.getbbox()} where FreeType's is {reference.getbbox()}")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
