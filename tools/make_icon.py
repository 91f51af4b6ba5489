#!/usr/bin/env python3
"""Draws the programs' icons and writes them as .ico files: Letrana's (a blue rounded tile with a white
capital letter on an orange baseline bar) and Snapora's (a dark slate rounded tile with four light crop
corners framing a viewfinder, and a small red capture dot in its middle). Each icon holds three
images: 48 x 48 and 16 x 16 in 256 colours, 32 x 32 in true colour with an alpha channel. For the Linux
desktop it writes the same drawing as PNG files (true colour with alpha) at 16, 32, 48, 64, 128 and 256
pixels, laid out as the icon theme's folders (<size>x<size>/apps/<name>.png). Only the Python standard
library is used; the output is the same on every run.

    python3 tools/make_icon.py letrana|snapora [output.ico]
      (default: letrana/res/Letrana.ico, snapora/res/Snapora.ico)
    python3 tools/make_icon.py letrana|snapora --png THEME_FOLDER ICON_NAME
"""

import os
import struct
import sys
import zlib

SAMPLES = 8  # supersamples per pixel along each axis


def inside_tile(x, y):
    left, top, right, bottom, radius = 0.03, 0.03, 0.97, 0.97, 0.2
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def tile_sample(x, y, marks, top, bottom):
    """The colour and opacity (0 or 1) at a point of the unit square: outside the tile nothing; on the
    first mark (an inside test and its colour) that holds the point, its colour; else the tile's
    gradient from its top colour to its bottom colour."""
    if not inside_tile(x, y):
        return (0, 0, 0), 0.0
    for inside, colour in marks:
        if inside(x, y):
            return colour, 1.0
    mix = y
    return tuple(round(a + (b - a) * mix) for a, b in zip(top, bottom)), 1.0


# ---- Letrana ----------------------------------------------------------------------------------------

LETRANA_TILE_TOP = (0x3A, 0x6F, 0xC4)
LETRANA_TILE_BOTTOM = (0x1B, 0x3F, 0x86)
LETRANA_LETTER = (0xFF, 0xFF, 0xFF)
LETRANA_BAR = (0xF5, 0x9A, 0x23)

# The letter as one even-odd polygon set, in units of the icon's side: the outline and its counter.
LETRANA_LETTER_OUTLINE = [(0.20, 0.76), (0.42, 0.14), (0.58, 0.14), (0.80, 0.76), (0.65, 0.76), (0.605, 0.62),
                  (0.395, 0.62), (0.35, 0.76)]
LETRANA_LETTER_COUNTER = [(0.435, 0.50), (0.565, 0.50), (0.50, 0.30)]
LETRANA_BAR_BOX = (0.18, 0.80, 0.82, 0.88)  # left, top, right, bottom


def inside_polygon(x, y, polygon):
    inside = False
    count = len(polygon)
    for i in range(count):
        x1, y1 = polygon[i]
        x2, y2 = polygon[(i + 1) % count]
        if (y1 > y) != (y2 > y):
            cross = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < cross:
                inside = not inside
    return inside


def inside_letter(x, y):
    return inside_polygon(x, y, LETRANA_LETTER_OUTLINE) != inside_polygon(x, y, LETRANA_LETTER_COUNTER)


def inside_bar(x, y):
    left, top, right, bottom = LETRANA_BAR_BOX
    return left <= x <= right and top <= y <= bottom


def letrana_sample(x, y):
    return tile_sample(x, y, [(inside_letter, LETRANA_LETTER), (inside_bar, LETRANA_BAR)], LETRANA_TILE_TOP,
                       LETRANA_TILE_BOTTOM)


# ---- Snapora ----------------------------------------------------------------------------------------

SNAPORA_TILE_TOP = (0x4A, 0x55, 0x68)
SNAPORA_TILE_BOTTOM = (0x1F, 0x25, 0x30)
SNAPORA_CORNERS = (0xF2, 0xF5, 0xF8)
SNAPORA_DOT = (0xE8, 0x4A, 0x3C)

# The viewfinder, in units of the icon's side. Its measures are whole sixteenths, so that at 16 x 16
# (and at 32 and 48) the corner arms cover whole pixels and stay sharp.
SNAPORA_FRAME_BOX = (2 / 16, 2 / 16, 14 / 16, 14 / 16)  # left, top, right, bottom of the corners' outer edges
SNAPORA_CORNER_ARM = 4 / 16  # length of each arm of a corner, from the frame's outer edge
SNAPORA_CORNER_THICKNESS = 2 / 16
SNAPORA_DOT_CENTRE = (0.5, 0.5)
SNAPORA_DOT_RADIUS = 2 / 16


def inside_corners(x, y):
    """On one of the four L-shaped crop corners: within an arm's length of a corner of the frame and
    within the line thickness of one of the frame's edges."""
    left, top, right, bottom = SNAPORA_FRAME_BOX
    if not (left <= x < right and top <= y < bottom):
        return False
    near_left, near_right = x < left + SNAPORA_CORNER_ARM, x >= right - SNAPORA_CORNER_ARM
    near_top, near_bottom = y < top + SNAPORA_CORNER_ARM, y >= bottom - SNAPORA_CORNER_ARM
    if not ((near_left or near_right) and (near_top or near_bottom)):
        return False
    on_vertical = x < left + SNAPORA_CORNER_THICKNESS or x >= right - SNAPORA_CORNER_THICKNESS
    on_horizontal = y < top + SNAPORA_CORNER_THICKNESS or y >= bottom - SNAPORA_CORNER_THICKNESS
    return on_vertical or on_horizontal


