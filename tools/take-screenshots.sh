#!/usr/bin/env bash
# Takes the README's pictures of the tool on the emulated instrument: runs
# trvloader-emulated on a virtual X display, works the window with the mouse
# as a person would, and captures it
#   docs/screenshot-simple.png     simple mode, the instrument found
#   docs/screenshot-advanced.png   advanced mode, in the middle of an update
#   docs/screenshot-error.png      advanced mode, a board refused a line
#   take-screenshots.sh [BUILD_DIR]   (default: build/, built beforehand)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
launcher="$build/sim/hidraw/trvloader-emulated"
docs="$here/docs"
title="Tarvo QX40 Firmware Update Tool"

if [ "${TRV_SCREENSHOTS_INNER:-}" = 1 ]; then
    tool=""
    trap '[ -z "$tool" ] || kill "$tool" 2>/dev/null || true' EXIT

    # Starts the tool with launcher options; sets window, width and height.
    start() {
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
        eval "$(xdotool getwindowgeometry --shell "$window")"
        width=$WIDTH
        height=$HEIGHT
        row=$((height - 22))
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
        xdotool mousemove --window "$window" 30 "$row" click 1
        sleep 0.5
        eval "$(xdotool getwindowgeometry --shell "$window")"
        width=$WIDTH
    }
    click_start() { xdotool mousemove --window "$window" $((width - 70)) "$row" click 1; }
    capture() {
        xdotool mousemove 1000 740 # no hover look
        sleep 0.2
        import -window "$window" "$docs/$1"
    }

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
TRV_SCREENSHOTS_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
echo "wrote $docs/screenshot-simple.png, screenshot-advanced.png, screenshot-error.png"
