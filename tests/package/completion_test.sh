#!/usr/bin/env bash
# vekflash-cli's bash completion, loaded into a bash of its own with bash-completion as an
# interactive shell has it, offers the commands, the options, the device names, the drivers,
# HEX files for a command's FILE and any file for -o.
# Usage: completion_test.sh COMPLETION_SCRIPT
set -euo pipefail
. "$(dirname "$0")/../support/checks.sh"

script=$(realpath "$1")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/sub"
touch "$folder/blink.hex" "$folder/PORTS.SXH" "$folder/notes.txt"
cd "$folder"

# The words bash offers at the end of the line, one a line, sorted. Bash splits a word at
# "=" as well, which the completion joins again.
offered() {
    local line=$1
    bash --norc --noprofile -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_LINE=$2
        COMP_POINT=${#COMP_LINE}
        read -ra COMP_WORDS <<<"${COMP_LINE//=/ = }"
        [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _vekflash_cli vekflash-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$script" "$line" | LC_ALL=C sort | paste -sd ' '
}

while IFS='|' read -r line expected; do
    actual=$(offered "$line")
    [ "$actual" = "$expected" ] || fail "'$line' offers '$actual', not '$expected'"
done <<'CASES'
vekflash-cli |blank checksum detect erase id list program read save-job udev-rule verify
vekflash-cli pro|program
vekflash-cli -d |16F84A 16F870 16F871 16F872 16F873 16F874 16F876 16F877 SX28 SX48 auto
vekflash-cli id -d a|auto
vekflash-cli --device sx|SX28 SX48
vekflash-cli --device=16F87|16F870 16F871 16F872 16F873 16F874 16F876 16F877
vekflash-cli -d SX28 |blank checksum detect erase id list program read save-job udev-rule verify
vekflash-cli -q --device 16F84A e|erase
vekflash-cli --no|--no-erase
vekflash-cli -d SX28 read --f|--fuse --fusex
vekflash-cli -d 16F84A program |PORTS.SXH blink.hex sub
vekflash-cli verify -d 16F84A b|blink.hex
vekflash-cli -d 16F84A read -o |PORTS.SXH blink.hex notes.txt sub
vekflash-cli -d 16F84A blank |
vekflash-cli -d 16F84A program blink.hex |
vekflash-cli -d 16F84A program --config |
vekflash-cli --driver |auto d2xx libftdi
vekflash-cli --driver=lib|libftdi
CASES

finish "The completion offers what it should."
