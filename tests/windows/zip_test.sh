#!/usr/bin/env bash
# The archive for Windows users that `scripts/build-windows --zip` makes: its files, the README
# and the licence with Windows line ends, and the unpacked vekflash-cli.exe programming,
# verifying and reading a chip on the simulated programmer under Wine, and saying so when the
# driver is missing.
# Usage: zip_test.sh ZIP SIM_DLL_FOLDER EXAMPLES_FOLDER
set -euo pipefail

zip=$(realpath "$1")
sim=$(realpath "$2")
examples=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$(dirname "$0")/../support/checks.sh"

name=$(basename "$zip" .zip)
[[ $name == vekflash-cli-*-win64 ]] || fail "the archive is named $(basename "$zip")"
listed=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
expected=$(printf '%s\n' "$name/LICENSE.txt" "$name/README.txt" "$name/vekflash-cli.exe")
[ "$listed" = "$expected" ] || fail "the archive holds: $listed"
unzip -q "$zip" -d "$work"
folder=$work/$name
for text in README.txt LICENSE.txt; do
    grep -q $'\r$' "$folder/$text" || fail "$text has no CR LF line ends"
    ! grep -q $'[^\r]$' "$folder/$text" || fail "$text has a line without CR"
done
# The repository's licence, line for line.
[ "$(tr -d '\r' <"$folder/LICENSE.txt")" = "$(cat "$here/../../LICENSE")" ] ||
    fail "LICENSE.txt is not the repository's LICENSE"

# Runs the unpacked program with the simulator as its driver (unless told otherwise); stdout to
# $work/out, stderr to $work/err, the exit status into $status.
run() {
    local driver_folder=$1
    shift
    status=0
    (cd "$work" && WINEPATH="$(winepath -w "$driver_folder" 2>/dev/null)" VEKSIM_CHIP=16F84A \
        VEKSIM_STATE="$work/chip" "$here/../../cmake/wine-run" "$folder/vekflash-cli.exe" "$@" \
        >"$work/out" 2>"$work/err") || status=$?
}

sample="$work/blink 16f84a.hex"
cp "$examples/blink-16f84a.hex" "$sample"
run "$sim" program -d 16F84A "$(winepath -w "$sample" 2>/dev/null)"
[ "$status" = 0 ] && [ "$(cat "$work/err")" = "Programming complete." ] ||
    fail "program: status $status, $(cat "$work/err")"
run "$sim" verify -d 16F84A "$(winepath -w "$sample" 2>/dev/null)"
[ "$status" = 0 ] && [ "$(cat "$work/err")" = "Verify passed" ] ||
    fail "verify: status $status, $(cat "$work/err")"
run "$sim" read -d 16F84A -o "$(winepath -w "$work/read.hex" 2>/dev/null)"
[ "$status" = 0 ] || fail "read: status $status, $(cat "$work/err")"
grep -q '^:00000001FF$' "$work/read.hex" || fail "read: the saved file has no end record"
run "$sim" verify -d 16F84A "$(winepath -w "$work/read.hex" 2>/dev/null)"
[ "$status" = 0 ] || fail "the saved file does not verify: status $status"
# A folder without Ftd2xx.dll.
mkdir "$work/no-driver"
run "$work/no-driver" detect
[ "$status" = 4 ] && grep -q '^Error: DLL drivers not found. $' "$work/err" ||
    fail "without the driver: status $status, $(cat "$work/err")"

finish "The Windows archive is as it should be."
