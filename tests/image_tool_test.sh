#!/usr/bin/env bash
# quillon-image from the outside: every operation on a real file, the help, and every way of
# failing (exit status 2, a message naming the reason, no output file, nothing left behind).
#
#   tests/image_tool_test.sh PATH/TO/quillon-image
set -u

tool=${1:?usage: image_tool_test.sh PATH/TO/quillon-image}
source "$(dirname "$0")/script_checks.sh"

source "$(dirname "$0")/bmp_sample.sh"

bmp "$work/in.bmp" 5 4 24
bmp "$work/over.bmp" 3 3 24
bmp "$work/flat.bmp" 5 2 24
bmp "$work/palette.bmp" 4 4 8
bmp "$work/deep.bmp" 4 4 16

# succeeds NAME ARGUMENTS...: exit 0, a BMP at out.bmp, no temporary beside it.
succeeds() {
    rm -f "$work/out.bmp"
    "$tool" "$@" "$work/in.bmp" "$work/out.bmp" 2> "$work/err"
    local status=$?
    if ((status != 0)); then
        fail "$* exited with $status ($(cat "$work/err"))"
        return
    fi
    [[ $(head -c 2 "$work/out.bmp" 2> /dev/null) == BM ]] || fail "$*: no BMP written"
    [[ -z $(ls "$work" | grep partial) ]] || fail "$*: a temporary was left behind"
}

succeeds resample 8 3
succeeds resample 3 7 --smooth
succeeds flip --vertical
succeeds flip --horizontal
succeeds flip --vertical --horizontal
succeeds rotate 30
succeeds rotate -90
succeeds invert
succeeds brighten -20
succeeds grey
succeeds dither-ordered 2
succeeds dither-ordered 16
succeeds dither-pattern 4
succeeds dither-diffuse 4
succeeds convolve box3
succeeds convolve gauss3
succeeds convolve sharpen
succeeds convolve edge
succeeds convolve 3x1:0.25,0.5,0.25
succeeds blend "$work/over.bmp" 1 -1 128

succeeds convolve box3
[[ $(byte_at "$work/out.bmp" 28) == 32 ]] || fail "convolve does not write a 32-bit image"

# Inverting twice gives the file back byte for byte.
"$tool" invert "$work/in.bmp" "$work/once.bmp" && "$tool" invert "$work/once.bmp" "$work/twice.bmp"
cmp -s "$work/in.bmp" "$work/twice.bmp" || fail "invert twice does not give the input back"

# refuses REASON ARGUMENTS... INPUT: exit 2, the reason on stderr, an existing output kept.
refuses() {
    local reason=$1
    shift
    printf 'keep' > "$work/out.bmp"
    "$tool" "$@" "$work/out.bmp" > /dev/null 2> "$work/err"
    local status=$?
    ((status == 2)) || fail "$* exited with $status, not 2"
    grep -q -- "$reason" "$work/err" || fail "$*: message '$(cat "$work/err")' lacks '$reason'"
    [[ $(cat "$work/out.bmp") == keep ]] || fail "$*: the existing output was replaced"
    [[ -z $(ls "$work" | grep partial) ]] || fail "$*: a temporary was left behind"
}

refuses "unknown operation" sharpen "$work/in.bmp"
refuses "whole number" brighten bright "$work/in.bmp"
refuses "expects N" brighten "$work/in.bmp"
refuses "from 1 to" resample 0 4 "$work/in.bmp"
refuses "expects W H" resample 4 "$work/in.bmp"
refuses "cannot make" resample 70000 70000 "$work/in.bmp"
refuses "--vertical" flip "$work/in.bmp"
refuses "--vertical" flip --upside-down "$work/in.bmp"
refuses "2, 4 or 16" dither-ordered 8 "$work/in.bmp"
refuses "from 1 to 8" dither-pattern 9 "$work/in.bmp"
refuses "from 0 to 8" dither-diffuse -1 "$work/in.bmp"
refuses "kernel must be" convolve blur "$work/in.bmp"
refuses "needs 4 weights" convolve 2x2:1,2,3 "$work/in.bmp"
refuses "finite" convolve 1x1:nan "$work/in.bmp"
refuses "from 0 to 255" blend "$work/over.bmp" 0 0 256 "$work/in.bmp"
refuses "cannot open" blend "$work/missing.bmp" 0 0 128 "$work/in.bmp"
refuses "cannot open" invert "$work/missing.bmp"
refuses "this tool reads BMP, PNG and JPEG" invert "$work/err"
refuses "3 rows" flip --vertical "$work/flat.bmp"
refuses "has 8" dither-diffuse 4 "$work/palette.bmp"
refuses "has 8" resample 2 2 --smooth "$work/palette.bmp"
refuses "8-bit" blend "$work/over.bmp" 0 0 128 "$work/palette.bmp"
refuses "has 16" convolve box3 "$work/deep.bmp"

