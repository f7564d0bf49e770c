#!/usr/bin/python3
"""Reads the window through AT-SPI as a screen reader does, and works it with
the mouse as a person would (xdotool at the places the bus tells).

    atspi_client.py idle               no instrument: the names of every row,
                                       bar and button; the report reached
                                       through the "?" box
    atspi_client.py advanced W H [S]   Advanced on a screen of W x H pixels,
                                       where the program scales by S
    atspi_client.py failure            an update that fails as the instrument
                                       goes: what readers are told on the way
Exits non-zero, saying why, on the first thing not as expected.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

APPLICATION = "atspiwindow"
ROWS = ["Keys 12-20", "Keys 21-42", "Keys 43-64", "Keys 65-86", "Keys 87-108",
        "Control Panel", "Main Board"]
GROUPS = ["Sensor Boards", "Control Panel", "Main Board"]
HELP = "Help, licences and report for support"
REPORT = "Report for Support..."
# The program's scale factor: Qt 5 tells places in its own, unscaled pixels.
SCALE = 1
UNPLUGGED = "The instrument was disconnected during the update of Sensor Boards."


def fail(text):
    sys.exit("atspi_client: " + text)


def nodes(node):
    yield node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from nodes(child)


def application():
    for candidate in pyatspi.Registry.getDesktop(0):
        if candidate is not None and candidate.name == APPLICATION and candidate.childCount:
            return candidate
    return None


def wait(what, condition, seconds=20, why=None):
    """Polls the condition until it gives a true value, which it returns;
    on a time-out why(), when given, says what was last seen."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = condition()
            if found:
                return found
        except (LookupError, RuntimeError, NotImplementedError, GLib.Error):
            pass  # the window changed while it was read: read it again
        time.sleep(0.05)
    fail("timed out waiting for " + what + (": " + why() if why else ""))


def tree():
    app = application()
    return list(nodes(app)) if app else []


def named(role, name, within=None):
    return [n for n in (within if within is not None else tree())
            if n.getRole() == role and n.name == name]


def one(role, name, within=None):
    found = named(role, name, within)
    return found[0] if found else None


def has(node, state):
    return node.getState().contains(state)


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def click(node):
    box = extents(node)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    subprocess.run(["xdotool", "mousemove", str(x * SCALE), str(y * SCALE), "click", "1"],
                   check=True)


def inside(inner, outer):
    return (outer.x <= inner.x and outer.y <= inner.y and
            inner.x + inner.width <= outer.x + outer.width and
            inner.y + inner.height <= outer.y + outer.height)


def idle():
    wait("the window", lambda: one(pyatspi.ROLE_PROGRESS_BAR, "Total progress"))
    wait("the waiting text", lambda: one(pyatspi.ROLE_PROGRESS_BAR, "Total progress").description
         == "Waiting for USB connection")
    everything = tree()
    expected = [(pyatspi.ROLE_CHECK_BOX, name) for name in ROWS + ["Advanced"]]
    expected += [(pyatspi.ROLE_PROGRESS_BAR, name + " progress") for name in ROWS]
    expected += [(pyatspi.ROLE_LABEL, name + " installed version: unknown") for name in ROWS]
    expected += [(pyatspi.ROLE_PROGRESS_BAR, "Total progress")]
    expected += [(pyatspi.ROLE_PUSH_BUTTON, name)
                 for name in ["Start Update", REPORT, HELP]]
    expected += [(pyatspi.ROLE_PUSH_BUTTON, "Load a firmware file for " + group)
                 for group in GROUPS]
    for role, name in expected:
        if not named(role, name, everything):
            fail("no %s named %r" % (pyatspi.Role(role), name))
    for node in everything:
        if "\ufffc" in node.name:
            fail("a %s named by an object character" % node.getRoleName())
        if node.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX,
                              pyatspi.ROLE_PROGRESS_BAR) and not node.name.strip():
            fail("a %s without a name" % node.getRoleName())

    # Without an instrument Advanced is out of reach; the "?" box is not.
    if has(one(pyatspi.ROLE_PUSH_BUTTON, REPORT, everything), pyatspi.STATE_ENABLED):
        fail("the Advanced area's report button is enabled without an instrument")
    click(one(pyatspi.ROLE_PUSH_BUTTON, HELP, everything))
    box = wait("the help box", lambda: one(pyatspi.ROLE_DIALOG, "Help and Licence Information"))
    click(wait("its report button", lambda: one(pyatspi.ROLE_PUSH_BUTTON, REPORT, nodes(box))))
    dialog = wait("the report", lambda: one(pyatspi.ROLE_DIALOG, "Report for Support"))
    report = one(pyatspi.ROLE_TEXT, "Report for support", nodes(dialog))
    text = report.queryText().getText(0, -1)
    if "Tool: trvloader" not in text:
        fail("the report reads: " + text[:200])
    subprocess.run(["xdotool", "key", "Escape"], check=True)
    wait("the report to close", lambda: not one(pyatspi.ROLE_DIALOG, "Report for Support"))



