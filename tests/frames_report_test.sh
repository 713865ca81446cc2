#!/usr/bin/env bash
# The frames report from the outside: the project's own list, a reference with one pixel
# changed, a teacher's list and folder, input the reference did not have, a capture tool that
# crashes or hangs, and every way the report refuses to run. The project's report is left in
# REPORT, where a failing golden test sends the reader.
#
#   tests/frames_report_test.sh FRAMES-TOOL CAPTURE-TOOL SOURCE-FOLDER REPORT
set -u

(($# == 4)) || { echo "usage: frames_report_test.sh FRAMES CAPTURE SOURCE REPORT" >&2; exit 2; }
frames=$(realpath "$1")
capture=$(realpath "$2")
source=$(realpath "$3")
report=$4
source "$(dirname "$0")/script_checks.sh"

# run EXPECTED-STATUS ARGUMENTS...: the tool from the source folder, its output in $work/out
# and $work/err.
run() {
    local expected=$1
    shift
    (cd "$source" && "$frames" --capture "$capture" "$@") > "$work/out" 2> "$work/err"
    local status=$?
    ((status == expected)) || fail "status $status, not $expected, for $*: $(cat "$work/out" "$work/err")"
}

# The section of the report's page about one scenario.
section() { sed -n "/<section class=\"differs\" id=\"$2\">/,/<\/section>/p" "$1/index.html"; }

# Flips a bit of the red byte of pixel (X, Y) in a bottom-up 24-bit BMP.
change_pixel() {
    local file=$1 x=$2 y=$3
    local offset width height
    offset=$(od -An -tu4 -j10 -N4 "$file" | tr -d ' ')
    width=$(od -An -td4 -j18 -N4 "$file" | tr -d ' ')
    height=$(od -An -td4 -j22 -N4 "$file" | tr -d ' ')
    local at=$((offset + (height - 1 - y) * ((width * 3 + 3) / 4 * 4) + x * 3 + 2))
    local byte
    byte=$(od -An -tu1 -j$at -N1 "$file" | tr -d ' ')
    printf "\\x$(printf %02x $((byte ^ 64)))" | dd of="$file" bs=1 seek=$at conv=notrunc status=none
}

is_png() { [[ $(head -c 8 "$1" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]]; }

# The project's list against its own references: every frame identical.
run 0 --report "$report"
scenarios=$(grep -c '^[^#]' "$source/tests/golden/frames.list")
[[ $(grep -c ': identical$' "$work/out") == "$scenarios" ]] || fail "not every line says identical"
grep -qx "$scenarios of $scenarios frames identical" "$work/out" || fail "no summary line"
grep -q "$scenarios of $scenarios frames identical" "$report/index.html" || fail "the page has no summary"
for picture in "$report"/*.png; do
    is_png "$picture" || fail "$picture is not a PNG"
done

# One pixel of one reference changed: that scenario, that pixel, in the output and the page.
cp -r "$source/tests/golden" "$work/changed"
change_pixel "$work/changed/three-click-triangle.bmp" 100 120
run 1 --references "$work/changed" --report "$work/r1"
grep -qx 'three-click-triangle: 1 pixel differs, the first at (100, 120)' "$work/out" ||
    fail "the changed pixel is not named: $(cat "$work/out")"
grep -qx "$((scenarios - 1)) of $scenarios frames identical" "$work/out" || fail "wrong summary"
changed=$(section "$work/r1" three-click-triangle)
grep -q '1 pixel differs' <<< "$changed" && grep -q '(100, 120) to (100, 120), 1 x 1 pixels' <<< "$changed" ||
    fail "the page does not show the pixel: $changed"
[[ $(grep -c '<section class="differs"' "$work/r1/index.html") == 1 ]] || fail "other sections differ"
for kind in reference frame difference reference-crop frame-crop; do
    is_png "$work/r1/three-click-triangle-$kind.png" && grep -q "three-click-triangle-$kind.png" <<< "$changed" ||
        fail "no $kind picture in the page"
done

# A teacher's own list and folder, one reference a PNG; then input the reference did not have.
mkdir "$work/teacher"
cp "$source/tests/golden/first-frame.bmp" "$work/teacher/still.bmp"
"$capture" --frames 20 --at 10 key:F --assets "$source/assets" --out "$work/teacher/wire.png"
printf '# my frames\r\nstill --frames 1\r\n\r\n  wire\t--frames 20 --at 10 key:F\r\n' > "$work/teacher/mine.list"
run 0 --frames-list "$work/teacher/mine.list" --report "$work/r2"
[[ $(cat "$work/out") == *"still: identical"*"wire: identical"*"2 of 2 frames identical"* ]] ||
    fail "the teacher's list: $(cat "$work/out")"
printf 'still --frames 1 --at 0 key:F\n' > "$work/teacher/pressed.list"
run 1 --frames-list "$work/teacher/pressed.list" --references "$work/teacher" --report "$work/r3"
grep -q '^still: [0-9]* pixels differ' "$work/out" || fail "a frame in wireframe passed: $(cat "$work/out")"
pressed=$(section "$work/r3" still)
grep -q 'around the first difference' <<< "$pressed" || fail "differences wider than the crop: $pressed"
source "$(dirname "$0")/bmp_sample.sh"
bmp "$work/teacher/tiny.bmp" 5 4 24
printf 'tiny --frames 1\n' > "$work/teacher/tiny.list"
run 1 --frames-list "$work/teacher/tiny.list" --report "$work/r3"
grep -qx 'tiny: the frame is [0-9]* x [0-9]* pixels, the reference 5 x 4' "$work/out" ||
    fail "a reference of another size: $(cat "$work/out")"

# A capture tool that crashes, and one that hangs, cost their scenario and no more.
printf '#!/bin/sh\nkill -SEGV $$\n' > "$work/crashes"
printf '#!/bin/sh\nexec sleep 30\n' > "$work/hangs"
chmod +x "$work/crashes" "$work/hangs"
run 1 --frames-list "$work/teacher/mine.list" --report "$work/r2" --capture "$work/crashes"
grep -q '^wire: not rendered: .*signal 11' "$work/out" || fail "a crash: $(cat "$work/out")"
! grep -q 'frame.png' "$work/r2/index.html" || fail "the page shows the frame of an earlier run"
run 1 --frames-list "$work/teacher/mine.list" --report "$work/r4" --capture "$work/hangs" --time-limit 1
grep -q '^still: not rendered: .*within 1 second$' "$work/out" || fail "a hang: $(cat "$work/out")"

# What the capture tool says is escaped in the page, and its refusal means the report cannot run.
printf 'still --frames 1 --at 0 key:<b>&\n' > "$work/teacher/odd.list"
run 2 --frames-list "$work/teacher/odd.list" --report "$work/r5"
grep -q 'key:&lt;b&gt;&amp;' "$work/r5/index.html" && ! grep -q 'key:<b>' "$work/r5/index.html" ||
    fail "unescaped text in the page"

# Refusals name the line or the scenario and why, and render nothing.
printf 'still --frames 1\nstill --frames 2\n.hidden --frames 1\nout --out x.bmp\nq "a b"\n' > "$work/teacher/bad.list"
run 2 --frames-list "$work/teacher/bad.list" --report "$work/r6"
for reason in "bad.list:2: 'still' is named on line 1 already" "bad.list:3: '.hidden' cannot name" \
    "bad.list:4: --out is for the report" "bad.list:5: quotes and backslashes"; do
    grep -qF "$reason" "$work/err" || fail "no refusal '$reason': $(cat "$work/err")"
done
printf 'still --frames 1\nlost --frames 1\n' > "$work/teacher/lost.list"
run 2 --frames-list "$work/teacher/lost.list" --report "$work/r6"
grep -qF "no reference for 'lost' (line 2)" "$work/err" || fail "a missing reference: $(cat "$work/err")"
run 2 --frames-list "$work/teacher/mine.list" --report "$work/teacher"
grep -q 'holds the list or the references' "$work/err" || fail "a report among the references"
[[ ! -e $work/r6 ]] || fail "a refused run wrote a report"

# Links and FIFOs planted in the report folder are replaced, never written through: nothing
# lands outside the folder or on a reference, and a link to a reference is no frame of this run.
mkdir "$work/planted"
echo victim > "$work/victim.txt"
ln -s "$work/victim.txt" "$work/planted/still-frame.png"
ln -s "$work/victim.txt" "$work/planted/index.html"
cp "$work/teacher/still.bmp" "$work/teacher/pressed.bmp"
ln -s "$work/teacher/pressed.bmp" "$work/planted/pressed-frame.png"
mkfifo "$work/planted/pressed-reference.png"
printf 'still --frames 1\npressed --frames 1 --at 0 key:F\n' > "$work/teacher/planted.list"
run 1 --frames-list "$work/teacher/planted.list" --report "$work/planted" --time-limit 20
[[ $(cat "$work/victim.txt") == victim ]] || fail "a planted link was written through"
cmp -s "$work/teacher/pressed.bmp" "$work/teacher/still.bmp" || fail "a reference was written"
grep -q '^pressed: [0-9]* pixels differ' "$work/out" || fail "a planted frame was judged: $(cat "$work/out")"
[[ ! -L $work/planted/index.html && ! -p $work/planted/pressed-reference.png ]] || fail "a planted name stays"

# A capture tool that makes no frame, or is no program, is no frame identical; a run refused
# after an earlier one leaves no page claiming that one's result.
run 1 --frames-list "$work/teacher/mine.list" --report "$work/planted" --capture /bin/true
grep -q '^still: not rendered: .*made no frame' "$work/out" || fail "/bin/true: $(cat "$work/out")"
for bad in "$work" "$work/teacher/mine.list"; do
    run 2 --frames-list "$work/teacher/mine.list" --report "$work/r7" --capture "$bad"
    [[ $(wc -l < "$work/err") == 1 && ! -s $work/out ]] || fail "--capture $bad: $(cat "$work/out" "$work/err")"
done
run 0 --frames-list "$work/teacher/mine.list" --report "$work/r7"
run 2 --frames-list "$work/teacher/lost.list" --report "$work/r7"
grep -q 'a run refused' "$work/r7/index.html" && ! grep -q 'frames identical' "$work/r7/index.html" ||
    fail "a refused run left the earlier page"
run 2 --frames-list "$work/teacher/mine.list" --report "$work/teacher/a/b/../.."
[[ ! -e $work/teacher/a ]] || fail "a refused report folder was made"

# TERM ends the run and its children, and the page claims nothing; a second run meanwhile is
# refused. The hanging capture tool here leaves a grandchild that must go too.
printf '#!/bin/sh\nsleep 30 &\necho $! > "%s"\nwait\n' "$work/grandchild" > "$work/spawns"
chmod +x "$work/spawns"
(cd "$source" && exec "$frames" --capture "$work/spawns" --frames-list "$work/teacher/mine.list" --report "$work/r8") > /dev/null 2>&1 &
first=$!
for ((i = 0; i < 100; ++i)); do [[ -s $work/grandchild ]] && break; sleep 0.1; done
run 2 --frames-list "$work/teacher/mine.list" --report "$work/r8"
grep -q 'in use by another run' "$work/err" || fail "a second run into a held folder: $(cat "$work/err")"
kill -TERM $first
wait $first
(($? == 143)) || fail "TERM did not end the report by TERM"
sleep 0.2
# Ended, though maybe not yet reaped by whoever inherited it.
state=$(cut -d' ' -f3 "/proc/$(cat "$work/grandchild")/stat" 2> /dev/null)
[[ -z $state || $state == Z ]] || fail "the capture's child outlived the report"
grep -q 'interrupted by SIGTERM' "$work/r8/index.html" && ! ls "$work/r8" | grep -q 'frame.png' ||
    fail "an interrupted run left a result"

# A reference swapped for a FIFO once the run has begun is refused, not waited on.
printf '#!/bin/sh\nrm "%s"; mkfifo "%s"\nexec "%s" "$@"\n' "$work/teacher/swap.bmp" "$work/teacher/swap.bmp" "$capture" > "$work/swaps"
chmod +x "$work/swaps"
cp "$work/teacher/still.bmp" "$work/teacher/swap.bmp"
printf 'swap --frames 1\n' > "$work/teacher/swap.list"
run 2 --frames-list "$work/teacher/swap.list" --report "$work/r9" --capture "$work/swaps"
grep -q "^swap: cannot run: .*swap.bmp': it is not a regular file" "$work/out" || fail "a FIFO reference: $(cat "$work/out")"

# A list may begin with a byte-order mark; what the terminal shows has its control characters
# escaped. 100,000 lines are refused at once, not after a quadratic search for duplicates.
printf '\xef\xbb\xbfstill --frames 1\n' > "$work/teacher/marked.list"
run 0 --frames-list "$work/teacher/marked.list" --report "$work/r9"
printf 'a\033[31m --frames 1\n' > "$work/teacher/escape.list"
run 2 --frames-list "$work/teacher/escape.list" --report "$work/r9"
grep -qF "'a\\x1b[31m' cannot name" "$work/err" || fail "a control character reached the terminal: $(cat -v "$work/err")"
seq 1 100000 | sed 's/^/s/; s/$/ --frames 1/' > "$work/teacher/long.list"
echo 's7 --frames 2' >> "$work/teacher/long.list"
run 2 --frames-list "$work/teacher/long.list" --report "$work/r9"
grep -q "long.list:100001: 's7' is named on line 7 already" "$work/err" || fail "the duplicate in a long list"

# A reference wider than a PNG may be is a difference in size all the same.
printf "BM$(le32 3000058)$(le32 0)$(le32 54)$(le32 40)$(le32 1000001)$(le32 1)$(le16 1)$(le16 24)" > "$work/teacher/wide.bmp"
truncate -s 3000058 "$work/teacher/wide.bmp"
printf 'wide --frames 1\n' > "$work/teacher/wide.list"
run 1 --frames-list "$work/teacher/wide.list" --report "$work/r9"
grep -q '^wide: the frame is [0-9]* x [0-9]* pixels, the reference 1000001 x 1; the reference is not shown' "$work/out" ||
    fail "a reference too wide for a PNG: $(cat "$work/out")"

finish "frames report"
