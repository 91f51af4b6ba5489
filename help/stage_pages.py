#!/usr/bin/python3
"""Stages one language of the help for the compiler: copies the language's folder and gives each page
its HTML frame. A page in the sources is its body alone, starting with its <h1> heading (or with a
<title> line when its title is not the heading's text); staged, it begins with the document type, the
html element in the language and the head (the encoding, the title, the shared style sheet), and ends
with the closing tags. Other files are
copied as they are.

    stage_pages.py SOURCE_FOLDER STAGE_FOLDER LANGUAGE_CODE     (LANGUAGE_CODE: en, de, ...)
    stage_pages.py SOURCE_FOLDER STAGE_FOLDER LANGUAGE_CODE --web [PICTURES_FOLDER ...]

With --web the pages are staged to be read in a browser: only the pages (without the compiler's
project, contents and index files), with the style sheet beside them. Each picture is copied from the
first PICTURES_FOLDER that has it into pictures/; a picture that none has is left out of its page
together with its paragraph, so that no page shows a broken image.
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


PICTURE = re.compile(rb'<p class="picture"><img src="pictures/([^"]+)"[^>]*></p>\n?')


def with_pictures_found(body, stage, picture_folders):
    """The page with each picture copied from the first folder that has it, or left out."""
    def place(match):
        name = match.group(1).decode("ascii")
        for folder in picture_folders:
            found = os.path.join(folder, name)
            if os.path.isfile(found):
                os.makedirs(os.path.join(stage, "pictures"), exist_ok=True)
                shutil.copyfile(found, os.path.join(stage, "pictures", name))
                return match.group(0)
        return b""

    return PICTURE.sub(place, body)


def main(argv):
    web = len(argv) > 4 and argv[4] == "--web"
    if len(argv) != 4 and not web:
        sys.exit("usage: stage_pages.py SOURCE_FOLDER STAGE_FOLDER LANGUAGE_CODE [--web [PICTURES_FOLDER ...]]")
    source, stage, language = argv[1:4]
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    for name in sorted(os.listdir(source)):
        page = name.lower().endswith(".html")
        if web and not page:
            continue
        with open(os.path.join(source, name), "rb") as f:
            data = f.read()
        if page:
            if web:
                data = with_pictures_found(data, stage, argv[5:])
            data = framed(data, language, name)
        with open(os.path.join(stage, name), "wb") as f:
            f.write(data)
    if web:
        shutil.copyfile(os.path.join(os.path.dirname(os.path.abspath(__file__)), "style.css"),
                        os.path.join(stage, "style.css"))


if __name__ == "__main__":
    main(sys.argv)
