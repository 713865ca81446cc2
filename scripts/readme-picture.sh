#!/bin/sh
# Makes docs/quillon.png, the picture in the README, from a headless capture.
# Usage: scripts/readme-picture.sh [BUILD_DIR]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
"$build/quillon-capture" --frames 90 --assets "$top/assets" --out "$top/docs/quillon.png" \
    --at 5 key:C --at 10 click:40,60 --at 15 click:200,80 --at 20 click:70,230
echo "wrote docs/quillon.png"