refuses "out of range" brighten 99999999999 "$work/in.bmp"
refuses "out of range" rotate -3000000000 "$work/in.bmp"
refuses "too large" convolve 2x1:3e38,3e38 "$work/in.bmp"
refuses "finite" convolve 1x1:1e39 "$work/in.bmp"
# Denormal weights are finite, though strtof calls them a range error.
succeeds convolve 1x1:1e-40
succeeds convolve 3x1:1e-45,1,1e-44

# taken ARGUMENTS...: the arguments pass their checks; the call succeeds, or the operation
# itself cannot make a picture that large.
taken() {
    "$tool" "$@" "$work/in.bmp" "$work/out.bmp" 2> "$work/err" || grep -q "cannot make" "$work/err" ||
        fail "$* is refused: $(cat "$work/err")"
}

# Every number argument at the edges of its range: the last value in is taken, the first out is
# refused with the range. Each line: the call, its words joined by colons and @ where the value
# goes; the lowest and highest values taken; the values just outside them.
while read -r call lowest highest below above; do
    words=${call//:/ }
    for value in $lowest $highest; do
        taken ${words/@/$value}
    done
    for value in $below $above; do
        refuses "${value}.*$lowest to $highest\|$lowest to $highest.*${value}" \
            ${words/@/$value} "$work/in.bmp"
    done
done << EOF
resample:@:3              1           2147483647 0           2147483648
resample:3:@              1           2147483647 -1          99999999999
rotate:@                  -2147483648 2147483647 -2147483649 2147483648
brighten:@                -2147483648 2147483647 -2147483649 2147483648
dither-pattern:@          1           8          0           9
dither-diffuse:@          0           8          -1          9
blend:$work/over.bmp:@:0:9 -2147483648 2147483647 -2147483649 2147483648
blend:$work/over.bmp:0:@:9 -2147483648 2147483647 -2147483649 2147483648
blend:$work/over.bmp:0:0:@ 0           255        -1          256
EOF
for size in 1 3 5 8 15 17 -2 +2.0; do
    refuses "2, 4 or 16, not '$size'" dither-ordered "$size" "$work/in.bmp"
done
# A sign is taken; a space or a fraction is not a whole number.
succeeds brighten +20
succeeds dither-diffuse -0
for amount in " 20" "20 " "2.0" "" - + "--20"; do
    refuses "the amount must be a whole number, not '$amount'" brighten "$amount" "$work/in.bmp"
done

"$tool" invert "$work/in.bmp" "$work/no/such/dir/out.bmp" 2> "$work/err"
(($? == 2)) || fail "an unwritable output does not exit with 2"
grep -q "cannot write '$work/no/such/dir/out.bmp': No such file or directory" "$work/err" ||
    fail "an unwritable output does not say why: $(cat "$work/err")"

# Bit-field files of other masks than the plain layout are decoded to their colours (24 bits,
# as the output is a plain file); plain-layout ones pass unchanged.
# pixel_at FILE OFFSET: the three bytes of a 24-bit pixel, blue first.
pixel_at() { od -An -tu1 -j "$2" -N3 "$1" | tr -s ' ' | sed 's/^ //'; }
bmp "$work/rgb565.bmp" 4 4 16 0xF800 0x07E0 0x001F
bmp "$work/bgr32.bmp" 4 4 32 0x000000FF 0x0000FF00 0x00FF0000
"$tool" brighten 0 "$work/rgb565.bmp" "$work/out.bmp" 2> "$work/err" ||
    fail "a 5-6-5 file is refused: $(cat "$work/err")"
# the first stored pixel is 0x0700: red 0, green 56 of 63 (227), blue 0
[[ $(byte_at "$work/out.bmp" 28) == 24 && $(pixel_at "$work/out.bmp" 54) == "0 227 0" ]] ||
    fail "a 5-6-5 file does not come out in its colours: $(pixel_at "$work/out.bmp" 54)"
"$tool" brighten 0 "$work/bgr32.bmp" "$work/out.bmp" 2> "$work/err" ||
    fail "a file with its red and blue masks swapped is refused: $(cat "$work/err")"
# its first stored pixel's bytes 0, 7, 14 are red, green, blue
[[ $(pixel_at "$work/out.bmp" 54) == "14 7 0" ]] ||
    fail "swapped masks do not come out in their colours: $(pixel_at "$work/out.bmp" 54)"
# pixels_equal A B: the pixel bytes of a bit-field file and of the plain file made from it.
pixels_equal() { cmp -s <(tail -c +67 "$1") <(tail -c +55 "$2"); }
for plain in "16 0x7C00 0x03E0 0x001F" "32 0x00FF0000 0x0000FF00 0x000000FF"; do
    bmp "$work/plain.bmp" 4 4 $plain
    "$tool" brighten 0 "$work/plain.bmp" "$work/out.bmp" 2> "$work/err" &&
        pixels_equal "$work/plain.bmp" "$work/out.bmp" ||
        fail "the plain bit-field layout $plain does not pass unchanged ($(cat "$work/err"))"
done

# The output's format by its extension; any other extension is refused before the input is
# read. Rows without padding, which a BMP keeps and a PNG has not, make the round trip exact.
bmp "$work/square.bmp" 4 4 24
"$tool" invert "$work/square.bmp" "$work/out.png" 2> "$work/err" || fail "a PNG output: $(cat "$work/err")"
[[ $(head -c 4 "$work/out.png" | tail -c 3) == PNG ]] || fail "out.png is not a PNG"
"$tool" invert "$work/out.png" "$work/back.BMP" 2> "$work/err" || fail "a PNG input: $(cat "$work/err")"
cmp -s "$work/square.bmp" "$work/back.BMP" || fail "inverting through a PNG does not give the input back"
"$tool" invert "$work/missing.bmp" "$work/out.gif" 2> "$work/err"
(($? == 2)) || fail "a .gif output does not exit with 2"
grep -q "must end in .bmp or .png" "$work/err" || fail "a .gif output: '$(cat "$work/err")'"
[[ ! -e $work/out.gif ]] || fail "a .gif output was written"

# Every file of the BMP suite's bad folder but the two the class reads: a reason, exit 2, no
# output.
suite=$(cd "$(dirname "$0")/../.." && pwd)/shared/bmpsuite
for file in "$suite"/b/*.bmp; do
    [[ -e $file ]] || break
    name=$(basename "$file")
    [[ $name == pal8badindex.bmp || $name == rgb16-880.bmp ]] && continue
    "$tool" invert "$file" "$work/bad.png" 2> "$work/err"
    status=$?
    ((status == 2)) || fail "$name: exit $status, not 2"
    grep -q "$name': a.*BMP" "$work/err" || fail "$name: no reason given: '$(cat "$work/err")'"
    [[ ! -e $work/bad.png ]] || fail "$name: an output was written"
done

# A file cut short reads, its missing rows black, and the tool says so; pixel data that starts
# at or past the end is a file cut before its first row.
# cut_at FILE SIZE [OFFSET]: in.bmp cut to SIZE bytes, its pixel data said to start at OFFSET.
cut_at() {
    head -c "$2" "$work/in.bmp" > "$1"
    if (($# == 3)); then
        printf "$(le32 $3)" | dd of="$1" bs=1 seek=10 conv=notrunc status=none
    fi
}
# warns FILE HELD: the tool succeeds and says the file holds HELD of its 4 rows.
warns() {
    if ! "$tool" invert "$1" "$work/out.bmp" 2> "$work/err"; then
        fail "$(basename "$1") is refused: $(cat "$work/err")"
    fi
    grep -q "'$1' holds $2 of 4 rows; the rest are black" "$work/err" ||
        fail "$(basename "$1"): no warning of $2 rows held ($(cat "$work/err"))"
}
cut_at "$work/cut.bmp" $((54 + 16 * 2 + 3))
warns "$work/cut.bmp" 2
cut_at "$work/no-pixels.bmp" 54
warns "$work/no-pixels.bmp" 0
cut_at "$work/one-byte.bmp" 55
warns "$work/one-byte.bmp" 0
cut_at "$work/at-end.bmp" $((54 + 64)) $((54 + 64))
warns "$work/at-end.bmp" 0
cut_at "$work/past-end.bmp" $((54 + 64)) 100000
warns "$work/past-end.bmp" 0
"$tool" invert "$work/in.bmp" "$work/out.bmp" 2> "$work/err"
[[ ! -s $work/err ]] || fail "a whole file gets a warning: $(cat "$work/err")"

help=$("$tool" --help) || fail "--help exits with $?"
grep -q "reads .*PNG and JPEG" <<< "$help" || fail "--help does not say what it reads"
grep -q "writes .*BMP or PNG" <<< "$help" || fail "--help does not say what it writes"
for operation in resample flip rotate invert brighten grey dither-ordered dither-pattern \
    dither-diffuse convolve blend; do
    [[ $(grep -c "^  $operation " <<< "$help") == 1 ]] || fail "--help does not list $operation"
done
"$tool" > /dev/null 2>&1
(($? == 2)) || fail "no arguments does not exit with 2"

finish "image tool"
