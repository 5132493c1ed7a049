#!/usr/bin/env bash
# The man pages as man shows them at 80 columns: no word is hyphenated and no line breaks at
# a hyphen inside a name, option or path, every "-" is the ASCII one (copied from the terminal,
# "korvid-cli" and "--no-cover" read as typed); the footer names the version and the date
# of SOURCE_DATE_EPOCH; the sections of a good man page are there.
#   man_page_text_test.sh VERSION MAN_PAGE...
set -u
version=$1
shift
failed=0
for page in "$@"; do
    name=$(basename "$page" .1.gz)
    text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null)
    # A line that ends in a hyphen, or a Unicode hyphen anywhere.
    if grep -qE -- '[-‐]$|‐' <<<"$text"; then
        echo "FAIL: $name(1): a line ends in a hyphen, or a Unicode hyphen:"
        grep -nE -- '[-‐]$|‐' <<<"$text" | head -3
        failed=1
    fi
    footer=$(tail -n 1 <<<"$text")
    date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
    grep -qE "^Korvid $version +$date +$name\(1\)$" <<<"$footer" ||
        { echo "FAIL: $name(1)'s footer: $footer"; failed=1; }
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES \
        "REPORTING BUGS" COPYRIGHT "SEE ALSO"; do
        grep -qx "$section" <<<"$text" || { echo "FAIL: $name(1) has no $section"; failed=1; }
    done
done
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed"
exit "$failed"
