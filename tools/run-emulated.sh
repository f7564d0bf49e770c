#!/usr/bin/env bash
# Starts the firmware update tool from a build folder: on the instrument when
# one is plugged in, otherwise on the emulated instrument (trvloader-emulated,
# which runs the same trvloader on an emulated USB device).
#   run-emulated.sh [BUILD_DIR] [--emulated] [trvloader-emulated options...]
# BUILD_DIR defaults to build/. --emulated uses the emulated instrument even
# when a real one is plugged in. trvloader-emulated --help lists its options
# (older firmware, timing, faults such as --silent BOARD or --unplug-at-line N,
# an instrument that cannot be opened: --refuse-open, --in-use).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    build="$1"
    shift
fi
emulated=0
if [ "${1:-}" = --emulated ]; then
    emulated=1
    shift
fi

loader="$build/app/trvloader"
launcher="$build/sim/hidraw/trvloader-emulated"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to show the window on: run this on a desktop, or under xvfb-run." >&2
    exit 1
fi

# The instrument's hidraw node, when it is plugged in.
instrument_node() {
    local uevent
    for uevent in /sys/class/hidraw/*/device/uevent; do
        if [ -e "$uevent" ] && grep -qi '^HID_ID=0003:000004D8:0000F93C$' "$uevent"; then
            echo "/dev/$(basename "$(dirname "$(dirname "$uevent")")")"
            return 0
        fi
    done
    return 1
}

if [ "$emulated" = 0 ] && node="$(instrument_node)"; then
    if [ ! -x "$loader" ]; then
        echo "$loader not found: build the project first" >&2
        exit 1
    fi
    echo "Tarvo QX40 found on $node: starting trvloader on it."
    if [ ! -r "$node" ] || [ ! -w "$node" ]; then
        echo "You may not open $node: install packaging/70-trvloader.rules into" \
            "/etc/udev/rules.d (or install the .deb), then plug the instrument in again." >&2
    fi
    exec "$loader"
fi

if [ ! -x "$launcher" ]; then
    echo "$launcher not found: build the project first (it needs the Debian package" \
        "libumockdev-dev)" >&2
    exit 1
fi
echo "No Tarvo QX40 plugged in: starting trvloader on the emulated instrument."
exec "$launcher" --program "$loader" "$@"
