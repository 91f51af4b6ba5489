#!/usr/bin/python3
"""Reads a running native program through the accessibility tree (AT-SPI), as a screen reader sees it.

    atspi_probe.py names APP ROLE        the names of the objects of that role, one a line
    atspi_probe.py menus APP             the menu bar's menus, one a line
    atspi_probe.py count APP ROLE        how many objects of that role there are
    atspi_probe.py children APP ROLE NAME  how many children the first such object has
    atspi_probe.py do APP ROLE NAME      runs the first action (press, click) of the first such object
    atspi_probe.py point APP ROLE NAME   the screen position "x y" of the middle of the first such object,
                                         when it shows (else exit code 1)
    atspi_probe.py centre APP ROLE INDEX  the screen position "x y" of the middle of the child at INDEX of
                                         the first object of that role (where a user clicks it)
    atspi_probe.py tree APP              every object: depth, role, name (lists: their first items only)

APP is the program's name on the accessibility bus (the executable's name). A list's items are counted,
not walked, past its first few: a grid of 65536 characters stays quick. Exits with 1 when the program or
the object is not there (yet).
"""

import sys

import pyatspi

LIST_ITEMS_WALKED = 4


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name == name:
            return app
    return None


def walk(node, depth=0):
    yield depth, node
    try:
        count = node.childCount
    except Exception:  # the object went meanwhile
        return
    limit = LIST_ITEMS_WALKED if node.getRoleName() in ("list", "table", "tree table") else count
    for index in range(min(count, limit)):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child, depth + 1)


def find(app, role, name=None):
    for _, node in walk(app):
        if node.getRoleName() == role and (name is None or node.name == name):
            yield node


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    command, app_name = argv[1], argv[2]
    app = application(app_name)
    if app is None:
        print(f"no application {app_name} on the accessibility bus")
        return 1
    if command == "tree":
        for depth, node in walk(app):
            print(f"{'  ' * depth}{node.getRoleName()} '{node.name}' ({node.childCount})")
        return 0
    if command == "menus":
        for bar in find(app, "menu bar"):
            for index in range(bar.childCount):
                print(bar.getChildAtIndex(index).name)
        return 0
    role = argv[3]
    if command == "names":
        for node in find(app, role):
            print(node.name)
        return 0
    if command == "count":
        print(sum(1 for _ in find(app, role)))
        return 0
    if command == "centre":
        node = next(find(app, role), None)
        child = node.getChildAtIndex(int(argv[4])) if node is not None else None
        if child is None:
            return 1
        box = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(box.x + box.width // 2, box.y + box.height // 2)
        return 0 if box.width > 0 and box.height > 0 else 1
    node = next(find(app, role, argv[4]), None)
    if node is None:
        print(f"no {role} '{argv[4]}' in {app_name}")
        return 1
    if command == "children":
        print(node.childCount)
        return 0
    if command == "point":
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            print(f"{role} '{argv[4]}' is not on the screen")
            return 1
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(box.x + box.width // 2, box.y + box.height // 2)
        return 0 if box.width > 0 and box.height > 0 else 1
    if command == "do":
        action = node.queryAction()
        return 0 if action.nActions > 0 and action.doAction(0) else 1
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
