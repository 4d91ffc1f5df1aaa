#!/usr/bin/env bash
# The installer that `scripts/build-windows --installer` makes, run silently in a fresh Wine
# prefix: the installed programs, README and licence, the Start menu entries, "Open with" and
# the entry among the installed programs; the installed window programming a chip
# (window_test.sh) and vekflash-cli saying its version; then the silent uninstall, which
# leaves none of it behind.
# Usage: installer_test.sh SETUP_EXE SIM_DLL_FOLDER EXAMPLES_FOLDER
set -euo pipefail
# The installed window is shown on a virtual X server of its own (see window_test.sh), which
# Wine binds the prefix to at its first program.
if [ -z "${VEK_XVFB:-}" ]; then
    VEK_XVFB=1 exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" "$0" "$@"
fi

setup=$(realpath "$1")
sim=$(realpath "$2")
examples=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
repository=$(realpath "$here/../..")
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

. "$here/../support/checks.sh"

wine_run=$repository/cmake/wine-run
folder="$WINEPREFIX/drive_c/Program Files/VEK Flash"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VEK Flash"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VEK Flash'

# The value of a registry entry (the key's default one without a name), or nothing.
registry_value() {
    local key=$1 name=${2:-}
    local which=(/ve) shown="(Default)"
    [ -z "$name" ] || which=(/v "$name") shown=$name
    "$wine_run" reg query "$key" "${which[@]}" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$shown *REG_[A-Z_]* *//p"
}

status=0
"$wine_run" "$setup" /S || status=$?
[ "$status" = 0 ] || fail "the silent install ended with status $status"

installed=$(LC_ALL=C ls "$folder" 2>/dev/null | tr '\n' ' ')
[ "$installed" = "LICENSE.txt README.txt uninstall.exe vekflash-cli.exe vekflash.exe " ] ||
    fail "Program Files\\VEK Flash holds: $installed"
for entry in "VEK Flash" "VEK Flash README" "Uninstall VEK Flash"; do
    [ -f "$menu/$entry.lnk" ] || fail "the Start menu has no \"$entry\""
done

[ "$(registry_value "$uninstall_key" DisplayName)" = "VEK Flash" ] ||
    fail "Add/Remove Programs lists no VEK Flash"
[ "$(registry_value "$uninstall_key" QuietUninstallString)" = \
    '"C:\Program Files\VEK Flash\uninstall.exe" /S' ] ||
    fail "the uninstall entry has no silent uninstall"
open='"C:\Program Files\VEK Flash\vekflash.exe" "%1"'
[ "$(registry_value 'HKLM\Software\Classes\VEKFlash.HexFile\shell\open\command')" = "$open" ] ||
    fail "HEX files are not opened with the installed window"
for extension in .hex .sxh; do
    "$wine_run" reg query "HKLM\\Software\\Classes\\$extension\\OpenWithProgids" \
        /v VEKFlash.HexFile >/dev/null 2>&1 || fail "\"Open with\" does not offer it for $extension"
done

"$here/window_test.sh" "$folder/vekflash.exe" "$sim" "$examples" ||
    fail "the installed window did not program the chip"
version=$(cd "$folder" && "$wine_run" ./vekflash-cli.exe --version 2>&1 | tr -d '\r') || true
[[ $version == "vekflash-cli "[0-9]* ]] || fail "vekflash-cli.exe --version says: $version"

status=0
"$wine_run" "$folder/uninstall.exe" /S || status=$?
[ "$status" = 0 ] || fail "the silent uninstall ended with status $status"
# The uninstaller runs on from a copy of itself, so that it can remove its own file: the prefix
# is idle once it has ended.
"$wineserver" -w
[ ! -e "$folder" ] || fail "the uninstall left $(ls "$folder" | tr '\n' ' ')behind"
[ ! -e "$menu" ] || fail "the uninstall left the Start menu entries behind"
[ -z "$(registry_value "$uninstall_key" DisplayName)" ] ||
    fail "the uninstall left its entry in Add/Remove Programs"

finish "The installer installs, its window and vekflash-cli run, and it uninstalls cleanly."
