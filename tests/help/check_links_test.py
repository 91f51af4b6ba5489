#!/usr/bin/python3
"""The help's link check must pass a sound help folder and fail a broken one, naming each fault.

    check_links_test.py CHECK_LINKS_PY FIXTURES_DIR

fixtures/good is a small sound help (anchors, a picture, links that leave the help, a German title in
Windows-1252 in the contents); fixtures/broken has one of each fault the check is there to find. Their
pages are bodies alone: the frame of a staged page (help/stage_pages.py) holds no link to check.
"""

import subprocess
import sys

BROKEN_FAULTS = [
    "index.html:2: href: 'missing.html' names a missing file missing.html",
    "index.html:3: href: 'topic.html#nowhere' names the anchor #nowhere, which topic.html lacks",
    "index.html:4: src: 'pictures/absent.png' names a missing file pictures/absent.png",
    "index.html:5: href: '../outside.html' points outside the help",
    "index.html:6: a byte outside ASCII",
    "broken.hhc: the contents do not reach the page orphan.html",
    "broken.hhp: [FILES] lacks the page orphan.html",
    "broken.hhp: [FILES] lists gone.html, which is missing",
    "broken.hhk:3: Local: 'nothing.html' names a missing file nothing.html",
]


def run(checker, folder, project):
    return subprocess.run([sys.executable, checker, folder, project], capture_output=True, text=True)


def main(argv):
    checker, fixtures = argv[1], argv[2]
    failures = []

    good = run(checker, f"{fixtures}/good", f"{fixtures}/good/good.hhp")
    if good.returncode != 0:
        failures.append(f"the sound fixture fails the check:\n{good.stderr}")

    broken = run(checker, f"{fixtures}/broken", f"{fixtures}/broken/broken.hhp")
    if broken.returncode != 1:
        failures.append(f"the broken fixture gives exit code {broken.returncode}, expected 1")
    reported = [line for line in broken.stderr.splitlines() if line.startswith("help link check: ")]
    for fault in BROKEN_FAULTS:
        if not any(fault in line for line in reported):
            failures.append(f"not reported: {fault}")
    # One line per fault and the count: nothing reported twice, nothing sound reported.
    if len(reported) != len(BROKEN_FAULTS) + 1:
        failures.append(f"{len(reported) - 1} problems reported for {len(BROKEN_FAULTS)} faults:\n{broken.stderr}")

    usage = subprocess.run([sys.executable, checker], capture_output=True, text=True)
    if usage.returncode != 2:
        failures.append(f"without arguments the check gives exit code {usage.returncode}, expected 2")

    for text in failures:
        print(f"FAIL: {text}")
    if not failures:
        print(f"the sound fixture passes; the broken one fails with all {len(BROKEN_FAULTS)} faults named")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
