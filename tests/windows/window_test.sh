#!/usr/bin/env bash
# The window as a person on Windows meets it: vekflash.exe started under Wine on Qt's windows
# platform with a HEX file on its command line, found by its title, Program and then Exit
# chosen from its menus with the keyboard; then the chip (the simulated programmer's state
# file) and the settings file in %APPDATA% are checked.
# Usage: window_test.sh VEKFLASH_EXE SIM_DLL_FOLDER EXAMPLES_FOLDER
# Runs in the Wine prefix WINEPREFIX, else in a fresh one, on a virtual X server of its own
# (VEK_XVFB says that one is running already). Without a window manager there, Wine draws the
# windows' frames itself, and a click on a title bar makes a window the active one.
set -euo pipefail
if [ -z "${VEK_XVFB:-}" ]; then
    VEK_XVFB=1 exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" "$0" "$@"
fi

exe=$(realpath "$1")
sim=$(realpath "$2")
examples=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
own_prefix=false
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$work/prefix"
    own_prefix=true
fi
program=""
cleanup() {
    [ -z "$program" ] || kill "$program" 2>/dev/null || true
    if $own_prefix; then
        "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

. "$here/../support/checks.sh"

# Wine shows this machine's root as drive Z:.
windows_path() {
    local path=${1//\//\\}
    echo "Z:$path"
}

# Waits up to 60 s for a window whose title matches the pattern and prints its X id.
find_window() {
    local found
    for _ in $(seq 120); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
        sleep 0.5
    done
    return 1
}

# Makes the window the active one by a click on its title bar, then types the keys.
press() {
    xdotool mousemove --window "$1" 100 8 click 1
    sleep 0.5
    shift
    xdotool key --delay 300 "$@"
}

wine_run=$here/../../cmake/wine-run
"$wine_run" cmd /c exit  # the prefix set up first, so that the waits below are the window's
settings_folder="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/VEK Flash"
rm -rf "$settings_folder"
sample="$work/blink 16f84a.hex"
cp "$examples/blink-16f84a.hex" "$sample"

WINEPATH="$(windows_path "$sim")" VEKSIM_CHIP=16F84A VEKSIM_STATE="$work/chip" \
    "$wine_run" "$exe" "$(windows_path "$sample")" >"$work/out" 2>&1 &
program=$!

if ! window=$(find_window '^VEK-Flash V1\.4 $'); then
    fail "no window titled \"VEK-Flash V1.4 \" came up; its output: $(cat "$work/out")"
    finish ""
fi
# The Hex Data window of the opened file comes up beside it.
find_window '^Hex Data' >/dev/null || fail "the opened file's Hex Data window did not come up"

press "$window" alt+m g  # Commands, Program
if box=$(find_window '^VEK Flash$'); then
    press "$box" Return
else
    fail "Program showed no message"
fi
grep -qx 'chip 16F84A' "$work/chip" 2>/dev/null &&
    grep -q '^program 0 1683 186 1283 3001 686 2007 2803 B8C 2807 8 3FFF ' "$work/chip" ||
    fail "the chip does not hold the file: $(cat "$work/chip" 2>/dev/null)"

press "$window" alt+f e  # File, Exit
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    fail "the program did not end on File, Exit"
else
    wait "$program" || fail "the program ended with status $?"
    program=""
fi

settings="$settings_folder/vekflash.INI"
if [ -f "$settings" ]; then
    grep -qxF "VEKFlashfilenamepath=$(windows_path "$sample")" "$settings" ||
        fail "the settings do not name the opened file: $(cat "$settings")"
    grep -q '^VEKFlashScreenX=' "$settings" || fail "the settings hold no window position"
else
    fail "no settings file in %APPDATA%\\VEK Flash"
fi

finish "The window came up, programmed the chip and kept its settings under Wine."