def advanced(width, height):
    """Advanced on this screen: the window, its buttons and the table's first
    rows on it."""
    wait("every version", lambda: len([n for n in tree() if n.getRole() == pyatspi.ROLE_LABEL
                                       and " installed version: v" in n.name]) == 7)
    # Advanced on this screen: the window, its buttons and the table's first
    # rows on it.
    click(one(pyatspi.ROLE_CHECK_BOX, "Advanced"))
    wait("the board table", lambda: has(one(pyatspi.ROLE_CHECK_BOX, "Keys 12-20"),
                                        pyatspi.STATE_SHOWING))
    # The window takes its new size from the window system: wait until it
    # and its controls are on the screen, and say where they are if not.
    class Box:
        x, y = 0, 0
    whole = Box()
    whole.width, whole.height = width // SCALE, height // SCALE
    controls = [(pyatspi.ROLE_PUSH_BUTTON, "Start Update"), (pyatspi.ROLE_PUSH_BUTTON, REPORT),
                (pyatspi.ROLE_PUSH_BUTTON, HELP), (pyatspi.ROLE_CHECK_BOX, "Keys 12-20")]

    def misplaced():
        window = [n for n in tree() if n.getRole() == pyatspi.ROLE_DIALOG][0]
        frame = extents(window)
        if not inside(frame, whole):
            return "the window %s is not on the screen of %d x %d" % (
                (frame.x, frame.y, frame.width, frame.height), width, height)
        for role, name in controls:
            place = extents(one(role, name))
            if not inside(place, frame):
                return "%s at %s is outside the window %s" % (
                    name, (place.x, place.y, place.width, place.height),
                    (frame.x, frame.y, frame.width, frame.height))
        return ""

    last = {"said": ""}

    def placed():
        last["said"] = misplaced()
        return not last["said"]

    wait("the window and its controls on the screen", placed, why=lambda: last["said"])


def failure():
    wait("every version", lambda: len([n for n in tree() if n.getRole() == pyatspi.ROLE_LABEL
                                       and " installed version: v" in n.name]) == 7)
    told = []

    def heard(event):
        try:
            if event.source.getRole() == pyatspi.ROLE_PROGRESS_BAR:
                # The description as it is when the event is read: by then
                # the update may have gone on.
                told.append((event.source.name, event.source.description))
        except (LookupError, RuntimeError, GLib.Error):
            pass

    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-description")
    start = one(pyatspi.ROLE_PUSH_BUTTON, "Start Update")
    deadline = time.monotonic() + 30
    steps = {"clicked": False}

    def step():
        if not steps["clicked"]:
            click(start)
            steps["clicked"] = True
        if ("Total progress", UNPLUGGED) in told or time.monotonic() > deadline:
            pyatspi.Registry.stop()
            return False
        return True

    GLib.timeout_add(100, step)
    pyatspi.Registry.start()
    total = [description for name, description in told if name == "Total progress"]
    if not total or total[-1] != UNPLUGGED:
        fail("the total bar told: %r" % total)
    # The start, the states of the update and its end each told.
    if len(total) < 3:
        fail("the total bar told too few changes: %r" % total)
    for row in ROWS[:5]:
        said = [description for name, description in told if name == row + " progress"]
        if len(said) < 2:
            fail("%s told too few changes: %r" % (row, said))
    # The whole sentence, also where the bar shows only its start.
    label = wait("the failure beneath the bar", lambda: one(pyatspi.ROLE_LABEL, UNPLUGGED))
    if not has(label, pyatspi.STATE_SHOWING):
        fail("the failure beneath the bar is not shown")


def main():
    if sys.argv[1:2] == ["idle"]:
        idle()
    elif sys.argv[1:2] == ["advanced"]:
        global SCALE
        SCALE = int(sys.argv[4]) if len(sys.argv) > 4 else 1
        advanced(int(sys.argv[2]), int(sys.argv[3]))
    elif sys.argv[1:2] == ["failure"]:
        failure()
    else:
        fail("usage: atspi_client.py idle | advanced WIDTH HEIGHT [SCALE] | failure")
    print("atspi_client: %s: as expected" % sys.argv[1])


main()
