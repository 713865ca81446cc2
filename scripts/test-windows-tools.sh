#!/bin/sh
# The Windows tools under Wine, from the outside: every golden frame through quillon-capture.exe,
# the frames report on the project's list and on a changed reference, quillon-image.exe on a BMP,
# a PNG and a JPEG against the Linux tool, and the file rules Wine can show, the report folder's
# among them.
# Usage: scripts/test-windows-tools.sh BUILD_DIR [LINUX_BUILD_DIR]
# Runs inside test-windows.sh's Wine prefix; exits non-zero when any check fails.
set -u

build=$(cd "${1:-build-windows}" && pwd)
linux_build=$(cd "${2:-build}" 2>/dev/null && pwd || echo "${2:-build}")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "$build/tools-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

pass() { echo "ok   $1"; }
fail() { echo "FAIL $1" >&2; failures=$((failures + 1)); }
check() { label=$1; shift; if "$@"; then pass "$label"; else fail "$label"; fi; }
tool() { program=$1; shift; wine "$build/$program.exe" "$@"; }
# Wine's own words on stderr are not the tool's.
quiet() { "$@" 2> "$work/stderr"; }

cd "$work"
cp -r "$source_dir/assets" assets
cp -r "$source_dir/tests/golden" golden

# Every golden frame, head-up text included, byte for byte.
grep -v '^#' golden/frames.list | while read -r name arguments; do
    # shellcheck disable=SC2086
    tool quillon-capture $arguments --assets assets --out "$name.bmp" > /dev/null 2>&1
    if cmp -s "$name.bmp" "golden/$name.bmp"; then pass "capture $name"; else echo "$name" >> failed-frames; fail "capture $name"; fi
done
[ -f failed-frames ] && failures=$((failures + $(wc -l < failed-frames)))

# The frames report: every frame identical, exit 0, its pictures the references'.
tool quillon-frames --frames-list golden/frames.list --report report --assets assets \
    --capture "$build/quillon-capture.exe" > frames.out 2>&1
status=$?
check "frames report exits 0 on the project's list" [ $status -eq 0 ]
check "frames report names every scenario identical" \
    [ "$(grep -c identical frames.out)" -ge "$(grep -vc '^#' golden/frames.list)" ]
check "frames report writes index.html" [ -s report/index.html ]
if [ -x "$linux_build/quillon-image" ]; then
    for name in first-frame step-100; do
        "$linux_build/quillon-image" brighten 0 "report/$name-frame.png" "$name-from-report.bmp" > /dev/null 2>&1
        check "report picture $name equals its reference" cmp -s "$name-from-report.bmp" "golden/$name.bmp"
    done
fi

# One reference changed: exit 1, and that scenario named as differing.
cp -r golden changed
tool quillon-image invert changed/wireframe.bmp changed/wireframe.bmp > /dev/null 2>&1
tool quillon-frames --frames-list changed/frames.list --report changed-report --assets assets \
    --capture "$build/quillon-capture.exe" > changed.out 2>&1
status=$?
check "frames report exits 1 on a changed reference" [ $status -eq 1 ]
check "frames report names the changed scenario" grep -q "wireframe.*differ" changed.out
check "frames report keeps the other scenarios identical" grep -q "first-frame.*identical" changed.out

