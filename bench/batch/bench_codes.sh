#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What 2-D codes cost the batch printer: the whole process for a 400-label job at 600 dpi
# into a PDF, once without and once with --code, the two alternating so that load on the
# machine falls on both alike; medians of wall and CPU time and their differences.
# Usage: bench_codes.sh path/to/corvial-batch [runs]

. "$(dirname "$0")/bench_common.sh"

batch=${1:?usage: bench_codes.sh path/to/corvial-batch [runs]}
runs=${2:-15}
goal_ms=15

# 400 samples of one label each on the 95-label tube sheets: every code differs, so none is
# encoded only once for several labels; numbers run past 9999.
run_once() {
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f '%U %S' -o "$work/cpu" \
        "$batch" --type 5 --samples 400 --first 9801 --text 'Serum\nLot 42' \
        --resolution 600 --pdf "$work/job.pdf" "$@" >"$work/out" 2>"$work/err" ||
        { echo "bench_codes: the job failed:" >&2; cat "$work/err" >&2; exit 1; }
    end=$EPOCHREALTIME
    # wall ms, CPU ms (user + system)
    echo "$(( (${end/[.,]/} - ${start/[.,]/}) / 1000 )) $(tail -n 1 "$work/cpu" | awk '{ printf "%d", ($1 + $2) * 1000 }')"
}

run_once >/dev/null # fills the page cache and the font caches once
run_once --code --code-prefix LAB- >/dev/null
: >"$work/plain"
: >"$work/codes"
i=0
while [ "$i" -lt "$runs" ]; do
    run_once >>"$work/plain"
    run_once --code --code-prefix LAB- >>"$work/codes"
    i=$((i + 1))
done
bytes=$(stat -c %s "$work/job.pdf")

plain_ms=$(cut -d' ' -f1 "$work/plain" | median)
codes_ms=$(cut -d' ' -f1 "$work/codes" | median)
plain_cpu=$(cut -d' ' -f2 "$work/plain" | median)
codes_cpu=$(cut -d' ' -f2 "$work/codes" | median)
echo "corvial-batch, 400 tube labels at 600 dpi to PDF, $runs runs of each, alternating:"
echo "  without codes, wall ms: $(cut -d' ' -f1 "$work/plain" | tr '\n' ' ')"
echo "  with codes,    wall ms: $(cut -d' ' -f1 "$work/codes" | tr '\n' ' ')"
echo "  median wall: $plain_ms ms without, $codes_ms ms with codes," \
    "difference $(awk -v a="$codes_ms" -v b="$plain_ms" 'BEGIN { print a - b }') ms (goal <= $goal_ms ms)"
echo "  median CPU (user + system, 10 ms steps): $plain_cpu ms without, $codes_cpu ms with"
echo "  PDF with codes: $((bytes / 1024)) KiB"
echo "  load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine inflates wall time)"
