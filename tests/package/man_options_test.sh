#!/usr/bin/env bash
# Every option that a command's --help lists appears in that program's man page source.
#   man_options_test.sh KORVID_CLI KORVID MAN_FOLDER
set -u
cli=$1 gui=$2 man=$3
failed=0

# The options of one --help text: the first column of its indented option lines
# ("  -p,--pick N", "  -h, --help"), split at commas, without values or CLI11's choices.
options_of() {
    grep -E '^ +-' | sed -E 's/^ +//; s/  .*//' | tr ',' '\n' |
        sed -E 's/^ +//; s/[ =:].*//' | grep -E '^-'
}

check() {
    local page=$1 what=$2
    shift 2
    local help option count=0
    help=$("$@" --help) || { echo "FAIL: $what --help failed"; failed=1; return; }
    while read -r option; do
        count=$((count + 1))
        if ! grep -qF -- "*$option*" "$man/$page.1.scd"; then
            echo "FAIL: $what: $option is not in $page(1)"
            failed=1
        fi
    done < <(options_of <<<"$help")
    if [ "$count" -eq 0 ]; then
        echo "FAIL: $what: no option found in its --help"
        failed=1
    fi
}

check korvid-cli "korvid-cli" "$cli"
for command in search tag show-tag scan undo-rename dataset "dataset update" "dataset status" "dataset remove"; do
    # shellcheck disable=SC2086
    check korvid-cli "korvid-cli $command" "$cli" $command
done
check korvid korvid env -u DISPLAY -u WAYLAND_DISPLAY "$gui"

# Every command of korvid-cli has a section of its own.
for command in search tag show-tag scan undo-rename "dataset update" "dataset status" "dataset remove"; do
    grep -qE "^## $command( |$)" "$man/korvid-cli.1.scd" ||
        { echo "FAIL: korvid-cli $command has no section"; failed=1; }
done
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed"
exit "$failed"