# The image tool: the same bytes as the Linux tool, BMP in, PNG in, JPEG in.
if [ -x "$linux_build/quillon-image" ]; then
    linux="$linux_build/quillon-image"
    "$linux" brighten 0 golden/first-frame.bmp picture.png > /dev/null 2>&1
    # A JPEG as a camera would write it: the image tool reads JPEG but does not write it.
    convert golden/first-frame.bmp -quality 85 picture.jpg 2> /dev/null ||
        cp "$source_dir/tests/pictures/data/sample.jpg" picture.jpg 2> /dev/null
    for input in golden/first-frame.bmp picture.png picture.jpg; do
        [ -s "$input" ] || { fail "no JPEG to read ($input): install ImageMagick"; continue; }
        for operation in "rotate 30" "resample 317 211 --smooth" "convolve gauss3" "dither-diffuse 3"; do
            for output in bmp png; do
                base="$(basename "$input" | tr . -)-$(echo "$operation" | tr ' ' -).$output"
                # shellcheck disable=SC2086
                "$linux" $operation "$input" "linux-$base" > /dev/null 2>&1
                # shellcheck disable=SC2086
                tool quillon-image $operation "$input" "windows-$base" > /dev/null 2> "windows-$base.err"
                label="image tool $operation on $input to $output as on Linux"
                if [ -s "linux-$base" ] && cmp -s "linux-$base" "windows-$base"; then
                    pass "$label"
                else
                    fail "$label"
                    # What a person needs to tell a flaw from a flake.
                    { ls -l "linux-$base" "windows-$base"; cmp "linux-$base" "windows-$base"
                      cat "windows-$base.err"; } >&2
                fi
            done
        done
    done
    "$linux" invert picture.png - > linux-stdout.bmp 2> /dev/null
    tool quillon-image invert picture.png - > windows-stdout.bmp 2> /dev/null
    check "image tool writes - as binary standard output" cmp -s linux-stdout.bmp windows-stdout.bmp
    "$linux" invert nothing.bmp x.bmp > /dev/null 2> linux-message
    # Windows ends a line of text with CR LF.
    quiet tool quillon-image invert nothing.bmp x.bmp > /dev/null; tr -d "\r" < "$work/stderr" > windows-message
    check "image tool's refusal of a missing file is the Linux tool's" cmp -s linux-message windows-message
fi

[ -x "$linux_build/quillon-image" ] ||
    echo "skip the pictures against the Linux image tool: no $linux_build/quillon-image (run make)"

# File rules: a read-only file refused and left alone; no temporary left; a folder refused;
# Unicode names; the same file under two spellings.
cp golden/first-frame.bmp locked.bmp
wine attrib +r locked.bmp > /dev/null 2>&1 || chmod a-w locked.bmp
cp locked.bmp locked-before.bmp
quiet tool quillon-image invert golden/first-frame.bmp locked.bmp
status=$?
check "a read-only output is refused" [ $status -ne 0 ]
check "a read-only output is left alone" cmp -s locked.bmp locked-before.bmp
chmod u+w locked.bmp
quiet tool quillon-image invert golden/first-frame.bmp golden
check "a folder as output is refused" grep -q "Is a directory" "$work/stderr"
check "no temporary is left beside the outputs" [ -z "$(find . -name '.quillon-*')" ]
tool quillon-image invert golden/first-frame.bmp "caf$(printf '\303\251')-ünï.bmp" > /dev/null 2>&1
check "a Unicode name is written as given" [ -s "caf$(printf '\303\251')-ünï.bmp" ]
tool quillon-image invert "caf$(printf '\303\251')-ünï.bmp" unicode-back.bmp > /dev/null 2>&1
check "a Unicode name is read" [ -s unicode-back.bmp ]
mkdir -p sub
cp golden/first-frame.bmp sub/same.bmp
quiet tool quillon-capture --frames 1 --assets assets --out 'sub\same.bmp' --compare 'SUB/./same.bmp'
check "the capture refuses writing over its reference under another spelling" grep -q "reference" "$work/stderr"
tool quillon-capture --frames 1 --assets assets --out "$(winepath -w "$work")\\drive.bmp" > /dev/null 2>&1
check "a drive letter and backslashes lead where they say" cmp -s drive.bmp golden/first-frame.bmp

# A tool killed while it writes (as TerminateProcess or a closed console ends it) leaves
# neither a temporary nor a part of the output: the temporary vanishes with its handle.
mkdir killed
wine "$build/quillon-image.exe" resample 9000 9000 golden/first-frame.bmp killed/big.bmp \
    > /dev/null 2>&1 &
writer=$!
for attempt in $(seq 1 100); do
    [ -n "$(find killed -name '.quillon-*' -size +1M)" ] && break
    sleep 0.1
done
check "a large output is written to a temporary first" [ -n "$(find killed -name '.quillon-*')" ]
kill -KILL $writer 2> /dev/null
wait $writer 2> /dev/null
wineserver -w
check "a tool killed while writing leaves nothing behind" [ -z "$(ls -A killed)" ]

