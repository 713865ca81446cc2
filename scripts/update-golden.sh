#!/bin/sh
# Renders the reference frames of tests/golden/frames.list anew with the capture tool.
# Usage: scripts/update-golden.sh [BUILD_DIR]   (after a change that is meant to alter them)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
grep -v '^#' "$top/tests/golden/frames.list" | while read -r name arguments; do
    [ -n "$name" ] || continue
    # shellcheck disable=SC2086
    "$build/quillon-capture" $arguments --assets "$top/assets" --out "$top/tests/golden/$name.bmp"
    echo "wrote tests/golden/$name.bmp"
done
