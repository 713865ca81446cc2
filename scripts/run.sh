#!/bin/sh
# Starts the program in the folder that holds its texture, so that "marquetile.bmp" is found.
# Where there is no display, renders the default capture headless instead and says where.
# Usage: scripts/run.sh [BUILD_DIR [--inspect]]
build=$(cd "${1:-build}" && pwd)
[ $# -gt 0 ] && shift
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    cd "$top/assets" && exec "$build/quillon" "$@"
fi
mkdir -p "$top/out"
echo "No display: rendering 120 frames headless instead."
"$build/quillon-capture" "$@" --assets "$top/assets" --out "$top/out/quillon.bmp" || exit 1
echo "Wrote out/quillon.bmp (the last frame); set DISPLAY to see the program in a window."