def inside_dot(x, y):
    cx, cy = SNAPORA_DOT_CENTRE
    return (x - cx) ** 2 + (y - cy) ** 2 <= SNAPORA_DOT_RADIUS ** 2


def snapora_sample(x, y):
    return tile_sample(x, y, [(inside_corners, SNAPORA_CORNERS), (inside_dot, SNAPORA_DOT)], SNAPORA_TILE_TOP,
                       SNAPORA_TILE_BOTTOM)


# ---- Drawing and the icon file ------------------------------------------------------------------------

def render(size, sample):
    """Rows of (r, g, b, a) pixels, top row first, each averaged over SAMPLES x SAMPLES points (fewer
    for the large sizes, whose pixels are small against the drawing's edges)."""
    samples = max(2, min(SAMPLES, 512 // size))
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            red = green = blue = alpha = 0.0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour, opacity = sample(x, y)
                    red += colour[0] * opacity
                    green += colour[1] * opacity
                    blue += colour[2] * opacity
                    alpha += opacity
            n = samples * samples
            if alpha > 0:
                pixel = (round(red / alpha), round(green / alpha), round(blue / alpha), round(255 * alpha / n))
            else:
                pixel = (0, 0, 0, 0)
            row.append(pixel)
        rows.append(row)
    return rows


def palette_of(rows):
    """Up to 256 colours for the opaque pixels: the most frequent 5-bit buckets, averaged."""
    buckets = {}
    for row in rows:
        for r, g, b, a in row:
            if a < 128:
                continue
            key = (r >> 3, g >> 3, b >> 3)
            total = buckets.setdefault(key, [0, 0, 0, 0])
            total[0] += r
            total[1] += g
            total[2] += b
            total[3] += 1
    ranked = sorted(buckets.items(), key=lambda item: (-item[1][3], item[0]))[:255]
    colours = [(0, 0, 0)]  # index 0: what transparent pixels hold
    for _, (r, g, b, n) in ranked:
        colours.append((round(r / n), round(g / n), round(b / n)))
    while len(colours) < 256:
        colours.append((0, 0, 0))
    return colours


def nearest(colours, pixel):
    r, g, b = pixel[:3]
    best, best_distance = 1, None
    for index in range(1, len(colours)):
        cr, cg, cb = colours[index]
        distance = (cr - r) ** 2 + (cg - g) ** 2 + (cb - b) ** 2
        if best_distance is None or distance < best_distance:
            best, best_distance = index, distance
    return best


def and_mask(rows, size):
    """The 1-bit mask, bottom row first, rows padded to 4 bytes: 1 where the pixel is transparent."""
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def info_header(size, bits, image_size, colours_used):
    # The height counts the colour bitmap and the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, image_size, 0, 0, colours_used, 0)


def image_8bit(size, sample):
    rows = render(size, sample)
    colours = palette_of(rows)
    stride = (size + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            line[x] = 0 if pixel[3] < 128 else nearest(colours, pixel)
        pixels += line
    mask = and_mask(rows, size)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    return info_header(size, 8, len(pixels) + len(mask), 256) + palette + bytes(pixels) + mask


def image_32bit(size, sample):
    rows = render(size, sample)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += struct.pack("<BBBB", b, g, r, a)
    mask = and_mask(rows, size)
    return info_header(size, 32, len(pixels) + len(mask), 0) + bytes(pixels) + mask


def icon_file(images):
    """images: (size, bits, data) in directory order."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    body = b""
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
        body += data
    return header + directory + body


PNG_SIZES = (16, 32, 48, 64, 128, 256)


def png_file(size, sample):
    """A PNG of the drawing: 8-bit RGBA, no interlace, each row without a filter."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in render(size, sample))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def write_pngs(sample, theme_folder, name):
    for size in PNG_SIZES:
        folder = os.path.join(theme_folder, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as out:
            out.write(png_file(size, sample))


PROGRAMS = {
    "letrana": (letrana_sample, os.path.join("letrana", "res", "Letrana.ico")),
    "snapora": (snapora_sample, os.path.join("snapora", "res", "Snapora.ico")),
}


def main():
    if len(sys.argv) == 5 and sys.argv[2] == "--png" and sys.argv[1] in PROGRAMS:
        write_pngs(PROGRAMS[sys.argv[1]][0], sys.argv[3], sys.argv[4])
        return
    if len(sys.argv) not in (2, 3) or sys.argv[1] not in PROGRAMS:
        sys.exit("usage: make_icon.py letrana|snapora [output.ico]\n"
                 "       make_icon.py letrana|snapora --png THEME_FOLDER ICON_NAME")
    sample, default = PROGRAMS[sys.argv[1]]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[2] if len(sys.argv) == 3 else os.path.join(root, default)
    images = [(48, 8, image_8bit(48, sample)), (32, 32, image_32bit(32, sample)), (16, 8, image_8bit(16, sample))]
    with open(target, "wb") as out:
        out.write(icon_file(images))


if __name__ == "__main__":
    main()
