# Helpers for the end-to-end scenarios; sourced by run.sh, which sets $work, $build_dir,
# $source_dir, fail and pass.

window_title="Velmora's Quillon Framework - Assignment 2"

# Starts the program in the texture's folder and waits for its window; sets $program_pid and
# $window_id.
start_program() {
    (cd "$source_dir/assets" && exec "$build_dir/quillon") > "$work/program.log" 2>&1 &
    program_pid=$!
    window_id=""
    for _ in $(seq 100); do
        window_id=$(xdotool search --name "^${window_title}\$" 2> /dev/null | head -n 1)
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
