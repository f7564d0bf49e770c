#!/usr/bin/env bash
# Refreshes the translation sources translations/*.ts from the program's
# sources with lupdate: new texts come in unfinished, for a translator to
# fill in (with Qt Linguist or in a text editor); texts no longer in the
# sources stay in the file, marked vanished, until they are removed by hand.
#   update-translations.sh [TS_FILE...]   (default: every translations/*.ts)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

lupdate=""
for candidate in "${LUPDATE:-}" lupdate /usr/lib/qt5/bin/lupdate; do
    if [ -n "$candidate" ] && command -v "$candidate" >/dev/null; then
        lupdate="$candidate"
        break
    fi
done
[ -n "$lupdate" ] || { echo "lupdate not found (Debian: qttools5-dev-tools)" >&2; exit 1; }

if [ "$#" -gt 0 ]; then
    files=("$@")
else
    files=(translations/*.ts)
fi

# The texts of both programs and of the libraries they share; not those of the
# emulated instrument, the tests or the benchmarks. No line numbers: they would
# change the file with every edit of the sources.
"$lupdate" -locations none -extensions cpp,h,ui \
    app cli hex usb protocol update record host -ts "${files[@]}"
