#!/bin/sh
# Runs the BMP reader's fuzzer for a bounded time, seeded with the public BMP suite (when it
# sits beside the repository), the texture, and every crash input found so far.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS]
# The corpus grows in BUILD_DIR/fuzz-corpus; a finding is written to BUILD_DIR/fuzz-findings
# and makes the script fail. Copy it to tests/fuzz/crashes/ and add a test case for it.
set -eu

build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
fuzzer="$build/read_bmp_fuzzer"
if [ ! -x "$fuzzer" ]; then
    echo "fuzz: $fuzzer is missing; build with -DQUILLON_FUZZ=ON and clang first" >&2
    exit 2
fi

corpus="$build/fuzz-corpus/read_bmp"
findings="$build/fuzz-findings"
seeds="$build/fuzz-seeds"
mkdir -p "$corpus" "$findings" "$seeds"
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

echo "fuzz: read_bmp_fuzzer for $seconds s"
status=0
"$fuzzer" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=20 \
    -artifact_prefix="$findings/" -print_final_stats=1 > "$build/fuzz.log" 2>&1 || status=$?
tail -n 15 "$build/fuzz.log"
if [ "$status" -ne 0 ]; then
    echo "fuzz: the fuzzer found something (exit $status); see $build/fuzz.log and $findings" >&2
    exit 1
fi
echo "fuzz: no finding"
