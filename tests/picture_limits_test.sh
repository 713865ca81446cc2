#!/usr/bin/env bash
# quillon-image on the pictures a careless or hostile user hands it, as make_test_pictures
# makes them: tiny files declaring huge pictures or thousands of scans are refused with a
# reason, within a bounded address space and leaving nothing; a JPEG cut short is read with one
# line saying so, and libjpeg never speaks for itself; a palette picture whose indices run past
# its table is written as a BMP with a table that covers them, which ImageMagick (where it is
# installed) reads without complaint and in the colours the tool showed.
#
#   tests/picture_limits_test.sh PATH/TO/quillon-image PATH/TO/make_test_pictures
set -u

tool=${1:?usage: picture_limits_test.sh PATH/TO/quillon-image PATH/TO/make_test_pictures}
maker=${2:?usage: picture_limits_test.sh PATH/TO/quillon-image PATH/TO/make_test_pictures}
source "$(dirname "$0")/script_checks.sh"

source "$(dirname "$0")/bmp_sample.sh"

mkdir "$work/in"
"$maker" "$work/in" || { echo "FAIL: make_test_pictures made nothing" >&2; exit 1; }

# 256 MB of address space where the tool runs in it (a sanitizer's shadow memory does not).
cap=262144
(ulimit -v $cap && "$tool" --help > /dev/null 2>&1) || cap=unlimited

# refused FILE REASON: exit 2 with the reason, within the cap, and no output.
refused() {
    local input=$work/in/$1 reason=$2
    (ulimit -v $cap && "$tool" invert "$input" "$work/out.bmp") 2> "$work/err"
    local status=$?
    ((status == 2)) || fail "$1: exit $status, not 2 ($(cat "$work/err"))"
    grep -qF -- "$reason" "$work/err" || fail "$1: '$(cat "$work/err")' lacks '$reason'"
    [[ ! -e $work/out.bmp ]] || fail "$1: an output was written"
}

refused png-wide.png "a PNG of 2147483647 x 1 pixels is larger than this tool handles"
refused png-tall.png "bytes cannot hold the rows of 1 x 268435456 pixels"
refused jpeg-huge-progressive.jpg "needs 2048 MB to decode; this tool allows 1024 MB"
refused jpeg-many-scans.jpg "a JPEG of more than 1000 scans is not supported"

# A JPEG cut in half: read, with one line that counts the grey rows and nothing else.
"$tool" invert "$work/in/jpeg-truncated.jpg" "$work/out.bmp" 2> "$work/err" ||
    fail "a truncated JPEG is refused: $(cat "$work/err")"
[[ -s $work/out.bmp ]] || fail "a truncated JPEG writes nothing"
grep -qE "^quillon-image: warning: '.*jpeg-truncated.jpg' ends early: the last [0-9]+ of 64 rows are grey" \
    "$work/err" || fail "a truncated JPEG is not reported: '$(cat "$work/err")'"
(($(wc -l < "$work/err") == 1)) || fail "a truncated JPEG says more than one line: $(cat "$work/err")"

# Indices past the colour table: the table written covers index 5, the entries past the
# file's two black.
imagemagick=yes
command -v identify > /dev/null && command -v compare > /dev/null || imagemagick=no
for name in png-index-past-palette.png bmp-os2-index-past-table.bmp; do
    rm -f "$work/out.bmp" "$work/out.png"
    if ! "$tool" brighten 0 "$work/in/$name" "$work/out.bmp" 2> "$work/err" ||
        ! "$tool" brighten 0 "$work/in/$name" "$work/out.png" 2>> "$work/err"; then
        fail "$name is refused: $(cat "$work/err")"
        continue
    fi
    [[ $(byte_at "$work/out.bmp" 46) == 6 ]] || fail "$name: the table written is not 6 entries"
    if [[ $imagemagick == yes ]]; then
        identify "$work/out.bmp" > /dev/null 2> "$work/err" && [[ ! -s $work/err ]] ||
            fail "$name: ImageMagick complains of the BMP written: $(cat "$work/err")"
        differing=$(compare -metric AE "$work/out.bmp" "$work/out.png" null: 2>&1)
        [[ $differing == 0 ]] || fail "$name: the BMP and the PNG written differ ($differing)"
    fi
done
[[ $imagemagick == yes ]] || echo "note: ImageMagick is not installed; its reading is not tried"

finish "picture limits"
