#!/usr/bin/env bash
# The window against the renderer, in one X server (Xvfb): the real program's frame loop on the
# SDL backend, a bare SDL loop presenting a window of the same size, and the headless frame.
# A frame of the program costs at least a bare present plus a headless frame, so
# 1 / (1/bare + 1/headless) is the most it can reach; the share of it that it does reach is
# what the platform layer costs beyond the bare present. Each figure comes twice: a second of
# the clock, and a second of processor time (the program's and the X server's), which varies
# less while others use the machine.
#
#   bench/window-bench.sh BUILD_DIR [SECONDS]
set -euo pipefail

build=${1:?usage: window-bench.sh BUILD_DIR [SECONDS]}
seconds=${2:-3}
bench=$build/quillon_window_bench
if [[ ! -x $bench ]]; then
    echo "window-bench: no $bench; configure with -DQUILLON_BENCH=ON" >&2
    exit 2
fi

display_number=$((200 + RANDOM % 100))
export DISPLAY=":$display_number"
unset WAYLAND_DISPLAY SDL_VIDEODRIVER
# -noreset: by default the server resets when its last client leaves, and a program started
# during that reset finds its connection closed (SDL: "x11 not available").
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset > /dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2> /dev/null' EXIT
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X$display_number ]] && break
    sleep 0.1
done
export QUILLON_SERVER_PID=$xvfb_pid

field() {
    awk -v key="$1" '$1 == key { print $2, $3 }' <<< "$2"
}

program=$("$bench" program "$seconds")
read -r width height <<< "$(field window "$program")"
program_rates=$(field program "$program")
bare_rates=$(field bare "$("$bench" bare "$width" "$height" "$seconds")")
texture=$("$bench" texture "$width" "$height" "$seconds" 2> /dev/null || true)
texture_rates=$(field texture "$texture")
renderer=$(awk '$1 == "renderer" { print $2 }' <<< "$texture")
headless_rates=$(field headless "$("$bench" headless "$seconds")")

awk -v program="$program_rates" -v bare="$bare_rates" -v headless="$headless_rates" \
    -v texture="${texture_rates:-0 0}" -v renderer="${renderer:-no}" \
    -v size="${width}x$height" 'BEGIN {
    split(program, p); split(bare, b); split(headless, h); split(texture, t)
    printf "window %s under Xvfb               a second   a processor second\n", size
    printf "  bare SDL present (window surface) %10.1f %10.1f\n", b[1], b[2]
    printf "  bare SDL present (%s texture) %10.1f %10.1f\n", renderer, t[1], t[2]
    printf "  headless frame                    %10.1f %10.1f\n", h[1], h[2]
    printf "  program on SDL                    %10.1f %10.1f\n", p[1], p[2]
    for (i = 1; i <= 2; ++i) {
        allowed[i] = 1 / (1 / b[i] + 1 / h[i])
    }
    printf "  allowed by bare and headless      %10.1f %10.1f\n", allowed[1], allowed[2]
    printf "  the program reaches               %9.0f%% %9.0f%%\n", 100 * p[1] / allowed[1],
        100 * p[2] / allowed[2]
}'
