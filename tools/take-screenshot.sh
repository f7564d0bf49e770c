#!/usr/bin/env bash
# Takes the README's picture of the main window, docs/trvloader.png: starts the
# real trvloader on a virtual X display, waits for its window and captures it.
# Where the build has the emulated instrument (trvloader-emulated), the tool is
# started on it, so the picture shows the instrument found; otherwise it shows
# the tool waiting for one.
#   take-screenshot.sh [BUILD_DIR]   (default: build/, built beforehand)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
binary="$build/app/trvloader"
launcher="$build/sim/hidraw/trvloader-emulated"
output="$here/docs/trvloader.png"
title="Tarvo QX40 Firmware Update Tool"

if [ "${TRV_SCREENSHOT_INNER:-}" = 1 ]; then
    # Inside the virtual display: start the tool, capture its window once it is mapped.
    if [ -x "$launcher" ]; then
        "$launcher" --program "$binary" >/dev/null 2>&1 &
    else
        "$binary" &
    fi
    tool=$!
    trap 'kill "$tool" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
        window="$(xwininfo -name "$title" 2>/dev/null | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p' || true)"
        if [ -n "$window" ]; then
            sleep 1 # let it find the instrument and draw
            timeout 20 import -window "$window" "$output"
            exit 0
        fi
        if ! kill -0 "$tool" 2>/dev/null; then
            echo "trvloader ended before its window appeared" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "no window titled \"$title\" appeared" >&2
    exit 1
fi

packages=(xvfb xauth x11-utils imagemagick)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -x "$binary" ]; then
    echo "$binary not found: build the project first" >&2
    exit 1
fi

mkdir -p "$(dirname "$output")"
TRV_SCREENSHOT_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
echo "wrote $output"
