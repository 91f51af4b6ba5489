#!/usr/bin/python3
"""Decodes PNG files with Pillow for the PNG writer's test: for each FILE given, writes FILE.pixels
holding a line "MODE WIDTH HEIGHT" and then the decoded pixels, rows top first, as Pillow gives them."""
import sys

from PIL import Image

for name in sys.argv[1:]:
    with Image.open(name) as image:
        if image.format != "PNG":
            sys.exit(f"{name}: not read as PNG but as {image.format}")
        image.load()
        data = image.tobytes()
        with open(name + ".pixels", "wb") as out:
            out.write(f"{image.mode} {image.width} {image.height}\n".encode())
            out.write(data)
