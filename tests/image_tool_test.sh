#!/usr/bin/env bash
# quillon-image from the outside: every operation on a real file, the help, and every way of
# failing (exit status 2, a message naming the reason, no output file, nothing left behind).
#
#   tests/image_tool_test.sh PATH/TO/quillon-image
set -u

tool=${1:?usage: image_tool_test.sh PATH/TO/quillon-image}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Little-endian 32-bit and 16-bit fields as printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }

# bmp FILE WIDTH HEIGHT BITS: an uncompressed BMP whose pixel bytes count up from 0; 8-bit
# files get a grey palette.
bmp() {
    local file=$1 width=$2 height=$3 bits=$4
    local row=$(((width * bits / 8 + 3) / 4 * 4)) table=0
    if ((bits == 8)); then
        table=1024
    fi
    local offset=$((54 + table)) size=$((54 + table + row * height))
    {
        printf "BM$(le32 $size)$(le32 0)$(le32 $offset)"
        printf "$(le32 40)$(le32 $width)$(le32 $height)$(le16 1)$(le16 $bits)"
        printf "$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)"
        for ((i = 0; i < table / 4; ++i)); do
            printf "$(printf '\\x%02x\\x%02x\\x%02x\\x00' $i $i $i)"
        done
        for ((i = 0; i < row * height; ++i)); do
            printf "$(printf '\\x%02x' $((i * 7 & 255)))"
        done
    } > "$file"
}

byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }

bmp "$work/in.bmp" 5 4 24
bmp "$work/over.bmp" 3 3 24
bmp "$work/flat.bmp" 5 2 24
bmp "$work/palette.bmp" 4 4 8
bmp "$work/deep.bmp" 4 4 16

# succeeds NAME ARGUMENTS...: exit 0, a BMP at out.bmp, no temporary beside it.
succeeds() {
    rm -f "$work/out.bmp"
    if ! "$tool" "$@" "$work/in.bmp" "$work/out.bmp" 2> "$work/err"; then
        fail "$* exited with $? ($(cat "$work/err"))"
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
refuses "not a BMP" invert "$work/err"
refuses "3 rows" flip --vertical "$work/flat.bmp"
refuses "has 8" dither-diffuse 4 "$work/palette.bmp"
refuses "has 8" resample 2 2 --smooth "$work/palette.bmp"
refuses "8-bit" blend "$work/over.bmp" 0 0 128 "$work/palette.bmp"
refuses "has 16" convolve box3 "$work/deep.bmp"

"$tool" invert "$work/in.bmp" "$work/no/such/dir/out.bmp" 2> "$work/err"
(($? == 2)) || fail "an unwritable output does not exit with 2"
grep -q "cannot write" "$work/err" || fail "an unwritable output is not named as such"

help=$("$tool" --help) || fail "--help exits with $?"
for operation in resample flip rotate invert brighten grey dither-ordered dither-pattern \
    dither-diffuse convolve blend; do
    [[ $(grep -c "^  $operation " <<< "$help") == 1 ]] || fail "--help does not list $operation"
done
"$tool" > /dev/null 2>&1
(($? == 2)) || fail "no arguments does not exit with 2"

if ((failures > 0)); then
    echo "$failures image tool checks failed" >&2
    exit 1
fi
echo "image tool: all checks passed"
