#!/bin/sh
# Runs each fuzzer for a bounded time: the BMP reader's, seeded with the public BMP suite (when
# it sits beside the repository), the texture and every crash input found so far; and the
# picture importer's, seeded with the same, with small PNG and JPEG files and with the tests'
# hostile pictures (huge declarations in a few bytes, thousands of scans, JPEGs cut short).
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS]
# SECONDS is shared between the fuzzers. Each corpus grows in BUILD_DIR/fuzz-corpus; a finding
# is written to BUILD_DIR/fuzz-findings and makes the script fail. Copy it to
# tests/fuzz/crashes/ and add a test case for it.
set -eu

build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
fuzzers="read_bmp_fuzzer import_picture_fuzzer"
for name in $fuzzers make_test_pictures; do
    if [ ! -x "$build/$name" ]; then
        echo "fuzz: $build/$name is missing; build with -DQUILLON_FUZZ=ON and clang first" >&2
        exit 2
    fi
done

findings="$build/fuzz-findings"
seeds="$build/fuzz-seeds"
mkdir -p "$findings" "$seeds"
cp "$root/assets/marquetile.bmp" "$seeds/"
suite="$root/../shared/bmpsuite"
if [ -d "$suite" ]; then
    for file in "$suite"/*/*.bmp; do
        kind=$(basename "$(dirname "$file")")
        cp "$file" "$seeds/$kind-$(basename "$file")"
    done
else
    echo "fuzz: no BMP suite at $suite; seeding with the texture only"
fi
if [ -d "$root/tests/fuzz/crashes" ]; then
    find "$root/tests/fuzz/crashes" -type f ! -name '*.md' -exec cp {} "$seeds/" \;
fi
picture_seeds="$build/fuzz-seeds-pictures"
mkdir -p "$picture_seeds"
cp "$seeds"/* "$picture_seeds/"
if [ -d "$root/tests/fuzz/pictures" ]; then
    cp "$root/tests/fuzz/pictures"/* "$picture_seeds/"
fi
"$build/make_test_pictures" "$picture_seeds"

# Every import frees megabytes (a surface, zlib's and libjpeg's buffers), and the sanitizer's
# default quarantine of freed memory then outgrows libFuzzer's 2 GB limit on its own.
export ASAN_OPTIONS="quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

share=$((seconds / 2))
[ "$share" -gt 0 ] || share=1
status=0
for name in $fuzzers; do
    corpus="$build/fuzz-corpus/${name%_fuzzer}"
    mkdir -p "$corpus"
    case "$name" in
        import_picture_fuzzer) from="$picture_seeds" ;;
        *) from="$seeds" ;;
    esac
    echo "fuzz: $name for $share s"
    "$build/$name" "$corpus" "$from" -max_total_time="$share" -timeout=20 \
        -artifact_prefix="$findings/" -print_final_stats=1 > "$build/fuzz-$name.log" 2>&1 ||
        status=$?
    tail -n 15 "$build/fuzz-$name.log"
    if [ "$status" -ne 0 ]; then
        echo "fuzz: $name found something (exit $status); see $build/fuzz-$name.log and $findings" >&2
        exit 1
    fi
done
echo "fuzz: no finding"
