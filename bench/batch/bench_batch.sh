#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process cost of corvial-batch for the largest job (400 labels) into a PDF: wall
# time and peak resident memory of each run, measured with /usr/bin/time, and the median
# of the runs. Run the way a script on a headless machine would: no display, no platform
# chosen. Usage: bench_batch.sh path/to/corvial-batch [runs]

. "$(dirname "$0")/bench_common.sh"

batch=${1:?usage: bench_batch.sh path/to/corvial-batch [runs]}
runs=${2:-9}
goal_ms=170

# One label sheet job of each size class would say the same; this is the largest: 400
# circle labels with text and number, four pages at 600 dpi.
# The clock is bash's own: starting `date` costs milliseconds on a small machine, so only
# /usr/bin/time and the batch itself are started inside the measured interval.
run_once() {
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o "$work/rss" \
        "$batch" --type 1 --samples 200 --repeat 2 --first 9801 --text 'ABCDE' \
        --back-colour Yellow --text-colour Red --start 150 --pdf "$work/job.pdf" >"$work/out" 2>"$work/err" ||
        { echo "bench_batch: the job failed:" >&2; cat "$work/err" >&2; exit 1; }
    end=$EPOCHREALTIME
    # wall ms, peak KiB, CPU ms (user + system)
    echo "$(( (${end/[.,]/} - ${start/[.,]/}) / 1000 )) $(tail -n 1 "$work/rss" | awk '{ printf "%d %d", $1, ($2 + $3) * 1000 }')"
}

run_once >/dev/null # fills the page cache and the font caches once
: >"$work/all"
i=0
while [ "$i" -lt "$runs" ]; do
    run_once >>"$work/all"
    i=$((i + 1))
done

ms=$(cut -d' ' -f1 "$work/all" | median)
kib=$(cut -d' ' -f2 "$work/all" | median)
cpu=$(cut -d' ' -f3 "$work/all" | median)
pages=$(pdfinfo "$work/job.pdf" 2>/dev/null | awk '/^Pages:/ { print $2 }')
echo "corvial-batch, 400 labels to PDF (${pages:-?} pages), $runs runs:"
echo "  wall ms:  $(cut -d' ' -f1 "$work/all" | tr '\n' ' ')"
echo "  peak KiB: $(cut -d' ' -f2 "$work/all" | tr '\n' ' ')"
echo "  CPU ms:   $(cut -d' ' -f3 "$work/all" | tr '\n' ' ')(user + system, 10 ms steps)"
printf '  median %s ms wall (goal < %d ms), %s ms CPU, peak %.1f MiB (goal < 35 MiB)\n' \
    "$ms" "$goal_ms" "$cpu" "$(echo "$kib" | awk '{ print $1 / 1024 }')"
echo "  load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine inflates wall time)"
echo "  $(cat "$work/out")"
