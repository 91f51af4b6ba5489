#!/usr/bin/python3
"""Checks one language's help folder before it is compiled, and fails with every problem it finds.

    check_links.py FOLDER PROJECT.hhp

FOLDER holds the pages, the style sheet, the pictures, the contents (.hhc) and the index (.hhk) that
the project file names. A problem is:
  - a link (href) or picture (src) of a page, the contents or the index to a file that is not in the
    folder, or to an anchor (#name) that the target page does not define;
  - a page that the contents do not reach;
  - a page, or a file the project lists, that the project's [FILES] section lacks, or an entry of
    [FILES] that does not exist;
  - a byte outside ASCII in a page: the pages write every other character as an entity, so that they
    show the same whatever code page the help viewer assumes.
Links with a scheme (http:, mailto: ...) leave the help and are not followed.
"""

import html.parser
import os
import posixpath
import re
import sys
import urllib.parse


class PageParser(html.parser.HTMLParser):
    """Collects the anchors a page defines and the links it makes, with their line numbers."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.anchors = set()
        self.links = []  # (line, attribute, value)
        self.locals = []  # (line, value) of each sitemap object's Local parameter

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        for key in ("id", "name"):
            if tag != "param" and attributes.get(key):
                self.anchors.add(attributes[key])
        if tag in ("a", "link", "area") and attributes.get("href") is not None:
            self.links.append((self.getpos()[0], "href", attributes["href"]))
        if tag in ("img", "script", "frame", "iframe") and attributes.get("src") is not None:
            self.links.append((self.getpos()[0], "src", attributes["src"]))
        if tag == "param" and attributes.get("name", "").lower() == "local":
            self.locals.append((self.getpos()[0], attributes.get("value", "")))

    handle_startendtag = handle_starttag


def parse(path, encoding):
    parser = PageParser()
    with open(path, "rb") as f:
        parser.feed(f.read().decode(encoding))
    parser.close()
    return parser


def read_project(path):
    """The options and the [FILES] entries of a project file (read as Windows-1252, as the compiler does)."""
    options, files, section = {}, [], None
    with open(path, "rb") as f:
        for line in f.read().decode("cp1252").splitlines():
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
            elif section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                options[key.strip().lower()] = value.strip()
            elif section == "FILES":
                files.append(line.replace("\\", "/"))
    return options, files


class Checker:
    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.problems = []
        self.parsed = {}

    def problem(self, text):
        self.problems.append(text)

    def page(self, name):
        """The parsed page NAME (relative to the folder, '/' separated)."""
        if name not in self.parsed:
            self.parsed[name] = parse(os.path.join(self.folder, name), "cp1252")
        return self.parsed[name]

    def resolve(self, where, base, link):
        """The file a link names, relative to the folder, and its anchor; None for a link that leaves the
        help. Reports links that name nothing in the folder."""
        parts = urllib.parse.urlsplit(link)
        if parts.scheme or parts.netloc:
            return None
        path = urllib.parse.unquote(parts.path).replace("\\", "/")
        target = posixpath.normpath(posixpath.join(posixpath.dirname(base), path)) if path else base
        if target.startswith("../") or target == ".." or posixpath.isabs(target):
            self.problem(f"{where}: '{link}' points outside the help")
            return None
        if not os.path.isfile(os.path.join(self.folder, target)):
            self.problem(f"{where}: '{link}' names a missing file {target}")
            return None
        if parts.fragment:
            if not target.lower().endswith((".html", ".htm")):
                self.problem(f"{where}: '{link}' names an anchor in {target}, which is not a page")
            elif parts.fragment not in self.page(target).anchors:
                self.problem(f"{where}: '{link}' names the anchor #{parts.fragment}, which {target} lacks")
        return target


def check(folder, project):
    checker = Checker(folder)
    options, files = read_project(project)
    listed = {posixpath.normpath(f) for f in files}
    for name in sorted(listed):
        if not os.path.isfile(os.path.join(checker.folder, name)):
            checker.problem(f"{os.path.basename(project)}: [FILES] lists {name}, which is missing")

    pages = []
    for root, _, names in os.walk(checker.folder):
        for name in names:
            if name.lower().endswith((".html", ".htm")):
                pages.append(os.path.relpath(os.path.join(root, name), checker.folder).replace(os.sep, "/"))
    pages.sort()
    if not pages:
        checker.problem(f"{folder}: no pages")

    linked = set()
    for name in pages:
        with open(os.path.join(checker.folder, name), "rb") as f:
            data = f.read()
        for number, line in enumerate(data.split(b"\n"), 1):
            if re.search(rb"[\x80-\xff]", line):
                checker.problem(f"{name}:{number}: a byte outside ASCII (write the character as an entity)")
        for line, attribute, value in checker.page(name).links:
            target = checker.resolve(f"{name}:{line}: {attribute}", name, value)
            if target is not None:
                linked.add(target)

    for name in pages:
        if name not in listed:
            checker.problem(f"{os.path.basename(project)}: [FILES] lacks the page {name}")
    for name in sorted(linked):
        if name not in listed:
            checker.problem(f"{os.path.basename(project)}: [FILES] lacks {name}, which a page links to")

    reached = set()
    for key, what in (("contents file", "contents"), ("index file", "index")):
        sitemap = options.get(key)
        if not sitemap:
            checker.problem(f"{os.path.basename(project)}: no {key}")
            continue
        if not os.path.isfile(os.path.join(checker.folder, sitemap)):
            checker.problem(f"{os.path.basename(project)}: the {what} {sitemap} is missing")
            continue
        parsed = parse(os.path.join(checker.folder, sitemap), "cp1252")
        if not parsed.locals:
            checker.problem(f"{sitemap}: the {what} names no page")
        for line, value in parsed.locals:
            target = checker.resolve(f"{sitemap}:{line}: Local", "", value)
            if target is not None and what == "contents":
                reached.add(target)
    if options.get("contents file"):
        for name in pages:
            if name not in reached:
                checker.problem(f"{options['contents file']}: the contents do not reach the page {name}")

    topic = options.get("default topic")
    if not topic:
        checker.problem(f"{os.path.basename(project)}: no default topic")
    else:
        checker.resolve(f"{os.path.basename(project)}: Default topic", "", topic)
    return checker.problems, len(pages)


def main(argv):
    if len(argv) != 3:
        print(f"usage: {argv[0]} FOLDER PROJECT.hhp", file=sys.stderr)
        return 2
    problems, count = check(argv[1], argv[2])
    for text in problems:
        print(f"help link check: {text}", file=sys.stderr)
    if problems:
        print(f"help link check: {len(problems)} problems in {argv[1]}", file=sys.stderr)
        return 1
    print(f"help link check: {count} pages in {argv[1]}, every link and picture found, every page in the contents")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
