#!/bin/sh
# Makes one man page from its scdoc source, compressed as Debian wants it:
#   man-page.sh SCDOC SOURCE VERSION OUTPUT
# The footer names the version (@VERSION@ in the source's first line) and the date is
# SOURCE_DATE_EPOCH's, so the same sources give the same page. Two mends of scdoc's roff:
# hyphenation stays off after .TH (which turns it back on), and every "-" is \-, the ASCII
# hyphen-minus that is never a place to break a line, so names, options and paths copied from
# the terminal read as typed ("korvid-cli", "--no-cover", never "ko-" "rvid-cli").
set -eu
scdoc=$1 source=$2 version=$3 output=$4
sed "1s/@VERSION@/$version/" "$source" | "$scdoc" |
    sed -e '/^\.\\"/!s/-/\\-/g' -e '/^\.TH /a .nh\n.ad l' |
    gzip -9n >"$output.tmp"
mv "$output.tmp" "$output"
