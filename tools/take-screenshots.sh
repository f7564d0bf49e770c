#!/usr/bin/env bash
# Takes the README's pictures of the tool on the emulated instrument: runs
# trvloader-emulated on a virtual X display, works the window with the mouse
# as a person would, and captures it
#   docs/screenshot-simple.png     simple mode, the instrument found
#   docs/screenshot-advanced.png   advanced mode, in the middle of an update
#   docs/screenshot-error.png      advanced mode, a board refused a line
#   docs/screenshot-choice.png     two instruments connected: the window waits
#                                  for the user to choose one by serial number
#   docs/screenshot-unplug.png     simple mode, the instrument unplugged during
#                                  the update: the whole failure beneath the bar
#   docs/screenshot-small.png      advanced mode on a 1024 x 600 screen, the
#                                  board table scrolling
#   docs/screenshot-hidpi.png      advanced mode on a screen of 192 dpi, where
#                                  the tool scales by itself by a factor of 2
#   take-screenshots.sh [BUILD_DIR]   (default: build/, built beforehand)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
launcher="$build/sim/hidraw/trvloader-emulated"
docs="$here/docs"
title="Tarvo QX40 Firmware Update Tool"

# Inside the virtual display: TRV_SCREENSHOTS_INNER names the pictures to take
# (normal, small or hidpi); TRV_SCREENSHOTS_SCALE is the display's scale factor. Each
# step waits for what the window shows, read through the accessibility bus as
# a screen reader reads it, never for a number of seconds.
if [ -n "${TRV_SCREENSHOTS_INNER:-}" ]; then
    scale="${TRV_SCREENSHOTS_SCALE:-1}"
    # Window coordinates in device pixels from the window's own (logical) ones.
    at() { echo $(($1 * scale)) $(($2 * scale)); }
    tool=""
    # shellcheck disable=SC2317 # run by the trap
    end_all() {
        [ -z "$tool" ] || kill "$tool" 2>/dev/null || true
        [ -z "${accessibility_bus:-}" ] || kill "$accessibility_bus" 2>/dev/null || true
    }
    trap end_all EXIT

    # The accessibility bus of this display.
    # shellcheck source=tools/accessibility-bus.sh
    . "$here/tools/accessibility-bus.sh"
    start_accessibility_bus

    # Waits, for a minute at most, until the window shows the state:
    #   versions         every board's installed version is known
    #   checked NAME     the check box NAME is checked
    #   running          the update runs (Start Update is disabled)
    #   ended            no update runs (Start Update is enabled)
    #   halfway BAR      the progress bar BAR has reached half way
    #   total TEXT       the total bar's text contains TEXT
    #   label TEXT       a label reads TEXT and is shown
    await() {
        /usr/bin/python3 - "$@" <<'PY' || exit 1
import sys
import time

import pyatspi

what, arguments = sys.argv[1], sys.argv[2:]


def widgets(node):
    yield node
    try:
        children = list(node)
    except (LookupError, RuntimeError, NotImplementedError):
        return  # gone while it was read: the rest of the tree still counts
    for child in children:
        if child is not None:
            yield from widgets(child)


def named(tree, role, name):
    return [w for w in tree if w.getRole() == role and w.name == name]


def enabled(widget):
    return widget.getState().contains(pyatspi.STATE_ENABLED)


def shown(tree):
    if what == "versions":
        versions = [w for w in tree if w.getRole() == pyatspi.ROLE_LABEL and
                    " installed version: v" in w.name]
        return len(versions) == 7
    if what == "checked":
        boxes = named(tree, pyatspi.ROLE_CHECK_BOX, arguments[0])
        return any(b.getState().contains(pyatspi.STATE_CHECKED) for b in boxes)
    if what in ("running", "ended"):
        start = named(tree, pyatspi.ROLE_PUSH_BUTTON, "Start Update")
        return bool(start) and enabled(start[0]) == (what == "ended")
    if what == "halfway":
        for bar in named(tree, pyatspi.ROLE_PROGRESS_BAR, arguments[0]):
            value = bar.queryValue()
            return value.maximumValue > 0 and 2 * value.currentValue >= value.maximumValue
        return False
    if what == "total":
        bars = named(tree, pyatspi.ROLE_PROGRESS_BAR, "Total progress")
        return any(arguments[0] in bar.description for bar in bars)
    if what == "label":
        labels = named(tree, pyatspi.ROLE_LABEL, arguments[0])
        return any(label.getState().contains(pyatspi.STATE_SHOWING) for label in labels)
    raise SystemExit("no such state: " + what)


deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    try:
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name == "trvloader":
                if shown(list(widgets(application))):
                    sys.exit(0)
    except (LookupError, RuntimeError, NotImplementedError):
        pass  # the window changed while it was read: read it again
    time.sleep(0.05)
sys.exit("the window did not show: " + " ".join(sys.argv[1:]))
PY
    }

    # Prints where the check box or button NAME is, its middle in the
    # window's own coordinates, as the accessibility bus tells it.
    locate() {
        /usr/bin/python3 - "$1" <<'PY' || exit 1
import sys
import time

import pyatspi


def widgets(node):
    yield node
    try:
        children = list(node)
    except (LookupError, RuntimeError, NotImplementedError):
        return  # gone while it was read: the rest of the tree still counts
    for child in children:
        if child is not None:
            yield from widgets(child)


deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    try:
        for application in pyatspi.Registry.getDesktop(0):
            if application is None or application.name != "trvloader":
                continue
            for widget in widgets(application):
                if widget.getRole() in (pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_PUSH_BUTTON) and \
                        widget.name == sys.argv[1] and \
                        widget.getState().contains(pyatspi.STATE_SHOWING):
                    box = widget.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
                    print(box.x + box.width // 2, box.y + box.height // 2)
                    sys.exit(0)
    except (LookupError, RuntimeError, NotImplementedError):
        pass  # the window changed while it was read: read it again
    time.sleep(0.05)
sys.exit("no check box or button named " + sys.argv[1])
PY
    }

    # Starts the tool with launcher options; sets window.
    start() {
        # A history of its own each time: the update the last picture cut
        # short would otherwise be named in a box at the start.
        XDG_DATA_HOME="$(mktemp -d)" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
            "$launcher" "$@" >/dev/null 2>&1 &
        tool=$!
        window=""
        for _ in $(seq 100); do
            window="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1 || true)"
            [ -n "$window" ] && break
            kill -0 "$tool" 2>/dev/null || { echo "the tool ended before its window appeared" >&2; exit 1; }
            sleep 0.1
        done
        [ -n "$window" ] || { echo "no window titled \"$title\" appeared" >&2; exit 1; }
    }
    stop() {
        kill "$tool" 2>/dev/null || true
        wait "$tool" 2>/dev/null || true
        tool=""
    }
    # Clicks the check box or button NAME where the accessibility bus says it is.
    click() {
        local x y
        read -r x y <<<"$(locate "$1")"
        xdotool mousemove --window "$window" $(at "$x" "$y") click 1
    }
    # Shows the board table, and waits until it is shown.
    click_advanced() {
        click Advanced
        await checked Advanced
    }
    click_start() { click "Start Update"; }
    # The mouse off the window, so that nothing shows its hover look.
    away() { xdotool mousemove $(at 1000 740); }
    capture() { import -window "$window" "$docs/$1"; }

    if [ "$TRV_SCREENSHOTS_INNER" = hidpi ]; then
        # The check boxes of two sensor boards and of the control panel
        # checked, the others not: both looks, twice the usual size.
        start
        await versions
        click_advanced
        for name in "Keys 12-20" "Keys 43-64" "Control Panel"; do
            click "$name"
            await checked "$name"
        done
        away
        await checked "Control Panel" # answered after the mouse has left
        capture screenshot-hidpi.png
        stop
        exit 0
    fi

    if [ "$TRV_SCREENSHOTS_INNER" = small ]; then
        # Advanced on a netbook's screen: the table scrolls, the buttons stay.
        start
        await versions
        click_advanced
        away
        capture screenshot-small.png
        stop
        exit 0
    fi

    start
    away
    await versions
    capture screenshot-simple.png
    stop

    # A bench of two: neither is opened until the user chooses one.
    start --instruments 2
    away
    await label "Several instruments are connected: SN0001, SN0002. Choose the one to update:"
    capture screenshot-choice.png
    stop

    # Unplugged during the sensor boards' update, in simple mode: the bar
    # keeps the sentence's start, the whole of it stands beneath.
    start --unplug-at-line 400
    await versions
    click_start
    away
    await label "The instrument was disconnected during the update of Sensor Boards."
    capture screenshot-unplug.png
    stop

    # Started in simple mode, the update takes every board; the table is
    # shown once it runs.
    start
    await versions
    click_start
    await running
    click_advanced
    away
    await halfway "Control Panel progress" # sensor boards done, control panel half-way
    capture screenshot-advanced.png
    stop

    start --zero-ack sensor3:600
    await versions
    click_start
    await running
    click_advanced
    away
    await total "Errors while transfering data" # sensor boards failed at line 600
    await ended
    capture screenshot-error.png
    stop
    exit 0
fi

"$here/tools/install-packages.sh" xvfb xauth imagemagick xdotool x11-utils dbus at-spi2-core \
    libglib2.0-bin python3-pyatspi

if [ ! -x "$launcher" ]; then
    echo "$launcher not found: build the project first" >&2
    exit 1
fi

mkdir -p "$docs"
# A lock folder of its own, so that a copy of the tool already running on this
# desktop does not keep the pictures' copies from starting.
XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
# Each display with a session bus for the accessibility bus, and kept as it
# is when a client leaves (-noreset), so that the bus's address stays on it.
TRV_SCREENSHOTS_INNER=normal xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    dbus-run-session -- "$0" "$build"
# A netbook's screen.
TRV_SCREENSHOTS_INNER=small xvfb-run -a -s "-screen 0 1024x600x24 -noreset" \
    dbus-run-session -- "$0" "$build"
# A screen of twice the usual density, as it tells its size to the tool: the
# tool's own high-DPI scaling doubles the window, not a setting of ours.
TRV_SCREENSHOTS_INNER=hidpi TRV_SCREENSHOTS_SCALE=2 \
    xvfb-run -a -s "-screen 0 2048x1536x24 -dpi 192 -noreset" dbus-run-session -- "$0" "$build"
echo "wrote $docs/screenshot-simple.png, screenshot-choice.png, screenshot-advanced.png," \
    "screenshot-error.png, screenshot-unplug.png, screenshot-small.png, screenshot-hidpi.png"
