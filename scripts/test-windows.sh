#!/bin/sh
# Runs the Windows test binary under Wine (the Win32 check of the shim's claims) and then the
# Windows tools from the outside.
# Usage: scripts/test-windows.sh BUILD_DIR [gtest arguments...]
# Needs wine and xvfb-run (`make test-windows` installs them); exits non-zero on any failure.
set -e

build=${1:-build-windows}
[ $# -gt 0 ] && shift
build=$(cd "$build" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
tests="$build/quillon_tests.exe"
if [ ! -f "$tests" ]; then
    echo "test-windows: $tests is missing; run 'make windows' first" >&2
    exit 2
fi

. "$source_dir/scripts/wine-prefix.sh"

# Some tests create windows, and Wine needs an X server for those. Wine's own processes are
# waited for inside the server's lifetime, or they complain when it goes away.
cd "$build"
status=0
xvfb-run -a sh -c 'wine "$@"; status=$?; wineserver -w; exit $status' wine "$tests" "$@" || status=1

# The tools render headless and need no X server. The Linux image tool is the oracle for
# their pictures; it is used where `make` has built it.
"$source_dir/scripts/test-windows-tools.sh" "$build" "$source_dir/build" || status=1
wineserver -w
exit $status
