#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A watched folder against the batch printer run once per job: 200 small jobs dropped at once
# into a running watcher, and the same 200 jobs as 200 `corvial-batch --job` runs, each with
# its own start.txt and history so neither finds the other's records; then how soon a job
# dropped into an idle watcher is taken. Usage: bench_watch.sh CORVIAL_BATCH [JOBS]
batch=$1
jobs=${2:-200}
. "$(dirname "$0")/bench_common.sh"

now_ms() { date +%s%3N; }

mkdir -p "$work/jobs" "$work/runs/out" "$work/watch/in" "$work/watch/out"
for ((i = 0; i < jobs; i++)); do
    printf '{"type": 1, "samples": 2, "first": %d, "text": "W%d"}\n' "$i" "$i" \
        > "$work/jobs/$(printf 'job%04d' "$i").json"
done
cp "$(dirname "$0")/../../data/start.txt" "$work/runs/start.txt"
cp "$(dirname "$0")/../../data/start.txt" "$work/watch/start.txt"

start=$(now_ms)
for f in "$work"/jobs/*.json; do
    name=$(basename "$f" .json)
    "$batch" --job "$f" --pdf "$work/runs/out/$name.pdf" --settings "$work/runs/start.txt" > /dev/null
done
runs=$(( $(now_ms) - start ))

"$batch" --watch "$work/watch/in" --pdf-dir "$work/watch/out" --settings "$work/watch/start.txt" \
    2> "$work/watch.log" &
watcher=$!
until grep -q '監視しています' "$work/watch.log" 2>/dev/null; do sleep 0.01; done
mkdir -p "$work/watch/in/.staging"
cp "$work"/jobs/*.json "$work/watch/in/.staging/"
start=$(now_ms)
# Renamed in, one by one as fast as the shell can: how a lab system delivers them.
for f in "$work"/watch/in/.staging/*.json; do mv "$f" "$work/watch/in/"; done
until [ "$(find "$work/watch/in/done" -name '*.result.json' | wc -l)" -ge "$jobs" ]; do sleep 0.01; done
watched=$(( $(now_ms) - start ))
if [ "$(find "$work/watch/in/failed" -name '*.result.json' | wc -l)" -ne 0 ]; then
    echo "bench_watch: jobs failed:" >&2; cat "$work/watch.log" >&2; exit 1
fi

# Idle: the watcher has nothing to do; one job renamed in, until it is taken.
latencies=""
for ((i = 0; i < 5; i++)); do
    sleep 1.5
    before=$(grep -c '受け付けました' "$work/watch.log" || true)
    printf '{"type": 1, "samples": 1, "first": %d, "text": "I"}\n' "$i" > "$work/watch/in/.idle.tmp"
    t0=$(now_ms)
    mv "$work/watch/in/.idle.tmp" "$work/watch/in/idle$i.json"
    until [ "$(grep -c '受け付けました' "$work/watch.log" || true)" -gt "$before" ]; do sleep 0.005; done
    latencies="$latencies $(( $(now_ms) - t0 ))"
done
kill -TERM "$watcher"
wait "$watcher"

echo "watched folder: $jobs jobs in $watched ms; $jobs corvial-batch --job runs: $runs ms;" \
     "ratio $(awk -v a="$watched" -v b="$runs" 'BEGIN { printf "%.2f", a / b }') (goal at most 0.50)"
echo "idle watcher, rename to taken (ms, 5 drops):$latencies; median" \
     "$(echo "$latencies" | tr ' ' '\n' | grep . | median) ms (goal at most 500)"
