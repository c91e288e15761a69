#!/usr/bin/env bash
# The options a program's --help lists and those its man page's OPTIONS
# section describes must be the same, each with the same value (or none).
#   check-manpages.sh PROGRAM PAGE [PROGRAM PAGE ...]
# Prints the difference and fails when one of them has an option the other
# lacks.
set -euo pipefail

# One option a line, "--com1 device" or "--fast", from the help's "Options:"
# block: its lines that start with two spaces and a dash, up to the gap of
# two spaces before the description.
help_options() {
    QT_QPA_PLATFORM=offscreen "$1" --help |
        awk '/^Options:/ { on = 1; next } /^[^ ]/ { on = 0 } on && /^  -[^ ]/' |
        sed -E 's/^  //; s/  .*$//; s/<([^>]*)>/\1/g' |
        tr ',' '\n' | sed -E 's/^ +//; s/ +$//' | sed '/^$/d' | sort -u
}

# The same from the man page: the tag line after each .TP of the OPTIONS
# section, its font macros, quotes and escapes taken away.
page_options() {
    awk '/^\.SH/ { on = ($0 ~ /^\.SH "?OPTIONS"?$/); next }
         on && /^\.TP/ { tag = 1; next }
         on && tag { print; tag = 0 }' "$1" |
        sed -E 's/^\.(B|I|BI|IB|BR|RB|IR|RI) //; s/"//g; s/\\f[BIRP]//g; s/\\-/-/g; s/\\&//g' |
        tr ',' '\n' | sed -E 's/^ +//; s/ +$//; s/ +/ /g' | sed '/^$/d' | sort -u
}

(($# >= 2 && $# % 2 == 0)) || {
    echo "usage: $0 PROGRAM PAGE [PROGRAM PAGE ...]" >&2
    exit 2
}
status=0
while (($#)); do
    program=$1 page=$2
    shift 2
    help=$(help_options "$program")
    man=$(page_options "$page")
    name=$(basename "$program")
    if [ -z "$help" ] || [ -z "$man" ]; then
        echo "$name: no options read from --help or from $(basename "$page")"
        status=1
        continue
    fi
    only_help=$(comm -23 <(echo "$help") <(echo "$man"))
    only_man=$(comm -13 <(echo "$help") <(echo "$man"))
    if [ -n "$only_help" ]; then
        echo "$name: in --help, not in $(basename "$page"):" $only_help
        status=1
    fi
    if [ -n "$only_man" ]; then
        echo "$name: in $(basename "$page"), not in --help:" $only_man
        status=1
    fi
    if [ -z "$only_help$only_man" ]; then
        echo "$name: --help and $(basename "$page") agree on $(wc -l <<<"$help") options"
    fi
done
exit "$status"
