#!/usr/bin/env bash
# vekflash-cli's manual page, as man shows it, names the same commands, options (with their
# values) and exit statuses as its --help, and man reads it without a warning.
# Usage: manual_test.sh VEKFLASH_CLI MANUAL_PAGE
set -euo pipefail

cli=$1
manual=$2
. "$(dirname "$0")/../support/checks.sh"

help=$("$cli" --help)
warnings=$(LC_ALL=C man --warnings -l "$manual" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about the page: $warnings"
page=$(LC_ALL=C MANWIDTH=200 man -l "$manual" 2>/dev/null)

# A section's lines: in --help from "Heading:" to the next blank line, in the page from its
# heading to the next one.
help_section() { sed -n "/^$1:\$/,/^\$/p" <<<"$help" | sed '1d;/^$/d'; }
page_section() { sed -n "/^$1\$/,/^[A-Z]/p" <<<"$page" | sed '1d;$d'; }

# The rows' names: a command's first word; an option's names and value, as "-d, --device
# NAME" (values are in capitals, a summary is not); an exit status's number. In --help a row
# starts two spaces in, in the page seven; the summary's lines lie further in.
commands() { sed -En "s/^ {$1}([a-z][a-z-]*).*/\1/p"; }
options() { sed -En "s/^ {$1}((-[a-zA-Z], )?-{1,2}[a-zA-Z][a-zA-Z-]*( [A-Z]+)?)( .*)?\$/\1/p"; }
statuses() { sed -En "s/^ {$1}([0-9]+) .*/\1/p"; }

compare() {
    local what=$1 from_help=$2 from_page=$3
    if [ -z "$from_help" ]; then
        fail "--help lists no $what"
    elif [ "$from_help" != "$from_page" ]; then
        fail "the manual page's $what differ from --help:"
        diff <(echo "$from_help") <(echo "$from_page") >&2 || true
    fi
}

compare commands "$(help_section Commands | commands 2)" "$(page_section COMMANDS | commands 7)"
compare options "$(help_section Options | sed 's/^      /  /' | options 2)" \
    "$(page_section OPTIONS | options 7)"
compare "exit statuses" "$(help_section 'Exit status' | statuses 2)" \
    "$(page_section 'EXIT STATUS' | statuses 7)"

finish "The manual page and --help agree."