# A child that crashes or hangs costs one scenario, within its time limit and without a dialog;
# its own children end with it.
printf 'hang --hang\ncrash --crash\n' > misbehaving.list
cp golden/first-frame.bmp hang.bmp
cp golden/first-frame.bmp crash.bmp
tool quillon-frames --frames-list misbehaving.list --report misbehaving-report --assets assets \
    --time-limit 2 --capture "$build/misbehaving_capture.exe" > misbehaving.out 2>&1
status=$?
check "the frames report counts a hung and a crashed capture as not rendered (exit 1)" [ $status -eq 1 ]
check "a hung capture is ended at its time limit" grep -q "hang.*did not finish within 2 seconds" misbehaving.out
check "a crashed capture is named by its exception" grep -q "crash.*crashed with exception 0xC0000005" misbehaving.out
sleep 1
check "no capture or child of one outlives the report" \
    sh -c '! ps -eo args | grep -v grep | grep -q misbehaving_capture'

# The report folder is the run's alone: a second run into a folder another run holds is refused
# (exit 2); a link planted under a picture's or the page's name is replaced, and the file it
# points at outside the folder is left as it was; nothing of a run stays in the folder.
printf 'hang --hang\n' > held.list
tool quillon-frames --frames-list held.list --report held-report --assets assets \
    --time-limit 6 --capture "$build/misbehaving_capture.exe" > held-first.out 2>&1 &
first=$!
for attempt in $(seq 1 100); do
    [ -s held-report/index.html ] && break
    sleep 0.1
done
quiet tool quillon-frames --frames-list golden/frames.list --report held-report --assets assets \
    --capture "$build/quillon-capture.exe" > held-second.out
status=$?
check "a second run into a held report folder is refused (exit 2)" [ $status -eq 2 ]
check "the second run is told the folder is in use" grep -q "in use by another run" "$work/stderr"
wait $first
check "the first run goes on to its end" grep -q "hang.*did not finish within 6 seconds" held-first.out
check "nothing of a run stays in its report folder" [ -z "$(find held-report -name '.quillon-*')" ]

printf 'first-frame --frames 1\n' > planted.list
cp golden/first-frame.bmp first-frame.bmp
mkdir planted-report
echo "a file outside the report" > outside.txt
cp outside.txt outside-before.txt
ln -s "$work/outside.txt" planted-report/first-frame-frame.png
ln -s "$work/outside.txt" planted-report/index.html
tool quillon-frames --frames-list planted.list --report planted-report --assets assets \
    --capture "$build/quillon-capture.exe" > planted.out 2>&1
status=$?
check "a report over planted links runs (exit 0)" [ $status -eq 0 ]
check "a file a planted link points at is left as it was" cmp -s outside.txt outside-before.txt
check "a link named like a picture is replaced by the picture" \
    sh -c '[ ! -L "$1" ] && [ "$(head -c 4 "$1" | tail -c 3)" = PNG ]' sh planted-report/first-frame-frame.png
check "a link named like the page is replaced by the page" \
    sh -c '[ ! -L "$1" ] && grep -q first-frame "$1"' sh planted-report/index.html

# A capture tool that is a folder, or a file that is no program, is a bad argument: exit 2, one
# line, no scenario run.
for refusal in "assets:it is not a file" "planted.list:it is not a program"; do
    capture=${refusal%%:*}
    quiet tool quillon-frames --frames-list planted.list --report refused-report --assets assets \
        --capture "$work/$capture" > refused.out
    status=$?
    check "--capture naming $capture is refused with exit 2 and one line" \
        sh -c '[ $1 -eq 2 ] && [ "$(grep -c . "$2")" -eq 1 ] && grep -q "$3" "$2" && [ ! -s refused.out ]' \
        sh $status "$work/stderr" "${refusal#*:}"
done

# A texture that is no regular file is not read, and the capture says why.
mkdir -p folder-texture/marquetile.bmp
quiet tool quillon-capture --frames 1 --assets folder-texture --out folder-texture.bmp
check "a texture that is a folder is named as no regular file" \
    grep -q "texture is not read.*it is not a regular file" "$work/stderr"

echo "test-windows tools: $failures failed"
[ $failures -eq 0 ]
