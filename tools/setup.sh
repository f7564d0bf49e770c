#!/usr/bin/env bash
# Sets up a Debian 12 machine for the firmware update tool, builds it, and
#   setup.sh run    starts the tool (on the emulated instrument when no real
#                   instrument is plugged in)
#   setup.sh test   runs the whole test suite headless; exits non-zero on any failure
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRV_BUILD_DIR:-$here/build}"
mode="${1:-}"

packages=(build-essential cmake pkg-config qtbase5-dev qtbase5-dev-tools
          libhidapi-dev libhidapi-hidraw0 umockdev libumockdev-dev xvfb xauth)

case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    echo "Installing missing Debian packages: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs="$(nproc)"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"

case "$mode" in
run)
    exec "$here/tools/run-emulated.sh" "$build"
    ;;
test)
    ctest --test-dir "$build" --output-on-failure --timeout 600
    ;;
esac
