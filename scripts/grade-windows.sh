#!/bin/sh
# Grades the exercises with the Windows build's tools under Wine: the same scores, reports and
# results.json as `make grade` with the Linux tools.
# Usage: scripts/grade-windows.sh BUILD_DIR [grade arguments...]   (from the top folder)
# Exit status: the grader's (0 only at full marks).
set -e

build=${1:-build-windows}
[ $# -gt 0 ] && shift
build=$(cd "$build" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
. "$source_dir/scripts/wine-prefix.sh"

status=0
python3 "$source_dir/tools/assignment/assignment.py" grade --build "$build" --runner wine "$@" ||
    status=$?
wineserver -w
exit $status
