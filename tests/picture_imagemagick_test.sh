#!/usr/bin/env bash
# The image tool's reading and writing held to ImageMagick: every valid file of the public BMP
# suite, the questionable ones ImageMagick decodes, ImageMagick's own BMP output and a PNG of
# each colour type and a JPEG go through `quillon-image brighten 0`, written as BMP and as PNG,
# and each output must show the same colours as ImageMagick shows for the input
# (compare -metric AE gives 0). Every invalid file is refused with exit 2 and nothing written.
#
#   tests/picture_imagemagick_test.sh PATH/TO/quillon-image
#
# Exits 77 (skipped) when ImageMagick is not installed.
set -u

tool=${1:?usage: picture_imagemagick_test.sh PATH/TO/quillon-image}
suite=$(cd "$(dirname "$0")/../.." && pwd)/shared/bmpsuite
for program in convert compare; do
    if ! command -v $program > /dev/null; then
        echo "skipped: ImageMagick's $program is not installed"
        exit 77
    fi
done
source "$(dirname "$0")/script_checks.sh"

# Where ImageMagick 6 itself is wrong, by the suite's own account of these files; each is
# still read by the tool, and the difference is reported.
declare -A imagemagickDiffers=(
    [pal8os2v2.bmp]="ImageMagick reads the 64-byte OS/2 header's colour table from the wrong place"
    [pal8os2v2-sz.bmp]="ImageMagick reads the 64-byte OS/2 header's colour table from the wrong place"
    [rgb32fakealpha.bmp]="ImageMagick takes the unused fourth byte of a plain 32-bit file as alpha"
    [rgb16-231.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting (4-bit white is 240)"
    [rgb16-3103.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting"
    [rgb32-111110.bmp]="ImageMagick drops bits of channels wider than 8 differently"
    [rgb32-7187.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting"
    [rgba16-1924.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting"
    [rgba16-4444.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting (4-bit white is 240)"
    [rgba16-5551.bmp]="ImageMagick widens a 1-bit alpha to 127, not 255"
    [rgba32-1010102.bmp]="ImageMagick widens a 2-bit alpha by shifting"
    [rgba32-61754.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting"
    [rgba32-81284.bmp]="ImageMagick widens channels of 2, 3, 4, 6 and 7 bits by shifting"
)

# Pixels that differ between two pictures, as compare counts them (a warning may follow).
differing() {
    local count
    count=$(compare -metric AE "$1" "$2" null: 2>&1)
    echo "${count%%[!0-9]*}"
}

# same_as_imagemagick NAME INPUT: both outputs show what ImageMagick shows for the input.
same_as_imagemagick() {
    local name=$1 input=$2 reference=$work/reference.png
    if ! convert "$input" "PNG:$reference" 2> /dev/null; then
        fail "$name: ImageMagick cannot make the reference"
        return
    fi
    for extension in bmp png; do
        local out=$work/out.$extension
        rm -f "$out"
        if ! "$tool" brighten 0 "$input" "$out" 2> "$work/err"; then
            fail "$name: not read ($(cat "$work/err"))"
            return
        fi
        local count
        count=$(differing "$reference" "$out")
        if [[ -n ${imagemagickDiffers[$name]+known} ]]; then
            echo "known: $name.$extension: $count pixels differ: ${imagemagickDiffers[$name]}"
        elif [[ $count != 0 ]]; then
            fail "$name written as $extension: $count pixels differ from ImageMagick's"
        fi
    done
}

if [[ -d $suite ]]; then
    for file in "$suite"/g/*.bmp; do
        same_as_imagemagick "$(basename "$file")" "$file"
    done
    for file in "$suite"/q/*.bmp; do
        name=$(basename "$file")
        if convert "$file" "PNG:$work/probe.png" 2> /dev/null; then
            same_as_imagemagick "$name" "$file"
        else
            echo "ImageMagick does not read $name"
        fi
    done
    for file in "$suite"/b/*.bmp; do
        name=$(basename "$file")
        [[ $name == pal8badindex.bmp || $name == rgb16-880.bmp ]] && continue
        rm -f "$work/out.png"
        "$tool" brighten 0 "$file" "$work/out.png" 2> "$work/err"
        status=$?
        ((status == 2)) || fail "$name: exit $status, not 2"
        [[ -s $work/err ]] || fail "$name: refused without a message"
        [[ ! -e $work/out.png ]] || fail "$name: an output was written"
    done
else
    echo "no BMP suite at $suite; only ImageMagick's own pictures are tried"
fi

# ImageMagick's own output, at 8 bits a channel, which its grey pictures are not by default.
# 16-bit channels are made from 8-bit ones, so that rounding them back loses nothing; the
# rounding itself is tried by the unit tests.
picture="-size 24x16 gradient:red-blue"
convert -size 10x10 xc:red "$work/default.bmp"
convert $picture "$work/default24.bmp"
convert $picture -alpha set -channel A -evaluate set 60% +channel "$work/alpha32.bmp"
convert $picture -colorspace Gray -type Grayscale -depth 8 "$work/grey.png"
convert $picture -colorspace Gray -alpha set -channel A -evaluate set 60% +channel \
    -type GrayscaleAlpha -depth 8 "$work/grey-alpha.png"
convert $picture -colors 16 -type Palette "PNG8:$work/palette.png"
convert $picture "PNG24:$work/rgb.png"
convert $picture -alpha set -channel A -evaluate set 30% +channel "PNG32:$work/rgba.png"
convert $picture -depth 8 -depth 16 "PNG48:$work/rgb16.png"
convert $picture -quality 85 "$work/picture.jpg"
for made in default.bmp default24.bmp alpha32.bmp grey.png grey-alpha.png palette.png rgb.png \
    rgba.png rgb16.png picture.jpg; do
    cp "$work/$made" "$work/input-$made"
    same_as_imagemagick "$made" "$work/input-$made"
done

finish "pictures"
