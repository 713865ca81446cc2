#!/bin/sh
# Makes the pictures in the README from headless captures: docs/quillon.png, and the one scene
# of "Looking inside a frame" (paused, then stepped 22 times) in colour, depth and overdraw.
# Usage: scripts/readme-picture.sh [BUILD_DIR]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
"$build/quillon-capture" --frames 90 --assets "$top/assets" --out "$top/docs/quillon.png" \
    --at 5 key:C --at 10 click:40,60 --at 15 click:200,80 --at 20 click:70,230
echo "wrote docs/quillon.png"

inspected() {
    name=$1
    shift
    # shellcheck disable=SC2086
    "$build/quillon-capture" --inspect --frames 30 --at 0 key:P $steps "$@" \
        --assets "$top/assets" --out "$top/docs/look-inside-$name.png"
    echo "wrote docs/look-inside-$name.png"
}
steps=""
for _ in $(seq 22); do
    steps="$steps --at 10 key:N"
done
inspected colour
inspected depth --at 20 key:Z
inspected overdraw --at 20 key:O
