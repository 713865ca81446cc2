#!/bin/sh
# Starts the program in the folder that holds its texture, so that "marquetile.bmp" is found.
# Without a display the program cannot open its window: it says so and exits non-zero.
build="$1"
cd "$(dirname "$0")/../assets" || exit 1
exec "../$build/quillon"
