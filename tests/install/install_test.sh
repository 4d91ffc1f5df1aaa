#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that exactly the program, its
# command-line twin, its menu entry, its icons, its udev rule, the manual pages, the shell
# completion and the package's documents land where a desktop looks for them.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail

build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

. "$(dirname "$0")/../support/checks.sh"

cmake --install "$build" --prefix "$prefix" >/dev/null

# Nothing more: above all not the simulated programmer, which would stand in for the real
# driver library of whoever installs the program.
expected=$(
    cat <<'LIST'
bin/vekflash
bin/vekflash-cli
lib/udev/rules.d/60-vekflash.rules
share/applications/vekflash.desktop
share/bash-completion/completions/vekflash-cli
share/doc/vekflash/changelog.gz
share/doc/vekflash/copyright
share/icons/hicolor/128x128/apps/vekflash.png
share/icons/hicolor/16x16/apps/vekflash.png
share/icons/hicolor/24x24/apps/vekflash.png
share/icons/hicolor/256x256/apps/vekflash.png
share/icons/hicolor/32x32/apps/vekflash.png
share/icons/hicolor/48x48/apps/vekflash.png
share/icons/hicolor/64x64/apps/vekflash.png
share/icons/hicolor/scalable/apps/vekflash.svg
share/man/man1/vekflash-cli.1.gz
share/man/man1/vekflash.1.gz
share/mime/packages/vekflash.xml
LIST
)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    fail "installed files differ from the expected list:"
    diff <(echo "$expected") <(echo "$installed") >&2 || true
fi

for program in vekflash vekflash-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
    # The D2XX library must be found through the system's search path alone.
    if readelf -d "$prefix/bin/$program" | grep -q -E 'RPATH|RUNPATH'; then
        fail "bin/$program carries a library search path"
    fi
done
# Without Qt: a workshop's script runs it where no desktop is installed.
if readelf -d "$prefix/bin/vekflash-cli" | grep -q 'libQt'; then
    fail "bin/vekflash-cli needs Qt"
fi

desktop="$prefix/share/applications/vekflash.desktop"
if ! desktop-file-validate "$desktop"; then
    fail "desktop-file-validate rejects vekflash.desktop"
fi
grep -qx 'Exec=vekflash %f' "$desktop" || fail "the menu entry does not start vekflash with the file"
grep -qx 'MimeType=text/x-hex;' "$desktop" || fail "the menu entry does not take HEX files"
# The type the entry names is defined for both kinds of HEX file.
mime="$prefix/share/mime/packages/vekflash.xml"
xmllint --noout "$mime" || fail "the MIME package is no well-formed XML"
for glob in '*.hex' '*.sxh'; do
    grep -qF "<glob pattern=\"$glob\"/>" "$mime" || fail "the MIME package does not match $glob"
done
grep -qF '<mime-type type="text/x-hex">' "$mime" || fail "the MIME package does not define text/x-hex"
grep -qx 'Icon=vekflash' "$desktop" || fail "the menu entry does not name the vekflash icon"
grep -qE '^Categories=.*(Development|Electronics);' "$desktop" ||
    fail "the menu entry is in neither Development nor Electronics"

# Each PNG is as large as its folder says: width and height stand at bytes 16 to 23.
for png in "$prefix"/share/icons/hicolor/*x*/apps/vekflash.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    [ "${header:0:16}" = "89504e470d0a1a0a" ] || fail "$size icon is not a PNG"
    width=$((16#${header:32:8}))
    height=$((16#${header:40:8}))
    [ "${width}x${height}" = "$size" ] || fail "$size icon is ${width}x${height}"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/vekflash.svg" ||
    fail "the scalable icon is not an SVG"

# Every rule names FTDI's vendor ID and the programmer's product string, so that no other
# FTDI device is touched.
rules="$prefix/lib/udev/rules.d/60-vekflash.rules"
while IFS= read -r rule; do
    case "$rule" in '' | '#'*) continue ;; esac
    case "$rule" in
        *'ATTRS{idVendor}=="0403"'*'ATTRS{product}=="VEK Flash"'*) ;;
        *) fail "a udev rule matches more than the programmer: $rule" ;;
    esac
done <"$rules"
grep -q 'GROUP="plugdev", MODE="0660"' "$rules" || fail "the udev rule does not open the board to plugdev"
grep -q '/sys/bus/usb/drivers/ftdi_sio/unbind' "$rules" || fail "the udev rule does not unbind ftdi_sio"

finish "Installed files are complete and valid."
