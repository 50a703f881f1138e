#!/usr/bin/python3
# Walks the accessible tree of a running program over AT-SPI, as a screen
# reader sees it: prints "UNNAMED path" for every control a user acts on
# that has no name, and "WAVEFORM description" for the waveform view.
# Exit 3 when the program never shows up on the accessibility bus.
import sys
import time

import pyatspi

NEED_NAMES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM,
    pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_SLIDER, pyatspi.ROLE_LIST,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_IMAGE,
}


def find_application(name):
    for _ in range(100):
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name and name in application.name.lower():
                return application
        time.sleep(0.1)
    return None


def walk(node, path, depth, found):
    if node is None or depth > 40:
        return
    try:
        role = node.getRole()
        name = node.name or ""
    except Exception:
        return
    found["nodes"] += 1
    here = path + "/" + (name or node.getRoleName())
    if role in NEED_NAMES and not name.strip():
        print("UNNAMED", path + "/" + node.getRoleName())
    if role == pyatspi.ROLE_IMAGE and name:
        print("WAVEFORM", node.description)
    for index in range(node.childCount):
        try:
            child = node.getChildAtIndex(index)
        except Exception:
            continue
        walk(child, here, depth + 1, found)


application = find_application(sys.argv[1])
if application is None:
    print("NOT FOUND")
    sys.exit(3)
found = {"nodes": 0}
walk(application, "", 0, found)
print("NODES", found["nodes"])
