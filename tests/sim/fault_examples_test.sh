#!/usr/bin/env bash
# Runs the README's example of each simulator fault, as a person would paste it from the
# repository's folder, with the build folder under test in place of build/, and checks the exit
# status its comment gives. A program that the fault stops is continued.
# Usage: fault_examples_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail

source_dir=$1
build=$(cd "$2" && pwd)
. "$(dirname "$0")/../support/checks.sh"
cd "$source_dir" || exit 1

mapfile -t examples < <(grep -E '^LD_LIBRARY_PATH=build/sim VEKSIM_FAULTS=' README.md)
[ "${#examples[@]}" -eq 6 ] || fail "the README has ${#examples[@]} fault examples, not 6"
for example in "${examples[@]}"; do
    expected=$(sed -n 's/.*# status \([0-9]\).*/\1/p' <<<"$example")
    eval "set -- ${example%%#*}"
    words=()
    for word in "$@"; do
        words+=("${word/build\//$build/}")
    done
    # A fresh blank chip, whatever the environment holds.
    env -u VEKSIM_STATE -u VEKSIM_CHIP -u VEKSIM_BOARDS "${words[@]}" >/dev/null 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        if [[ $(ps -o stat= -p "$pid") == T* ]]; then
            kill -CONT "$pid"
        fi
        sleep 0.05
    done
    wait "$pid"
    status=$?
    [ "$status" = "$expected" ] || fail "status $status, not $expected: $example"
done
finish "the README's ${#examples[@]} fault examples end as their comments say"
