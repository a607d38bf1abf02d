#!/bin/sh
# The store's insert and list on a 10,000-row table, beside the sqlite3 shell running the same
# statements on an in-memory database. usage: run.sh [path/to/tuna_bench]
set -eu
BENCH=${1:-build/bench/tuna/tuna_bench}
ROWS=${ROWS:-10000}
ROUNDS=${ROUNDS:-100}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

"$BENCH" "$WORK" "$ROWS" "$ROUNDS" > "$WORK/store.txt"
store_insert=$(awk '$1 == "insert_seconds" {print $2}' "$WORK/store.txt")
store_list=$(awk '$1 == "list_seconds" {print $2}' "$WORK/store.txt")

# The shell's CPU time (user + sys, as its timer reports per statement) for the inserts and for the
# lists, in one in-memory session; the best of three sessions.
shell_times() {
    { cat "$WORK/schema.sql"; echo ".timer on"; echo ".print PHASE insert"; cat "$WORK/insert.sql";
      echo ".print PHASE list"; cat "$WORK/list.sql"; } |
        sqlite3 :memory: |
        awk '$1 == "PHASE" { phase = $2 } $1 == "Run" && $2 == "Time:" { t[phase] += $6 + $8 }
             END { printf "%.6f %.6f\n", t["insert"], t["list"] }'
}
best_insert=""; best_list=""
for _ in 1 2 3; do
    set -- $(shell_times)
    best_insert=$(awk -v a="$1" -v b="$best_insert" 'BEGIN { print (b == "" || a < b) ? a : b }')
    best_list=$(awk -v a="$2" -v b="$best_list" 'BEGIN { print (b == "" || a < b) ? a : b }')
done

awk -v si="$store_insert" -v sl="$store_list" -v qi="$best_insert" -v ql="$best_list" \
    -v rows="$ROWS" -v rounds="$ROUNDS" 'BEGIN {
    printf "tuna insert of %d rows:        store %.3f s   sqlite3 shell %.3f s   ratio %.2f\n", rows, si, qi, si / qi
    printf "tuna list (%d x json + rows):  store %.3f s   sqlite3 shell %.3f s   ratio %.2f\n", rounds, sl, ql, sl / ql
}'
