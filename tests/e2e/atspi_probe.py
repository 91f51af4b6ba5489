#!/usr/bin/python3
"""Reads a running native program through the accessibility tree (AT-SPI), as a screen reader sees it.

    atspi_probe.py names APP ROLE        the names of the objects of that role, one a line
    atspi_probe.py menus APP             the menu bar's menus, one a line
    atspi_probe.py texts APP ROLE        the text the objects of that role hold (edit fields), one a line
    atspi_probe.py count APP ROLE        how many objects of that role there are
    atspi_probe.py children APP ROLE NAME  how many children the first such object has
    atspi_probe.py do APP ROLE NAME      runs the first action (press, click) of the first such object
    atspi_probe.py point APP ROLE NAME   the screen position "x y" of the middle of the first such object,
                                         when it shows (else exit code 1)
    atspi_probe.py centre APP ROLE INDEX  the screen position "x y" of the middle of the child at INDEX of
                                         the first object of that role (where a user clicks it)
    atspi_probe.py tree APP              every object: depth, role, name (lists: their first items only)
    atspi_probe.py rows APP ROLE         every row of the first such list or table, its first column's text,
                                         one a line (all of them: for short lists, a window list)
    atspi_probe.py selected APP ROLE     the first column's text of the selected rows of the first such list
    atspi_probe.py row APP ROLE TEXT     the screen position "x y" of the middle of the first row of the
                                         first such list or table whose first column reads TEXT
    atspi_probe.py text APP ROLE NAME TEXT  sets the text of the first editable object of that role whose
                                         accessible name or current text is NAME

With ATSPI_WINDOW_WITH="ROLE:NAME" in the environment only the program's window that holds such an object is
searched (for windows that carry one caption, such as a dialog over its main window).

APP is the program's name on the accessibility bus (the executable's name). A list's items are counted,
not walked, past its first few: a grid of 65536 characters stays quick. Exits with 1 when the program or
the object is not there (yet).
"""

import os
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
    scope = app
    if os.environ.get("ATSPI_WINDOW_WITH"):
        within_role, within_name = os.environ["ATSPI_WINDOW_WITH"].split(":", 1)
        scope = next((window for window in (app.getChildAtIndex(i) for i in range(app.childCount))
                      if window is not None and any(node.getRoleName() == within_role and node.name == within_name
                                                    for _, node in walk(window))), None)
        if scope is None:
            return
    for _, node in walk(scope):
        if node.getRoleName() == role and (name is None or node.name == name):
            yield node


def rows(node):
    """The first cell of every row of a table (a list's items), in order."""
    try:
        table = node.queryTable()
    except NotImplementedError:
        return [node.getChildAtIndex(index) for index in range(node.childCount)]
    return [table.getAccessibleAt(row, 0) for row in range(table.nRows)]


def centre(node):
    """The screen position of the middle of an object, when it has a size."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (box.x + box.width // 2, box.y + box.height // 2) if box.width > 0 and box.height > 0 else None


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
    if command == "texts":
        for node in find(app, role):
            print(node.queryText().getText(0, -1))
        return 0
    if command == "count":
        print(sum(1 for _ in find(app, role)))
        return 0
    if command in ("centre", "rows", "selected", "row"):
        node = next(find(app, role), None)
        if node is None:
            print(f"no {role} in {app_name}")
            return 1
        if command in ("rows", "selected"):
            for cell in rows(node):
                if command == "rows" or (cell is not None and cell.getState().contains(pyatspi.STATE_SELECTED)):
                    print(cell.name if cell is not None else "")
            return 0
        if command == "row":
            child = next((cell for cell in rows(node) if cell is not None and cell.name == argv[4]), None)
        else:
            child = node.getChildAtIndex(int(argv[4]))
        point = centre(child) if child is not None else None
        if point is None:
            print(f"no row '{argv[4]}' on the screen")
            return 1
        print(*point)
        return 0
    if command == "text":
        for node in find(app, role):
            editable = node.queryEditableText()
            if argv[4] in (node.name, editable.getText(0, -1)):
                return 0 if editable.setTextContents(argv[5]) else 1
        print(f"no {role} '{argv[4]}' in {app_name}")
        return 1
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
