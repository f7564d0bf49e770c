#!/usr/bin/env bash
# Reads the real window through the accessibility bus, as a screen reader
# does, on the in-process emulated instrument:
#   run-atspi-test.sh WINDOW_PROGRAM CLIENT
# Each scenario gets a virtual display that keeps its root window's
# properties (-noreset: the bus's address is announced there), a session bus
# and an accessibility bus of its own; every wait is on a state, with a
# time-out.
set -euo pipefail

if [ -z "${TRV_ATSPI_INNER:-}" ]; then
    program="$1"
    client="$2"
    status=0
    # No instrument: the names, and the report.
    TRV_ATSPI_INNER="idle" XDG_RUNTIME_DIR="$(mktemp -d)" \
        xvfb-run -a -s "-screen 0 1024x600x24 -noreset" \
        dbus-run-session -- "$0" "$program" "$client" --no-instrument || status=1
    # Advanced on a small screen, and on a screen of twice the density.
    TRV_ATSPI_INNER="advanced 1024 600" XDG_RUNTIME_DIR="$(mktemp -d)" \
        xvfb-run -a -s "-screen 0 1024x600x24 -noreset" \
        dbus-run-session -- "$0" "$program" "$client" || status=1
    TRV_ATSPI_INNER="advanced 1920 1080 2" XDG_RUNTIME_DIR="$(mktemp -d)" \
        xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 192 -noreset" \
        dbus-run-session -- "$0" "$program" "$client" || status=1
    # An update that fails as the instrument goes.
    TRV_ATSPI_INNER="failure" XDG_RUNTIME_DIR="$(mktemp -d)" \
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
        dbus-run-session -- "$0" "$program" "$client" --unplug-at-data 50 || status=1
    exit "$status"
fi

program="$1"
client="$2"
shift 2
window=""
end_all() {
    [ -z "$window" ] || kill "$window" 2>/dev/null || true
    [ -z "${accessibility_bus:-}" ] || kill "$accessibility_bus" 2>/dev/null || true
}
trap end_all EXIT

# shellcheck source=tools/accessibility-bus.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../../tools/accessibility-bus.sh"
start_accessibility_bus

"$program" "$@" &
window=$!
# shellcheck disable=SC2086 # the scenario and its screen size are words
/usr/bin/python3 "$client" $TRV_ATSPI_INNER
