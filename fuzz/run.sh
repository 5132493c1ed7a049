#!/usr/bin/env bash
# Runs one fuzz target for a number of seconds: fuzz/run.sh BUILD TARGET SECONDS.
# It starts from the checked-in seeds (fuzz/corpus/TARGET, only read) and the inputs earlier
# runs found (BUILD/corpus/TARGET, where new ones go); an input that breaks an invariant or
# crashes is kept as BUILD/artifacts/TARGET-crash-* and the run fails.
set -euo pipefail
build=$1
target=$2
seconds=$3
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$build/corpus/$target" "$build/artifacts"
options=(-max_total_time="$seconds" -print_final_stats=1
         -artifact_prefix="$build/artifacts/$target-")
case $target in
    fuzz_line_finder | fuzz_page_parser | fuzz_search_import | fuzz_line_search_differential)
        options+=(-dict="$here/pages.dict") ;;
    fuzz_cover_address)
        options+=(-dict="$here/cover_address.dict") ;;
esac
log="$build/artifacts/$target.log"
echo "== $target, ${seconds} s"
if ! "$build/$target" "${options[@]}" "$build/corpus/$target" "$here/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "== $target FAILED: the input is in $build/artifacts/ (log: $log)"
    exit 1
fi
grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
