#!/usr/bin/env bash
# Known mistakes in the frames report, from the outside: a frame identical to a mistake's frame
# is named with its title and hint, a frame much closer to one than to the reference names the
# closest, one nearer the reference names none; hostile titles stay escaped, and a bad list is
# refused.
#
#   tests/known_mistakes_test.sh FRAMES-TOOL IMAGE-TOOL SOURCE-FOLDER
set -u

(($# == 3)) || { echo "usage: known_mistakes_test.sh FRAMES IMAGE SOURCE" >&2; exit 2; }
frames=$(realpath "$1")
image=$(realpath "$2")
source=$(realpath "$3")
source "$(dirname "$0")/script_checks.sh"

mistakes="$source/exercises/mistakes/line"
references="$source/exercises/references"
[[ -f "$mistakes/last-pixel/line-shallow.png" ]] || { echo "known_mistakes: no mistakes' frames, nothing to try"; exit 0; }

# A capture tool that renders whatever picture $work/rendered holds.
printf '#!/bin/sh\nwhile [ $# -gt 1 ]; do [ "$1" = --out ] && exec cp "%s" "$2"; shift; done\nexit 2\n' \
    "$work/rendered" > "$work/capture"
chmod +x "$work/capture"
echo "line-shallow --frames 30" > "$work/frames.list"

# run EXPECTED-STATUS RENDERED-PICTURE MISTAKES-LIST: the report of line-shallow rendered as
# the picture, its output in $work/out and $work/err, its page in $work/report.
run() {
    cp "$2" "$work/rendered"
    "$frames" --frames-list "$work/frames.list" --references "$references" --report "$work/report" \
        --capture "$work/capture" --assets "$source/assets" --known-mistakes "$3" \
        > "$work/out" 2> "$work/err"
    local status=$?
    ((status == $1)) || fail "status $status, not $1: $(cat "$work/out" "$work/err")"
}

# Two mistakes' frames, one of them with a title and hint a page and a terminal must not obey.
printf 'line-shallow\t%s\tThe last pixel <b>"left"</b> & out\tBoth end points\xe2\x80\x94say <i>\n' \
    "$mistakes/last-pixel/line-shallow.png" > "$work/known.list"
printf '# a comment\n\nline-shallow\t%s\tRounded\tCarry the exact coordinate.\n' \
    "$mistakes/minor-rounded/line-shallow.png" >> "$work/known.list"
printf 'line-steep\t%s\tAnother scenario'"'"'s\t\n' "$references/line-steep.png" >> "$work/known.list"

run 1 "$mistakes/last-pixel/line-shallow.png" "$work/known.list"
expected=$'  Known mistake: The last pixel <b>"left"</b> & out; hint: Both end points\xe2\x80\x94say <i>'
grep -qxF "$expected" "$work/out" || fail "no known mistake line: $(cat "$work/out")"
grep -qF 'The last pixel &lt;b&gt;&quot;left&quot;&lt;/b&gt; &amp; out; hint: Both end points' \
    "$work/report/index.html" || fail "the page does not name the mistake, escaped"
grep -q '<b>\|<i>' "$work/report/index.html" && fail "the page obeys the title's markup"

run 1 "$mistakes/minor-rounded/line-shallow.png" "$work/known.list"
grep -qx '  Known mistake: Rounded; hint: Carry the exact coordinate.' "$work/out" ||
    fail "the second mistake is not named: $(cat "$work/out")"

# The mistake's frame with one pixel changed, as this build's: much closer to it than to the
# reference, so it is named as the closest.
"$image" brighten 0 "$mistakes/minor-rounded/line-shallow.png" "$work/near.bmp" ||
    fail "no BMP of the mistake's frame"
offset=$(od -An -tu4 -j10 -N4 "$work/near.bmp" | tr -d ' ')
printf '\x40' | dd of="$work/near.bmp" bs=1 seek=$((offset + 2)) conv=notrunc status=none
run 1 "$work/near.bmp" "$work/known.list"
grep -qE '^  Closest known mistake: Rounded \(1 pixel differs from its frame, [0-9]+ from the reference\); hint: Carry the exact coordinate\.$' \
    "$work/out" || fail "the closest mistake is not named: $(cat "$work/out")"
grep -q 'Known mistake:' "$work/out" && fail "a frame identical to none is called a known mistake"

# The reference with one pixel changed is nearer the reference than any mistake: none named.
"$image" brighten 0 "$references/line-shallow.png" "$work/solution.bmp"
printf '\x40' | dd of="$work/solution.bmp" bs=1 seek=$((offset + 2)) conv=notrunc status=none
run 1 "$work/solution.bmp" "$work/known.list"
grep -q 'mistake' "$work/out" && fail "a mistake is named for a frame near the reference: $(cat "$work/out")"

# The solution's own frame is identical: nothing is said of mistakes.
run 0 "$references/line-shallow.png" "$work/known.list"

# A mistake's frame that is gone is said and left out; the run goes on.
printf 'line-shallow\t%s/gone.png\tGone\thint\n' "$work" > "$work/gone.list"
cat "$work/known.list" >> "$work/gone.list"
run 1 "$mistakes/last-pixel/line-shallow.png" "$work/gone.list"
grep -q "a known mistake's frame is left out: .*gone.png" "$work/err" || fail "the missing frame is not said"
grep -q '  Known mistake: The last pixel' "$work/out" || fail "the others are not tried"

# A list with a line of three fields, a control character, or that is not a file is refused.
printf 'line-shallow\tframe.png\ttitle\n' > "$work/bad.list"
run 2 "$mistakes/last-pixel/line-shallow.png" "$work/bad.list"
grep -q 'bad.list:1: a line is four fields' "$work/err" || fail "three fields are taken: $(cat "$work/err")"
printf 'line-shallow\tframe.png\ttitle\x1b[31m\thint\n' > "$work/bad.list"
run 2 "$mistakes/last-pixel/line-shallow.png" "$work/bad.list"
grep -q 'bad.list:1: a field holds a control character' "$work/err" || fail "a control character is taken"
run 2 "$mistakes/last-pixel/line-shallow.png" "$work"
run 2 "$mistakes/last-pixel/line-shallow.png" "$work/none.list"

finish known_mistakes
