#!/usr/bin/env bash
# Runs one golden case through kestrelan-cli and compares every file it leaves with the case's
# expected files, byte for byte. A case folder holds:
#   market     the market to run on: "sample" (kestrelan-cli sample-data) or a folder in ../../markets
#   args       the arguments of `kestrelan-cli run` (one line)
#   inputs/    optional files copied over the market (a SimItem.lst, a damaged ksp.txt, ...)
#   remove     optional: files removed from the market, one path a line
#   expected/  the files the run must leave, including stderr.txt and status.txt
# With --update-golden the expected files are rewritten from this run instead (review the diff).
set -euo pipefail
cli=$(realpath "$1")
case_dir=$(realpath "$2")
update=${3:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

market=$(cat "$case_dir/market")
if [ "$market" = sample ]; then
    "$cli" sample-data "$work" >/dev/null
else
    cp -r "$case_dir/../../markets/$market/." "$work/"
fi
if [ -d "$case_dir/inputs" ]; then
    cp -r "$case_dir/inputs/." "$work/"
fi

if [ -f "$case_dir/remove" ]; then
    while read -r path; do rm -f "$work/$path"; done < "$case_dir/remove"
fi

read -r -a args < "$case_dir/args"
status=0
(cd "$work" && "$cli" run "${args[@]}" --program-dir "$work" 2>stderr.txt) || status=$?
echo "$status" > "$work/status.txt"

produced=(result.csv result.txt trade.csv closing.csv gen.csv stats.csv settings.csv summary.csv date.lst SimItem.lst stderr.txt status.txt)
if [ "$update" = --update-golden ]; then
    rm -rf "$case_dir/expected"
    mkdir -p "$case_dir/expected"
    for f in "${produced[@]}"; do
        [ -f "$work/$f" ] && cp "$work/$f" "$case_dir/expected/$f"
    done
    echo "updated $case_dir/expected"
    exit 0
fi

failed=0
for f in "${produced[@]}"; do
    if [ -f "$case_dir/expected/$f" ]; then
        if [ ! -f "$work/$f" ]; then
            echo "missing: $f"
            failed=1
        elif ! cmp -s "$case_dir/expected/$f" "$work/$f"; then
            echo "differs: $f"
            diff <(iconv -f CP949 -t UTF-8 -c "$case_dir/expected/$f") <(iconv -f CP949 -t UTF-8 -c "$work/$f") | head -20 || true
            failed=1
        fi
    elif [ -f "$work/$f" ]; then
        echo "unexpected: $f"
        failed=1
    fi
done
exit $failed
