#!/usr/bin/python3
"""Pillow on the benchmark pictures: JPEG at quality 90, GIF after a 256-colour fast-octree quantisation,
PNG at Pillow's default settings, and the 256 glyph pictures as 256 GIF files in one process.

    pillow_peers.py PICTURES_DIR OUTPUT_DIR REPETITIONS

Prints one line per case: its key, the median wall time and the median processor time (this process)
in milliseconds. The last file of each case stays in OUTPUT_DIR (for its size). Loading the pictures is not timed, and every timed file is a new one."""

import statistics
import sys
import time
from pathlib import Path

from PIL import Image

GLYPH_WIDTH, GLYPH_HEIGHT, GLYPH_COUNT = 12, 14, 256


def medians_ms(action, files, repetitions):
    """Median wall and processor times of action; the files it writes are removed before each run."""
    action()  # warm-up
    wall, cpu = [], []
    for _ in range(repetitions):
        for file in files:
            file.unlink(missing_ok=True)
        cpu_start, wall_start = time.process_time(), time.perf_counter()
        action()
        wall.append((time.perf_counter() - wall_start) * 1e3)
        cpu.append((time.process_time() - cpu_start) * 1e3)
    return statistics.median(wall), statistics.median(cpu)


def main():
    pictures, output, repetitions = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
    output.mkdir(parents=True, exist_ok=True)
    screenshot = Image.open(pictures / "screenshot.ppm").convert("RGB")
    photo = Image.open(pictures / "photo.ppm").convert("RGB")
    strip = Image.open(pictures / "glyphs.ppm").convert("RGB")
    glyphs = [strip.crop((0, code * GLYPH_HEIGHT, GLYPH_WIDTH, (code + 1) * GLYPH_HEIGHT))
              for code in range(GLYPH_COUNT)]
    for glyph in glyphs:
        glyph.load()

    def gif(picture, file):
        picture.quantize(256, method=Image.Quantize.FASTOCTREE).save(file)

    glyph_files = [output / ("glyph%03d.gif" % code) for code in range(GLYPH_COUNT)]

    def glyph_set():
        for glyph, file in zip(glyphs, glyph_files):
            gif(glyph, file)

    jpeg_screenshot, jpeg_photo = output / "screenshot.jpg", output / "photo.jpg"
    gif_screenshot, gif_photo = output / "screenshot.gif", output / "photo.gif"
    png_screenshot, png_photo = output / "screenshot.png", output / "photo.png"
    cases = [
        ("pillow_jpeg_screenshot", lambda: screenshot.save(jpeg_screenshot, quality=90), [jpeg_screenshot]),
        ("pillow_jpeg_photo", lambda: photo.save(jpeg_photo, quality=90), [jpeg_photo]),
        ("pillow_gif_screenshot", lambda: gif(screenshot, gif_screenshot), [gif_screenshot]),
        ("pillow_gif_photo", lambda: gif(photo, gif_photo), [gif_photo]),
        ("pillow_png_screenshot", lambda: screenshot.save(png_screenshot, format="PNG"), [png_screenshot]),
        ("pillow_png_photo", lambda: photo.save(png_photo, format="PNG"), [png_photo]),
        ("pillow_gif_256_glyphs", glyph_set, glyph_files),
    ]
    for key, action, files in cases:
        print("%s %.3f %.3f" % ((key,) + medians_ms(action, files, repetitions)), flush=True)


if __name__ == "__main__":
    main()
