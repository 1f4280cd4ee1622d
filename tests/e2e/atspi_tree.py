#!/usr/bin/env python3
"""Prints what a screen reader sees of one application, as JSON: every object of its AT-SPI tree
with role, name, description, and the value or text it holds.

Run with DISPLAY and DBUS_SESSION_BUS_ADDRESS of the session to read; argument: the application's
name on the bus. Prints [] while the application is not (yet) on the bus. A separate process for
each reading, because the AT-SPI library binds to one bus for the life of a process.
"""

import json
import sys

import pyatspi


def node(accessible, depth):
    entry = {
        "depth": depth,
        "role": accessible.getRoleName(),
        "name": accessible.name or "",
        "description": accessible.description or "",
    }
    try:
        entry["value"] = accessible.queryValue().currentValue
    except NotImplementedError:
        pass
    try:
        text = accessible.queryText()
        entry["text"] = text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    return entry


def walk(accessible, depth, out):
    out.append(node(accessible, depth))
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    wanted = sys.argv[1]
    out = []
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name == wanted:
            walk(app, 0, out)
            break
    json.dump(out, sys.stdout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
