#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process cost of a 400-sample list job in corvial-batch against the same job given
# with --text, in one run: the two jobs take turns so that other work on the machine weighs
# on both alike, and the medians are compared (goal: the list job at most 1.3 times).
# Usage: bench_list_batch.sh path/to/corvial-batch [runs]

. "$(dirname "$0")/../batch/bench_common.sh"

batch=${1:?usage: bench_list_batch.sh path/to/corvial-batch [runs]}
runs=${2:-7}

# 400 circle labels, each with its own five-byte name, from a Shift-JIS-free CSV.
for i in $(seq 1 400); do printf 'S%04d\r\n' "$i"; done >"$work/list.csv"

run_once() { # label, then the batch's arguments; prints wall ms
    local start end
    start=$EPOCHREALTIME
    "$batch" "$@" --pdf "$work/job.pdf" >"$work/out" 2>"$work/err" ||
        { echo "bench_list_batch: the job failed:" >&2; cat "$work/err" >&2; exit 1; }
    end=$EPOCHREALTIME
    echo $(( (${end/[.,]/} - ${start/[.,]/}) / 1000 ))
}

text_job=(--type 1 --samples 400 --text S0001)
list_job=(--type 1 --list "$work/list.csv")
run_once "${text_job[@]}" >/dev/null # fills the page cache and the font caches once
run_once "${list_job[@]}" >/dev/null
: >"$work/text"
: >"$work/list"
i=0
while [ "$i" -lt "$runs" ]; do
    run_once "${text_job[@]}" >>"$work/text"
    run_once "${list_job[@]}" >>"$work/list"
    i=$((i + 1))
done

text_ms=$(median <"$work/text")
list_ms=$(median <"$work/list")
ratio=$(awk -v l="$list_ms" -v t="$text_ms" 'BEGIN { printf "%.2f", l / t }')
echo "corvial-batch, 400 circle labels to PDF, $runs runs each, taking turns:"
echo "  --text wall ms: $(tr '\n' ' ' <"$work/text")(median $text_ms)"
echo "  --list wall ms: $(tr '\n' ' ' <"$work/list")(median $list_ms)"
echo "  list / text: $ratio (goal <= 1.3)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.3) }'
