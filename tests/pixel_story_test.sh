#!/usr/bin/env bash
# Why a frame differs, from the outside: the capture tool's story of a pixel (--pixel), the
# magnifier's key, and the kind of difference and the first differing pixel's story the frames
# report names.
#
#   tests/pixel_story_test.sh CAPTURE-TOOL FRAMES-TOOL SOURCE-FOLDER
set -u

(($# == 3)) || { echo "usage: pixel_story_test.sh CAPTURE FRAMES SOURCE" >&2; exit 2; }
capture=$(realpath "$1")
frames=$(realpath "$2")
source=$(realpath "$3")
source "$(dirname "$0")/script_checks.sh"
assets="$source/assets"

# Paused from the start, a three-click triangle placed over the cube it is drawn behind.
# shellcheck disable=SC2054
over_cube=(--inspect --frames 30 --at 0 key:P --at 5 key:C --at 10 click:330,120
           --at 15 click:420,120 --at 20 click:370,200)

# The triangle comes first and loses to the cube the last frame left nearer; the border is a
# line with no depth; nothing reaches the corner outside the viewport.
"$capture" "${over_cube[@]}" --assets "$assets" --out "$work/told.bmp" \
    --pixel 390,150 --pixel 10,300 --pixel 5,5 > "$work/story" || fail "the story run failed"
expected='pixel 390,150
refused three-click triangle depth 100 #1e7e61
write object 2 triangle 10 depth 95 #9e472d
final #9e472d depth 95
pixel 10,300
write border depth none #ff0000
final #ff0000 depth 500
pixel 5,5
no writes
final #000000 depth 500'
[[ $(cat "$work/story") == "$expected" ]] || fail "the story: $(cat "$work/story")"

# Telling a story changes no pixel of the frame.
"$capture" "${over_cube[@]}" --assets "$assets" --out "$work/plain.bmp" > /dev/null
cmp -s "$work/told.bmp" "$work/plain.bmp" || fail "--pixel changed the frame"

# Lines name what they are: the wireframe's edges their triangle, the rubber band itself.
"$capture" --frames 20 --at 10 key:F --assets "$assets" --out "$work/w.bmp" --pixel 262,141 \
    > "$work/story"
grep -qx 'write wireframe edge of object 0 triangle 3 depth none #454500' "$work/story" ||
    fail "the wireframe edge: $(cat "$work/story")"
"$capture" --frames 30 --at 5 key:C --at 10 click:40,60 --at 20 move:120,150 --assets "$assets" \
    --out "$work/band.bmp" --pixel 40,60 > "$work/story"
grep -q '^write rubber band depth none #' "$work/story" || fail "the rubber band: $(cat "$work/story")"

# Refused, with one line and exit 2, before any file is written.
many=()
for k in $(seq 65); do many+=(--pixel "$k,100"); done
for bad in "--pixel 492,10" "--pixel 10,454" "--pixel 1,x" "--pixel -1,2" "--pixel 3" \
    "--pixel 1,2,3" "--pixel ,4" "${many[*]}"; do
    # shellcheck disable=SC2086
    "$capture" --frames 2 --assets "$assets" --out "$work/refused.bmp" $bad > "$work/out" 2> "$work/err"
    status=$?
    ((status == 2)) && [[ $(wc -l < "$work/err") == 1 && ! -e "$work/refused.bmp" ]] ||
        fail "${bad:0:40}: status $status, $(cat "$work/err")"
done
grep -q 'more than 64 times' "$work/err" || fail "65 pixels: $(cat "$work/err")"
"$capture" --frames 2 --assets "$assets" --out "$work/ok.bmp" "${many[@]:2}" > /dev/null ||
    fail "64 pixels are refused"

# I shows the magnifier only in a program started to inspect, and I again hides it.
"$capture" --frames 5 --assets "$assets" --out "$work/a.bmp"
"$capture" --frames 5 --at 2 key:I --assets "$assets" --out "$work/b.bmp"
cmp -s "$work/a.bmp" "$work/b.bmp" || fail "I did something in a plain program"
"$capture" --inspect --frames 5 --assets "$assets" --out "$work/c.bmp"
"$capture" --inspect --frames 5 --at 2 key:I --at 3 key:I --assets "$assets" --out "$work/d.bmp"
cmp -s "$work/c.bmp" "$work/d.bmp" || fail "I again does not hide the magnifier"
"$capture" --inspect --frames 5 --at 2 key:I --assets "$assets" --out "$work/e.bmp"
cmp -s "$work/c.bmp" "$work/e.bmp" && fail "I shows no magnifier"

# The kind of difference: a reference with a background pixel drawn and a cube's pixel in
# another colour, and the wireframe against the filled frame, whose kinds add up to the count.
set_pixel() {  # FILE X Y: pixel (X, Y) of a bottom-up 24-bit BMP becomes #402010
    local file=$1 x=$2 y=$3 offset width height
    offset=$(od -An -tu4 -j10 -N4 "$file" | tr -d ' ')
    width=$(od -An -td4 -j18 -N4 "$file" | tr -d ' ')
    height=$(od -An -td4 -j22 -N4 "$file" | tr -d ' ')
    printf '\x10\x20\x40' | dd of="$file" bs=1 seek=$((offset + (height - 1 - y) * ((width * 3 + 3) / 4 * 4) + x * 3)) \
        conv=notrunc status=none
}
mkdir "$work/refs"
cp "$source/tests/golden/first-frame.bmp" "$work/refs/still.bmp"
set_pixel "$work/refs/still.bmp" 5 420
set_pixel "$work/refs/still.bmp" 250 172
"$capture" --frames 1 --assets "$assets" --out "$work/refs/wire.bmp"
printf 'still --frames 1\nwire --frames 20 --at 10 key:F\n' > "$work/refs/kinds.list"
(cd "$source" && "$frames" --capture "$capture" --frames-list "$work/refs/kinds.list" \
    --report "$work/report") > "$work/out" 2>&1
grep -A1 '^still: 2 pixels differ' "$work/out" | grep -qx '  0 drawn here only, 1 drawn in the reference only, 1 drawn in both in other colours (largest channel difference 76, mean 50.7); 1 on the reference.s edges, 1 inside' ||
    fail "the kinds of two changed pixels: $(cat "$work/out")"
count=$(sed -n 's/^wire: \([0-9]*\) pixels differ.*/\1/p' "$work/out")
read -r here reference both edges inside < <(grep -A1 '^wire:' "$work/out" | tail -1 |
    sed 's/[^0-9 ]//g; s/([^)]*)//' | awk '{print $1, $2, $3, $(NF-1), $NF}')
((here + reference + both == count && edges + inside == count && reference > 0 && both > 0)) ||
    fail "the wireframe's kinds do not add up to $count: $(cat "$work/out")"
grep -q '<dt>kind of difference</dt>' "$work/report/index.html" || fail "the page names no kind"

# The page tells the story of each frame's first differing pixel, as the capture tool tells it.
"$capture" --frames 1 --assets "$assets" --out "$work/story.bmp" --pixel 250,172 |
    tail -n +2 > "$work/told"
sed -n '/<section class="differs" id="still">/,/<\/section>/p' "$work/report/index.html" |
    sed -n '/<pre class="story">/,/<\/pre>/p' | sed 's/<pre class="story">//; s/<\/pre>//' > "$work/shown"
grep -q '^write object' "$work/told" && cmp -s "$work/told" "$work/shown" ||
    fail "the page's story of (250, 172): $(cat "$work/shown"), not $(cat "$work/told")"
grep -q 'first differing pixel (250, 172)' "$work/report/index.html" || fail "the story names no pixel"

finish pixel_story
