#!/usr/bin/env bash
# Sets up a Debian 12 machine for the firmware update tool, builds it, and
#   setup.sh run [launcher options]   starts the tool (on the emulated
#                                     instrument when no instrument is plugged in)
#   setup.sh test                     runs the whole test suite headless; exits
#                                     non-zero on any failure
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRV_BUILD_DIR:-$here/build}"
mode="${1:-}"

case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run [launcher options] | test" >&2
    exit 2
    ;;
esac

# To build, to run on the emulated instrument, and (dpkg-dev, file) to make the .deb.
"$here/tools/install-packages.sh" build-essential cmake pkg-config qtbase5-dev \
    qtbase5-dev-tools libhidapi-dev libhidapi-hidraw0 libudev-dev umockdev libumockdev-dev dpkg-dev file \
    qttools5-dev qttools5-dev-tools qttranslations5-l10n appstream
if [ "$mode" = test ]; then
    # To read the window through the accessibility bus on a virtual display.
    "$here/tools/install-packages.sh" xvfb xauth x11-utils xdotool dbus at-spi2-core \
        libglib2.0-bin python3-pyatspi
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"

case "$mode" in
run)
    exec "$here/tools/run-emulated.sh" "$build" "${@:2}"
    ;;
test)
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
    ;;
esac
