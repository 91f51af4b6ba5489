#!/usr/bin/python3
"""Stages one language of the help for the compiler: copies the language's folder and gives each page
its HTML frame. A page in the sources is its body alone, starting with its <h1> heading (or with a
<title> line when its title is not the heading's text); staged, it begins with the document type, the
html element in the language and the head (the encoding, the title, the shared style sheet), and ends
with the closing tags. Other files are
copied as they are.

    stage_pages.py SOURCE_FOLDER STAGE_FOLDER LANGUAGE_CODE     (LANGUAGE_CODE: en, de, ...)
"""

import os
import re
import shutil
import sys

HEAD = (
    '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd">\n'
    '<html lang="{language}">\n'
    "<head>\n"
    '<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">\n'
    "<title>{title}</title>\n"
    '<link rel="stylesheet" type="text/css" href="style.css">\n'
    "</head>\n"
    "<body>\n"
)
TAIL = "</body>\n</html>\n"


def framed(body, language, name):
    own = re.match(rb"<title>(.*?)</title>\n", body)
    if own is not None:
        body = body[own.end():]
    heading = re.match(rb"<h1>(.*?)</h1>", body)
    if heading is None:
        sys.exit(f"stage_pages: {name} does not begin with its <h1> heading")
    title = (own or heading).group(1).decode("cp1252")
    head = HEAD.format(language=language, title=title).encode("cp1252")
    return head + body + TAIL.encode("ascii")


def main(argv):
    if len(argv) != 4:
        sys.exit("usage: stage_pages.py SOURCE_FOLDER STAGE_FOLDER LANGUAGE_CODE")
    source, stage, language = argv[1:]
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    for name in sorted(os.listdir(source)):
        with open(os.path.join(source, name), "rb") as f:
            data = f.read()
        if name.lower().endswith(".html"):
            data = framed(data, language, name)
        with open(os.path.join(stage, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv)
