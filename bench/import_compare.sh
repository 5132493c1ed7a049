#!/usr/bin/env bash
# Times four ways of reading the data-set files of a folder, one after the other on the
# same files: zcat alone (the floor every way pays); the sqlite3 shell's .import after zcat
# (every row of every file into a table of its own, no index); a Python script with the csv
# and sqlite3 modules (the same, in one transaction); and Korvid's build (korvid-cli dataset
# update --from FOLDER), which keeps only what it needs but also makes its indexes and its word
# index. Each prints its wall time and its processor time (user + system, children included).
#
#   bench/import_compare.sh FOLDER [KORVID_CLI]
#
# FOLDER holds title.basics.tsv.gz, title.ratings.tsv.gz, title.crew.tsv.gz,
# title.principals.tsv.gz and name.basics.tsv.gz, and title.akas.tsv.gz when it is there
# (bench/make_datasets writes such a folder).
# Nothing is fetched: korvid-cli reads the folder in place and its other addresses are a
# loopback port where nothing listens.
set -euo pipefail
folder=$(cd "$1" && pwd)
cli=$(realpath "${2:-build-bench/cli/korvid-cli}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files="title.basics title.ratings title.crew title.principals name.basics"
if [ -f "$folder/title.akas.tsv.gz" ]; then
    files="$files title.akas"
fi
TIMEFORMAT='%R s wall, %U s user, %S s system'

echo "zcat alone:"
time (for f in $files; do zcat "$folder/$f.tsv.gz" > /dev/null; done)

echo "sqlite3 .import after zcat:"
time (for f in $files; do
    zcat "$folder/$f.tsv.gz" |
        sqlite3 "$work/import.sqlite" -cmd '.mode ascii' -cmd '.separator "\t" "\n"' \
            ".import /dev/stdin ${f/./_}"
done)

echo "Python, csv and sqlite3:"
time python3 - "$folder" "$work/python.sqlite" $files <<'PY'
import csv, gzip, sqlite3, sys
folder, database, names = sys.argv[1], sys.argv[2], sys.argv[3:]
csv.field_size_limit(1 << 30)
db = sqlite3.connect(database)
with db:
    for name in names:
        with gzip.open(f"{folder}/{name}.tsv.gz", "rt", encoding="utf-8", newline="") as f:
            rows = csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
            header = next(rows)
            table = name.replace(".", "_")
            db.execute(f"CREATE TABLE {table} ({', '.join(header)})")
            marks = ", ".join("?" * len(header))
            db.executemany(f"INSERT INTO {table} VALUES ({marks})", rows)
db.close()
PY

echo "Korvid (korvid-cli dataset update --from FOLDER):"
time env XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" KORVID_HOST=127.0.0.1:9 \
    KORVID_SUGGEST_URL=http://127.0.0.1:9/ KORVID_DATASETS_URL=http://127.0.0.1:9/ \
    "$cli" dataset update --from "$folder" --db "$work/korvid.sqlite" > /dev/null
ls -l "$work"/*.sqlite
