#!/bin/bash
# The usage box of Brenwick.exe under Wine, on a display of its own (run under xvfb-run with
# WINEPREFIX naming a prefix that no other program uses, so that its desktop has the display).
# Starts the updater with one argument, checks that its block exists while the box is open,
# then closes the box as a user would and waits for the updater to end.
#   usage_box_wine.sh WINE WINESERVER PROGRAM WAITER CLOSER PROGRAM_FOLDER OUT_DIR
set -uo pipefail
wine=$1
wineserver=$2
program=$3
waiter=$4
closer=$5
folder=$6
out=$7

"$wine" "$program" onlyone > "$out/updater.out" 2>&1 &
box=$!
for _ in $(seq 200); do
  "$wine" "$waiter" --open-only "$folder" > "$out/block.out" 2>&1 && break
  sleep 0.1
done
"$wine" "$closer" 30000 > "$out/closer.out" 2>&1
echo "closer=$?" >> "$out/closer.out"
wait "$box"
echo "$?" > "$out/updater.status"
# The prefix's own server ends once its last program has (its desktop with it).
timeout 30 "$wineserver" -w
