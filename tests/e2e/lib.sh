# Helpers for the end-to-end scenarios; sourced by run.sh, which sets $work, $build_dir,
# $source_dir, fail and pass.

window_title="Velmora's Quillon Framework - Assignment 2"

# Starts the program in the texture's folder with the arguments given and waits for its window;
# sets $program_pid and $window_id.
start_program() {
    # The pointer rests where the client area's centre will be, so the view does not turn at
    # start.
    xdotool mousemove 254 292
    # A program that ended on Escape or a click is gone before xdotool releases the key or the
    # button, so the release never reached the server (which no longer resets between
    # programs): let go of both, or the next program would start with Escape held.
    xdotool keyup Escape mouseup 1
    (cd "$source_dir/assets" && exec "$build_dir/quillon" "$@") > "$work/program.log" 2>&1 &
    program_pid=$!
    window_id=""
    # Up to 30 s: a loaded machine may take its time to map the first window.
    for _ in $(seq 300); do
        window_id=$(xdotool search --onlyvisible --name "^${window_title}\$" 2> /dev/null | head -n 1)
        [ -n "$window_id" ] && break
        sleep 0.1
    done
    [ -n "$window_id" ]
}

# Waits for the program to end and checks its exit status.
expect_exit_status() {
    local expected=$1 status=""
    for _ in $(seq 100); do
        if ! kill -0 "$program_pid" 2> /dev/null; then
            wait "$program_pid"
            status=$?
            break
        fi
        sleep 0.1
    done
    program_pid_done=$program_pid
    program_pid=""
    if [ -z "$status" ]; then
        kill "$program_pid_done" 2> /dev/null
        return 1
    fi
    [ "$status" -eq "$expected" ]
}

# Screenshot of the program's window into $work/NAME.png.
screenshot() {
    sleep 0.3
    xwd -silent -id "$window_id" | convert xwd:- "$work/$1.png"
}

# The colour of one pixel of a screenshot, as "r,g,b" in 0..255.
pixel() {
    convert "$work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# How many pixels of a region (WxH+X+Y) of a screenshot are not black.
count_lit() {
    convert "$work/$1.png" -crop "$2" +repage -fill white +opaque black -fill black -opaque black \
        -format "%[fx:int(w*h*mean+0.5)]" info:
}

# How many pixels of a region have exactly the colour given as "r,g,b".
count_colour() {
    convert "$work/$1.png" -crop "$2" +repage -fill white -opaque "rgb($3)" -fill black +opaque white \
        -format "%[fx:int(w*h*mean+0.5)]" info:
}

# The menu bar above the client area, in screenshot rows.
menu_bar_height() {
    local height
    height=$(xdotool getwindowgeometry "$window_id" | awk '/Geometry/ { split($2, size, "x"); print size[2] }')
    echo $((height - 408))
}

# Lit pixels (some channel above 40) of a client-area region WxH+X+Y of a screenshot:
# "count meanX meanY", the mean in client coordinates.
lit_stats() {
    local name=$1 region=$2 offset
    offset=$(menu_bar_height)
    local width=${region%%x*} rest=${region#*x}
    local height=${rest%%+*} xy=${rest#*+}
    local x=${xy%%+*} y=${xy#*+}
    convert "$work/$name.png" -crop "${width}x${height}+${x}+$((y + offset))" +repage -depth 8 txt:- |
        awk -v x0="$x" -v y0="$y" -F'[ ,:()]+' '
            NR > 1 && ($4 > 40 || $5 > 40 || $6 > 40) { n++; sx += $1; sy += $2 }
            END { if (n) printf "%d %d %d\n", n, x0 + sx / n, y0 + sy / n; else print "0 0 0" }'
}

# The colour "r,g,b" of the client pixel (x, y) of a screenshot.
client_pixel() {
    pixel "$1" "$2" $(($3 + $(menu_bar_height)))
}

# Presses a key in the program's window, as a user would.
press() {
    xdotool key --window "$window_id" "$@"
    sleep 0.2
}

# Moves the pointer to the client point (x, y).
move_to() {
    xdotool mousemove --window "$window_id" "$1" $(($2 + $(menu_bar_height)))
    sleep 0.2
}

click_at() {
    move_to "$1" "$2"
    xdotool click 1
    sleep 0.2
}

# The cubes of a screenshot: one line "area centreX centreY" (client coordinates) for every
# lit blob inside the viewport border, largest first.
blobs() {
    local offset
    offset=$(menu_bar_height)
    convert "$work/$1.png" -crop "458x358+11+$((31 + offset))" +repage -separate \
        -evaluate-sequence Max -threshold 5% -morphology Close Square:2 \
        -define connected-components:verbose=true -define connected-components:area-threshold=150 \
        -connected-components 8 null: 2> /dev/null |
        awk '/gray\(255\)/ { split($3, c, ","); print $4, int(c[1]) + 11, int(c[2]) + 31 }' |
        sort -k1,1nr
}

# The lowest cube on screen: object 1, the only one below the others' plane.
lowest_blob() {
    blobs "$1" | sort -k3,3nr | head -n 1
}

# All lit pixels inside the viewport border.
lit_in_viewport() {
    lit_stats "$1" 458x358+11+31 | cut -d' ' -f1
}

# The lowest cube's area, averaged over four screenshots a quarter of a second apart: the cubes
# spin about once a second, and one face-on view covers more than one edge-on.
mean_lowest_area() {
    local total=0 area _
    for sample in 1 2 3 4; do
        screenshot "$1-$sample"
        read -r area _ _ <<< "$(lowest_blob "$1-$sample")"
        total=$((total + ${area:-0}))
    done
    echo $((total / 4))
}
