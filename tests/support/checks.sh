# The shell tests' checks, sourced by each: `fail MESSAGE` counts a failed check and goes on,
# `finish TEXT` ends the test, with status 1 after any failed check, else saying TEXT.
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "$*"
}
