#!/usr/bin/env bash
# The genre names that the shell completions offer for tag --genre and that korvid-cli(1)
# lists are the tag's own list (GenreNames in tag/movie_tag.h), all of them, in its order.
#   genre_lists_test.sh SOURCE_FOLDER
set -u
source=$1
names=$(sed -n '/GenreNames = {/,/};/p' "$source/tag/movie_tag.h" | grep -o '"[^"]*"' | tr -d '"')
count=$(wc -l <<<"$names")
spaced=$(tr '\n' ' ' <<<"$names" | sed 's/ $//')
listed=$(sed 's/ /, /g' <<<"$spaced")
failed=0
[ "$count" -eq 27 ] || { echo "FAIL: $count genre names read from tag/movie_tag.h"; failed=1; }
for file in completions/korvid-cli.bash completions/_korvid-cli completions/korvid-cli.fish; do
    grep -qF -- "$spaced" "$source/$file" || { echo "FAIL: $file lacks: $spaced"; failed=1; }
done
grep -qF -- "$listed" "$source/docs/man/korvid-cli.1.scd" ||
    { echo "FAIL: korvid-cli(1) lacks: $listed"; failed=1; }
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed"
exit "$failed"
