# Sourced by the test scripts that try a tool from the outside: a temporary folder of their own
# in $work, removed on exit whatever its permissions became, and a count of failed checks.

work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

# fail WHAT: one failed check, said on stderr; the script goes on to the next.
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# finish NAME: the verdict, and the script's exit status (1 when any check failed).
finish() {
    if ((failures > 0)); then
        echo "$1: $failures checks failed" >&2
        exit 1
    fi
    echo "$1: all checks passed"
    exit 0
}
