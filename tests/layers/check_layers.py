#!/usr/bin/python3
"""Checks the layering of the code: each folder includes only headers of the folders below it (and its
own), only platform/win32/ includes <windows.h>, only platform/qt/ includes Qt, and no folder of the portable core asks the compiler
which system it is built for. Prints every include that breaks a rule and exits with 1 when one does.

    check_layers.py SOURCE_DIR

The layers, lowest first (README.md, "The layers"):
    platform/os, imaging, platform/text, common, glyphs, platform/ui, shell, letrana | snapora
The system backends (platform/win32, platform/qt, platform/x11, platform/wayland, platform/posix, platform/freetype, and the test doubles of
tests/doubles) implement the platform's families and may include those and what lies below them;
tests/, bench/ and tools/ may include anything.
"""

import os
import re
import sys

LAYERS = ["platform/os", "imaging", "platform/text", "common", "glyphs", "platform/ui", "shell",
          ("letrana", "snapora")]
BACKENDS = ["platform/win32", "platform/qt", "platform/x11", "platform/wayland", "platform/posix", "platform/freetype", "tests/doubles"]
FREE = ["tests", "bench", "tools"]
# Folders whose code must build unchanged for every system.
PORTABLE = ["platform/os", "imaging", "platform/text", "common", "glyphs", "platform/ui", "shell", "letrana",
            "snapora"]
SOURCES = (".h", ".hpp", ".cpp", ".cc")


def folder_of(path):
    """The layer or backend folder a file lies in, by the longest match."""
    for folder in sorted(BACKENDS + FREE + [f for layer in LAYERS for f in (layer if isinstance(layer, tuple) else (layer,))],
                         key=len, reverse=True):
        if path == folder or path.startswith(folder + "/"):
            return folder
    return None


def rank(folder):
    for index, layer in enumerate(LAYERS):
        if folder == layer or (isinstance(layer, tuple) and folder in layer):
            return index
    return None


def allowed(source, target):
    if source == target or source in FREE:
        return True
    if source in BACKENDS:
        return target is not None and target.startswith("platform/") or target == "imaging"
    if target is None or target in BACKENDS or target in FREE:
        return False
    return rank(target) < rank(source)


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: check_layers.py SOURCE_DIR")
    root = argv[1]
    faults = []
    files = 0
    for top in set(f.split("/")[0] for f in PORTABLE + BACKENDS):
        for base, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if not name.endswith(SOURCES):
                    continue
                path = os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/")
                source = folder_of(path)
                if source is None or source in FREE:
                    continue
                files += 1
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        quoted = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                        system = re.match(r"\s*#\s*include\s+<([^>]+)>", line)
                        if quoted:
                            target = folder_of(quoted.group(1))
                            if not allowed(source, target):
                                faults.append(f"{path}:{number}: {source} includes {quoted.group(1)}")
                        elif system and system.group(1).lower() == "windows.h" and source != "platform/win32":
                            faults.append(f"{path}:{number}: only platform/win32 includes <windows.h>")
                        elif system and re.match(r"Q[A-Za-z]*(/|$)", system.group(1)) and source != "platform/qt":
                            faults.append(f"{path}:{number}: only platform/qt includes Qt")
                        elif source in PORTABLE and re.match(r"\s*#\s*if(def|ndef)?\b.*\b_WIN32\b", line):
                            faults.append(f"{path}:{number}: the portable {source} asks which system it is built for")
    for fault in faults:
        print(f"layer check: {fault}")
    print(f"layer check: {files} files, {len(faults)} faults")
    return 1 if faults or files == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
