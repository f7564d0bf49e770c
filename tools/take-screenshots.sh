#!/usr/bin/env bash
# Takes the README's pictures of the tool on the emulated instrument: runs
# trvloader-emulated on a virtual X display, works the window with the mouse
# as a person would, and captures it
#   docs/screenshot-simple.png     simple mode, the instrument found
#   docs/screenshot-advanced.png   advanced mode, in the middle of an update
#   docs/screenshot-error.png      advanced mode, a board refused a line
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
# (normal or hidpi); TRV_SCREENSHOTS_SCALE is the display's scale factor.
if [ -n "${TRV_SCREENSHOTS_INNER:-}" ]; then
    scale="${TRV_SCREENSHOTS_SCALE:-1}"
    # Window coordinates in device pixels from the window's own (logical) ones.
    at() { echo $(($1 * scale)) $(($2 * scale)); }
    tool=""
    trap '[ -z "$tool" ] || kill "$tool" 2>/dev/null || true' EXIT

    # Starts the tool with launcher options; sets window, width and height.
    start() {
        # A history of its own each time: the update the last picture cut
        # short would otherwise be named in a box at the start.
        XDG_DATA_HOME="$(mktemp -d)" "$launcher" "$@" >/dev/null 2>&1 &
        tool=$!
        window=""
        for _ in $(seq 100); do
            window="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1 || true)"
            [ -n "$window" ] && break
            kill -0 "$tool" 2>/dev/null || { echo "the tool ended before its window appeared" >&2; exit 1; }
            sleep 0.1
        done
        [ -n "$window" ] || { echo "no window titled \"$title\" appeared" >&2; exit 1; }
        eval "$(xdotool getwindowgeometry --shell "$window")"
        width=$WIDTH
        height=$HEIGHT
        row=$((height / scale - 22))
    }
    stop() {
        kill "$tool" 2>/dev/null || true
        wait "$tool" 2>/dev/null || true
        tool=""
    }
    # In simple mode the update area is the window's bottom row: "Advanced"
    # at its left, "Start Update" at its right. Showing the board table below
    # it leaves the row where it is, but may widen the window.
    click_advanced() {
        # A note under the total bar (after a failure) makes the window taller.
        eval "$(xdotool getwindowgeometry --shell "$window")"
        row=$((HEIGHT / scale - 22))
        xdotool mousemove --window "$window" $(at 30 "$row") click 1
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$window")"
        width=$WIDTH
    }
    click_start() { xdotool mousemove --window "$window" $(at $((width / scale - 70)) "$row") click 1; }
    capture() {
        xdotool mousemove $(at 1000 740) # no hover look
        sleep 0.2
        import -window "$window" "$docs/$1"
    }

    if [ "$TRV_SCREENSHOTS_INNER" = hidpi ]; then
        # The check boxes of two sensor boards and of the control panel
        # checked, the others not: both looks, twice the usual size.
        start
        sleep 2
        click_advanced
        for box in "16 265" "16 328" "16 499"; do
            xdotool mousemove --window "$window" $(at $box) click 1
            sleep 0.2
        done
        capture screenshot-hidpi.png
        stop
        exit 0
    fi

    start
    sleep 2 # the versions are in
    capture screenshot-simple.png
    stop

    # Started in simple mode, the update takes every board; the table is
    # shown once it runs.
    start
    sleep 2
    click_start
    sleep 1
    click_advanced
    sleep 11 # sensor boards done, control panel half-way
    capture screenshot-advanced.png
    stop

    start --zero-ack sensor3:600
    sleep 2
    click_start
    sleep 1
    click_advanced
    sleep 3 # sensor boards failed at line 600
    capture screenshot-error.png
    stop
    exit 0
fi

"$here/tools/install-packages.sh" xvfb xauth imagemagick xdotool

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
TRV_SCREENSHOTS_INNER=normal xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
# A screen of twice the usual density, as it tells its size to the tool: the
# tool's own high-DPI scaling doubles the window, not a setting of ours.
TRV_SCREENSHOTS_INNER=hidpi TRV_SCREENSHOTS_SCALE=2 \
    xvfb-run -a -s "-screen 0 2048x1536x24 -dpi 192" "$0" "$build"
echo "wrote $docs/screenshot-simple.png, screenshot-advanced.png, screenshot-error.png," \
    "screenshot-hidpi.png"
