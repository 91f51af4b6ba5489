#!/usr/bin/python3
"""Builds Letrana's help (the target letrana_help, which takes the pictures under Wine) and reads each
compiled help file back with an independent reader, extract_chmLib: the file must hold every page,
the style sheet, the contents, the index and every picture of its language byte for byte as the
sources and the picture folder have them, and its contents (.hhc) must reach every page it holds.

    check_chm.py BUILD_DIR SOURCE_DIR CMAKE
"""

import filecmp
import html.parser
import os
import posixpath
import shutil
import subprocess
import sys
import urllib.parse

LANGUAGES = ("English", "Deutsch")


class Locals(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.values = []

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if tag == "param" and attributes.get("name", "").lower() == "local":
            self.values.append(attributes.get("value", ""))


def project_options(path):
    options, files, section = {}, [], None
    for line in open(path, "rb").read().decode("cp1252").splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line.strip("[]").upper()
        elif section == "OPTIONS" and "=" in line:
            key, value = line.split("=", 1)
            options[key.strip().lower()] = value.strip()
        elif section == "FILES" and line:
            files.append(line)
    return options, files


def check_language(build_dir, source_dir, language, failures):
    chm = os.path.join(build_dir, "help", f"Letrana_{language}.chm")
    if not os.path.isfile(chm):
        failures.append(f"{chm} was not made")
        return
    out = os.path.join(build_dir, "help", "chm-check", language)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    result = subprocess.run(["extract_chmLib", chm, out], capture_output=True, text=True)
    if result.returncode != 0 or not os.path.isdir(out):
        failures.append(f"extract_chmLib cannot read {chm}: {result.stdout}{result.stderr}")
        return
    extracted = set()
    for root, _, names in os.walk(out):
        for name in names:
            relative = os.path.relpath(os.path.join(root, name), out).replace(os.sep, "/")
            if not relative.startswith(("#", "$")) and relative != "_#_README_#_":
                extracted.add(relative)

    # What the help of this language is made of: its staged folder (its pages framed, without the
    # project file, which the compiler reads but does not store), the shared style sheet and the
    # pictures taken by the build.
    source = os.path.join(source_dir, "help", language)
    stage = os.path.join(build_dir, "help", "stage", language)
    expected = {}
    for name in os.listdir(source):
        if not name.lower().endswith(".hhp"):
            expected[name] = os.path.join(stage, name)
    expected["style.css"] = os.path.join(source_dir, "help", "style.css")
    pictures = os.path.join(build_dir, "help", "pictures", language)
    for name in os.listdir(pictures):
        if name.lower().endswith(".png"):
            expected["pictures/" + name] = os.path.join(pictures, name)
    if not any(n.startswith("pictures/") for n in expected):
        failures.append(f"{language}: no pictures in {pictures}")

    for name, path in sorted(expected.items()):
        if name not in extracted:
            failures.append(f"{language}: the help file lacks {name}")
        elif not filecmp.cmp(path, os.path.join(out, name), shallow=False):
            failures.append(f"{language}: {name} in the help file differs from {path}")
    for name in sorted(extracted - set(expected)):
        failures.append(f"{language}: the help file holds {name}, which its sources do not")

    # The pictures are real screenshots: PNG files of a window's size, not empty stand-ins.
    for name in (n for n in expected if n.startswith("pictures/")):
        with open(expected[name], "rb") as f:
            head = f.read(24)
        if head[:8] != b"\x89PNG\r\n\x1a\n":
            failures.append(f"{language}: {name} is not a PNG file")
            continue
        width, height = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
        if width < 300 or height < 200:
            failures.append(f"{language}: {name} is only {width} x {height} pixels")

    # The contents stored in the file reach every page stored in it.
    options, _ = project_options(os.path.join(source, f"Letrana_{language}.hhp"))
    contents = options.get("contents file", "")
    if contents not in extracted:
        failures.append(f"{language}: the help file lacks its contents {contents or '(none named)'}")
        return
    parser = Locals()
    parser.feed(open(os.path.join(out, contents), "rb").read().decode("cp1252"))
    reached = {posixpath.normpath(urllib.parse.urlsplit(v).path) for v in parser.values}
    pages = {n for n in extracted if n.lower().endswith((".html", ".htm"))}
    for page in sorted(pages - reached):
        failures.append(f"{language}: the contents do not reach {page}")
    for target in sorted(reached - extracted):
        failures.append(f"{language}: the contents name {target}, which the help file lacks")
    print(f"{language}: {len(expected)} files byte for byte, {len(pages)} pages, all in the contents")


def main(argv):
    if len(argv) != 4:
        print(f"usage: {argv[0]} BUILD_DIR SOURCE_DIR CMAKE", file=sys.stderr)
        return 2
    build_dir, source_dir, cmake = argv[1:]
    if shutil.which("extract_chmLib") is None:
        print("FAIL: extract_chmLib is missing (scripts/setup.sh installs libchm-bin)")
        return 1
    result = subprocess.run([cmake, "--build", build_dir, "--target", "letrana_help", "--parallel", "2"])
    if result.returncode != 0:
        print("FAIL: the target letrana_help did not build")
        return 1
    failures = []
    for language in LANGUAGES:
        check_language(build_dir, source_dir, language, failures)
    for text in failures:
        print(f"FAIL: {text}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
