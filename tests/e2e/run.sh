#!/bin/bash
# End to end: the real program on the SDL backend in a real X server (Xvfb), driven with
# xdotool, looked at with screenshots. Usage: tests/e2e/run.sh BUILD_DIR
# Screenshots of a failing run stay in BUILD_DIR/e2e/ for a person to look at.
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${1:-build}" && pwd)
work="$build_dir/e2e"
rm -rf "$work"
mkdir -p "$work"

cc -Wall -Wextra -o "$work/close_window" "$source_dir/tests/e2e/close_window.c" -lX11 || exit 1

display_number=$((90 + RANDOM % 100))
export DISPLAY=":$display_number"
# -noreset: by default the server resets when its last client leaves, and a program started
# during that reset finds its connection closed (SDL: "x11 not available").
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2> /dev/null
    kill "$xvfb_pid" 2> /dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do
    xdotool getdisplaygeometry > /dev/null 2>&1 && break
    sleep 0.1
done

failures=0
fail() {
    echo "e2e: FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "e2e: ok: $*"
}

source "$source_dir/tests/e2e/lib.sh"
for scenario in "$source_dir"/tests/e2e/scenario_*.sh; do
    source "$scenario"
done

if [ "$failures" -ne 0 ]; then
    echo "e2e: $failures check(s) failed; screenshots are in $work"
    exit 1
fi
rm -f "$work"/*.png
echo "e2e: all checks passed"
