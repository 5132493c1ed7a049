#!/usr/bin/env bash
# The bash completion of korvid-cli and korvid, run on a few partial command lines the way
# bash runs it at a Tab, in a folder of files of its own.
#   bash_completion_test.sh COMPLETION_FILE
set -u
completion=$1
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion || exit 1
# shellcheck disable=SC1090
source "$completion" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch film.avi films.sqlite notes.txt
mkdir covers

# The completions of LINE (the cursor at its end), sorted, on one line.
complete_line() {
    local line=$1 function
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    function=$(complete -p "${COMP_WORDS[0]}" | sed -E 's/.*-F ([^ ]+).*/\1/')
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failed=0 passed=0
while IFS='|' read -r line expected; do
    actual=$(complete_line "$line")
    if [ "$actual" = "$expected" ]; then
        passed=$((passed + 1))
    else
        echo "FAIL: '$line': got '$actual', expected '$expected'"
        failed=$((failed + 1))
    fi
done <<'CASES'
korvid-cli s|scan search show-tag
korvid-cli da|dataset
korvid-cli dataset |--help -h remove status update
korvid-cli dataset remove --d|--db --dry-run
korvid-cli dataset update --f|--force --from
korvid-cli search --so|--source
korvid-cli search --source |local site
korvid-cli search --no|--no-cover
korvid-cli search --nf|--nfo
korvid-cli scan --re|--recursive --rename --replace --replace-nfo
korvid-cli u|undo-rename
korvid-cli tag --ti|--title
korvid-cli tag fi|film.avi films.sqlite
korvid-cli tag --genre S|Sci-Fi Short Sport
korvid-cli tag --genre Fi|Film-Noir
korvid-cli search --db films.s|films.sqlite
korvid-cli scan -d co|covers
korvid-cli show-tag -|--help --json -h -j
korvid --v|--version
CASES
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
