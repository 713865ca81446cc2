#!/usr/bin/env bash
# quillon-image against ImageMagick's convert on one 4096 x 4096 24-bit picture: every
# operation run as a whole process (read the file, work, write the file) several times by each,
# the medians side by side. Where both compute the same picture (invert, the flips, nearest
# resampling by an integer factor) the outputs must be identical, or the script fails.
#
#   bench/versus-imagemagick.sh BUILD_DIR [RUNS]
#
# The files live in /dev/shm when there is one, and every output is removed before each run:
# the race is between the programs, not the disks (replacing an existing file on ext4, for one,
# writes it out at once). The two tools take turns, so that whatever else the machine does
# falls on both alike.
set -euo pipefail

build=${1:?usage: versus-imagemagick.sh BUILD_DIR [RUNS]}
runs=${2:-7}
tool=$build/quillon-image
if [[ ! -x $tool ]]; then
    echo "versus-imagemagick: no $tool; build the quillon-image target first" >&2
    exit 2
fi
for program in convert compare; do
    if ! command -v $program > /dev/null; then
        echo "versus-imagemagick: ImageMagick's $program is not installed" >&2
        exit 2
    fi
done

if [[ -d /dev/shm && -w /dev/shm ]]; then
    work=$(mktemp -d /dev/shm/versus-imagemagick.XXXXXX)
else
    work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
input=$work/input.bmp
over=$work/over.bmp
echo "making a 4096 x 4096 24-bit picture..."
convert -seed 7 -size 4096x4096 plasma:fractal -type TrueColor "BMP3:$input"
convert "$input" -flop -type TrueColor "BMP3:$over"

# Milliseconds of one run of "$@", its output $work/out.bmp removed first.
time_once() {
    rm -f "$work/out.bmp"
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || {
        echo "versus-imagemagick: failed: $*" >&2
        exit 1
    }
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() {
    printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}

failures=0
# The same picture from both, compared pixel by pixel.
check_same() {
    local name=$1
    shift
    "$tool" "$@" "$input" "$work/ours.bmp"
    convert "$input" "${imagemagick[@]}" "BMP3:$work/theirs.bmp"
    local differing
    differing=$(compare -metric AE "$work/ours.bmp" "$work/theirs.bmp" null: 2>&1 || true)
    if [[ $differing == 0 ]]; then
        same="identical"
    else
        same="DIFFERENT ($differing pixels)"
        failures=$((failures + 1))
    fi
}

printf '\n%-22s %10s %10s %8s  %s\n' "operation" "quillon" "convert" "ratio" "output"
printf '%-22s %10s %10s %8s  %s\n' "" "ms" "ms" "" ""
race() {
    local name=$1 ours=$2 checked=$3
    shift 3
    imagemagick=("$@")
    local ours_times=() theirs_times=()
    for ((i = 0; i < runs; ++i)); do
        # shellcheck disable=SC2086
        ours_times+=("$(time_once "$tool" $ours "$input" "$work/out.bmp")")
        theirs_times+=("$(time_once convert "$input" "${imagemagick[@]}" "BMP3:$work/out.bmp")")
    done
    local ours_ms theirs_ms
    ours_ms=$(median "${ours_times[@]}")
    theirs_ms=$(median "${theirs_times[@]}")
    same="-"
    if [[ $checked == check ]]; then
        # shellcheck disable=SC2086
        check_same "$name" $ours
    fi
    local ratio
    ratio=$(awk -v a="$theirs_ms" -v b="$ours_ms" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 1) }')
    printf '%-22s %10s %10s %7sx  %s\n' "$name" "$ours_ms" "$theirs_ms" "$ratio" "$same"
}

race "invert" "invert" check -negate
race "flip vertical" "flip --vertical" check -flip
race "flip horizontal" "flip --horizontal" check -flop
race "rotate 30" "rotate 30" - -rotate 30
race "resample nearest 1/2" "resample 2048 2048" check -filter point -resize '2048x2048!'
race "resample smooth" "resample 3000 3000 --smooth" - -filter triangle -resize '3000x3000!'
race "brighten 20" "brighten 20" - -evaluate add 7.84%
race "grey" "grey" - -colorspace gray
race "dither-ordered 4" "dither-ordered 4" - -ordered-dither o4x4
race "dither-pattern 4" "dither-pattern 4" - -ordered-dither o8x8,16
race "dither-diffuse 4" "dither-diffuse 4" - -dither FloydSteinberg -posterize 16
race "convolve box3" "convolve box3" - -define convolve:scale=! -morphology Convolve '3x3:1,1,1,1,1,1,1,1,1'
race "convolve 5x5" "convolve 5x5:$(printf '1,%.0s' {1..24})1" - \
    -define convolve:scale=! -morphology Convolve "5x5:$(printf '1,%.0s' {1..24})1"
race "blend 50%" "blend $over 0 0 128" - "$over" -compose blend -define compose:args=50 -composite

if ((failures > 0)); then
    echo "versus-imagemagick: $failures outputs differ from ImageMagick's" >&2
    exit 1
fi
