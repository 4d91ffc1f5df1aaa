#!/usr/bin/env bash
# The Debian package that scripts/package builds: exactly the files of files.txt with their
# modes, the control fields, maintainer scripts that tell udev and do nothing else, programs
# that run from the unpacked package, a completion that bash-completion finds by the
# program's name, and lintian without an error or a warning that the README does not accept.
# Usage: package_test.sh DEB
set -euo pipefail

deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
readme=$here/../../README.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$(dirname "$0")/../support/checks.sh"

# --- The files, their modes and owners; directories aside.
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort -k3)
expected=$(grep -v '^#' "$here/files.txt" | LC_ALL=C sort -k3)
if [ "$listed" != "$expected" ]; then
    fail "the package's files differ from tests/package/files.txt:"
    diff <(echo "$expected") <(echo "$listed") >&2 || true
fi

# --- The programs run from the unpacked package, and show the package's version.
root=$work/root
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
shown=$("$root/usr/bin/vekflash-cli" --version) || fail "the unpacked vekflash-cli --version fails"
[ "$shown" = "vekflash-cli $version" ] || fail "--version shows '$shown' in package $version"
help=$("$root/usr/bin/vekflash-cli" --help) || fail "the unpacked vekflash-cli --help fails"
[[ $help == "Usage: vekflash-cli [options] COMMAND"* ]] || fail "--help begins with '${help%%$'\n'*}'"
[ "$(basename "$deb")" = "vekflash_${version}_amd64.deb" ] || fail "the package is named $(basename "$deb")"
zcat "$root/usr/share/doc/vekflash/changelog.gz" | head -1 | grep -q "^vekflash ($version) " ||
    fail "the changelog's latest entry is not version $version"
# Free software under the GPL, version 3 or later, in the machine-readable format.
copyright=$root/usr/share/doc/vekflash/copyright
grep -qx 'License: GPL-3+' "$copyright" && grep -q '^Format: .*copyright-format/1.0/$' "$copyright" ||
    fail "the copyright file does not state GPL-3+ in the machine-readable format"

# --- The control fields: dependencies read from the programs, the open driver recommended,
# nothing proprietary suggested.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vekflash ] || fail "Package: $(field Package)"
[[ $(field Maintainer) == "VEK Flash developers <"*">" ]] || fail "Maintainer: $(field Maintainer)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
    [[ $depends == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
[ "$(field Recommends)" = libftdi1-2 ] || fail "Recommends: $(field Recommends)"
[ -z "$(field Suggests)" ] || fail "Suggests: $(field Suggests)"
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort | paste -sd ' ')
[ "$control" = "control md5sums postinst postrm" ] || fail "the control members are: $control"

# --- The maintainer scripts call udevadm and nothing else, only when udev answers. PATH holds
# nothing but a udevadm that records its calls, so no other program could run.
dpkg-deb -e "$deb" "$work/control"
bin=$work/bin
mkdir "$bin"
# Calls the maintainer script with a recording udevadm whose ping has the given status; the
# calls, one a line, joined by "; ".
udev_calls() {
    local script=$1 argument=$2 ping_status=$3
    cat >"$bin/udevadm" <<FAKE
#!/bin/sh
echo "\$*" >>"$work/calls"
[ "\$2" != --ping ] || exit $ping_status
exit 1
FAKE
    chmod +x "$bin/udevadm"
    : >"$work/calls"
    PATH=$bin "$work/control/$script" "$argument" || fail "$script $argument exits with $?"
    paste -sd ';' "$work/calls" | sed 's/;/; /g'
}
ping="control --ping --timeout=5"
reload="control --reload-rules"
change="trigger --action=change --subsystem-match=usb --attr-match=idVendor=0403"
bind="trigger --action=bind --subsystem-match=usb --property-match=DRIVER=ftdi_sio"
while IFS='|' read -r script argument ping_status expected; do
    actual=$(udev_calls "$script" "$argument" "$ping_status")
    [ "$actual" = "$expected" ] || fail "$script $argument (ping $ping_status) calls '$actual', not '$expected'"
done <<CASES
postinst|configure|0|$ping; $reload; $change; $bind
postinst|configure|1|$ping
postinst|abort-upgrade|0|
postrm|remove|0|$ping; $reload; $change
postrm|purge|0|$ping; $reload; $change
postrm|upgrade|0|
CASES
rm "$bin/udevadm"
PATH=$bin "$work/control/postinst" configure || fail "postinst without udevadm exits with $?"

# --- bash-completion loads the completion by the program's name from the package's folder.
loaded=$(XDG_DATA_DIRS=$root/usr/share bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion vekflash-cli && complete -p vekflash-cli')
[ "$loaded" = "complete -F _vekflash_cli vekflash-cli" ] || fail "bash-completion loads: '$loaded'"

# --- lintian: no error, and only the warnings that the README lists with their reasons.
accepted=$(sed -n '/^### Lintian warnings/,/^#/p' "$readme" | sed -n 's/^- `\([a-z0-9-]*\)`.*/\1/p')
lintian_log=$work/lintian.log
lintian "$deb" >"$lintian_log" 2>&1 || true
cat "$lintian_log"
while read -r level _ tag _; do
    case $level in
        E:) fail "lintian error: $tag" ;;
        W:) grep -qx -- "$tag" <<<"$accepted" || fail "lintian warning not accepted in the README: $tag" ;;
    esac
done <"$lintian_log"

finish "The package is complete and lintian-clean."
