#!/usr/bin/env bash
# A sweep and a walk spread over three shards by GNU parallel on one machine, as the README shows
# them, merged: the merged files must be the unsharded sweep's, byte for byte, and the walk's
# windows made from the merged file the unsharded walk's.
set -euo pipefail
cli=$(realpath "$1")
if ! command -v parallel >/dev/null; then
    echo "GNU parallel is missing: scripts/install-deps test installs it" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$cli" sample-data . >/dev/null

sweep=(--stocks 005930,000660,016360 --cadence 1 --years 0 --margin 5:20:5 --second 5,10 --risk 0,2)
walk=("${sweep[@]}" --start 20000101 --end 20061130 --walk 36:12)

"$cli" sweep "${sweep[@]}" --out whole.csv >/dev/null 2>&1
parallel --will-cite "$cli" sweep "${sweep[@]}" --shard {}/3 --out part{}.csv ::: 1 2 3 >/dev/null 2>&1
"$cli" sweep-merge part1.csv part2.csv part3.csv --out merged.csv >/dev/null
cmp whole.csv merged.csv

mkdir alone
"$cli" sweep "${walk[@]}" --out alone/walk.csv >/dev/null 2>&1
parallel --will-cite "$cli" sweep "${walk[@]}" --shard {}/3 --out walk{}.csv ::: 1 2 3 >/dev/null 2>&1
"$cli" sweep-merge walk1.csv walk2.csv walk3.csv --out walk.csv >/dev/null
cmp alone/walk.csv walk.csv
# The windows are chosen once the file holds the whole sweep: the same command with --resume.
"$cli" sweep "${walk[@]}" --out walk.csv --resume >/dev/null 2>&1
cmp alone/walk.csv walk.csv
cmp alone/walkforward.csv walkforward.csv
cmp alone/walkforward-summary.csv walkforward-summary.csv
echo "three shards by GNU parallel: the merged sweep and walk are the unsharded ones"
