#!/usr/bin/python3
"""Pillow's way to the same glyph atlas as letrana-export --atlas: the characters drawn one by one with
ImageFont.truetype at a pixel size, each cut to the pixels it covers, packed onto pages with a skyline packer
(tallest first, each where its top lands lowest, then leftmost), and written as PNG pages (white, the
coverage in the alpha) with a bitmap-font descriptor in text form.

    pillow_atlas.py FONT_FILE PIXEL_SIZE CODES_FILE OUTPUT_BASE [PAGE_SIDE [SPACING]]

CODES_FILE: the characters as hexadecimal code points, one a line (the ones the font maps). Writes
OUTPUT_BASE_0.png, OUTPUT_BASE_1.png, ... and OUTPUT_BASE.fnt, and prints the number of pages. No
kerning is written: Pillow tells no kerning pairs."""

import os
import sys

from PIL import Image, ImageDraw, ImageFont


class SkylinePage:
    """One page's skyline: segments (x, y, width) left to right, y the lowest free row above them."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.segments = [(0, 0, width)]

    def place(self, width, height):
        """The lowest-topped, then leftmost, place for a width x height rectangle, or None."""
        best = None
        segments = self.segments
        for i, (x, _, _) in enumerate(segments):
            if x + width > self.width:
                break
            top, reach, j = 0, x + width, i
            while segments[j][0] < reach:
                top = max(top, segments[j][1])
                j += 1
                if j == len(segments):
                    break
            if top + height <= self.height and (best is None or top < best[1]):
                best = (x, top)
        if best is not None:
            self._raise(best[0], best[1] + height, width)
        return best

    def _raise(self, x, y, width):
        """Lifts the skyline to y over [x, x + width)."""
        right = x + width
        kept = []
        for sx, sy, sw in self.segments:
            if sx + sw <= x or sx >= right:
                kept.append((sx, sy, sw))
                continue
            if sx < x:
                kept.append((sx, sy, x - sx))
            if sx + sw > right:
                kept.append((right, sy, sx + sw - right))
        kept.append((x, y, width))
        kept.sort()
        merged = [kept[0]]
        for segment in kept[1:]:
            last = merged[-1]
            if last[1] == segment[1] and last[0] + last[2] == segment[0]:
                merged[-1] = (last[0], last[1], last[2] + segment[2])
            else:
                merged.append(segment)
        self.segments = merged


def main():
    font_file, pixels, codes_file, base = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    side = int(sys.argv[5]) if len(sys.argv) > 5 else 512
    spacing = int(sys.argv[6]) if len(sys.argv) > 6 else 1
    with open(codes_file) as codes:
        characters = [chr(int(line, 16)) for line in codes if line.strip()]

    font = ImageFont.truetype(font_file, pixels, layout_engine=ImageFont.Layout.BASIC)
    ascent, descent = font.getmetrics()
    # Each character drawn on a canvas of its layout box and cut to the pixels it covers.
    glyphs = []  # [character, picture, xoffset, yoffset, width, height, advance, page, x, y]
    for character in characters:
        advance = round(font.getlength(character))
        left, top, right, bottom = font.getbbox(character)
        picture, width, height = None, 0, 0
        if right > left and bottom > top:
            canvas = Image.new("L", (right - left, bottom - top), 0)
            ImageDraw.Draw(canvas).text((-left, -top), character, font=font, fill=255)
            ink = canvas.getbbox()
            if ink:
                picture = canvas.crop(ink)
                left, top = left + ink[0], top + ink[1]
                width, height = picture.size
        glyphs.append([character, picture, left, top, width, height, advance, 0, 0, 0])

    # The spacing lies between rectangles only: each rectangle and the page take it on once more.
    pages = []
    for glyph in sorted((g for g in glyphs if g[1] is not None), key=lambda g: (-g[5], -g[4])):
        for number, page in enumerate(pages):
            place = page.place(glyph[4] + spacing, glyph[5] + spacing)
            if place is not None:
                break
        else:
            page = SkylinePage(side + spacing, side + spacing)
            pages.append(page)
            number, place = len(pages) - 1, page.place(glyph[4] + spacing, glyph[5] + spacing)
            if place is None:
                raise SystemExit(f"U+{ord(glyph[0]):04X} does not fit a {side}x{side} page")
        glyph[7:10] = number, place[0], place[1]

    coverage = [Image.new("L", (side, side), 0) for _ in pages]
    for _, picture, _, _, _, _, _, number, x, y in glyphs:
        if picture is not None:
            coverage[number].paste(picture, (x, y))
    name = os.path.basename(base)
    white = Image.new("L", (side, side), 255)
    for number, alpha in enumerate(coverage):
        Image.merge("RGBA", (white, white, white, alpha)).save(f"{base}_{number}.png")

    family = font.getname()[0]
    lines = [
        f'info face="{family}" size={pixels} bold=0 italic=0 charset="" unicode=1 stretchH=100 smooth=1 '
        f"aa=1 padding=0,0,0,0 spacing={spacing},{spacing} outline=0",
        f"common lineHeight={ascent + descent} base={ascent} scaleW={side} scaleH={side} pages={len(pages)} "
        "packed=0 alphaChnl=0 redChnl=4 greenChnl=4 blueChnl=4",
    ]
    lines += [f'page id={number} file="{name}_{number}.png"' for number in range(len(pages))]
    lines.append(f"chars count={len(glyphs)}")
    for character, _, left, top, width, height, advance, number, x, y in sorted(glyphs, key=lambda g: ord(g[0])):
        lines.append(f"char id={ord(character)} x={x} y={y} width={width} height={height} xoffset={left} "
                     f"yoffset={top} xadvance={advance} page={number} chnl=15")
    with open(base + ".fnt", "w", encoding="utf-8") as descriptor:
        descriptor.write("\n".join(lines) + "\n")
    print(len(pages))


if __name__ == "__main__":
    main()
