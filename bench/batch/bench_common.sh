# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the whole-process benchmarks of corvial-batch; sourced, not run. Runs the batch
# printer the way a script on a headless machine would (no display, no platform chosen),
# gives a scratch folder $work that goes away at the end, and median (numbers on stdin).
set -eu
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY

if [ ! -x /usr/bin/time ]; then
    echo "$(basename "$0"): /usr/bin/time is missing (Debian package 'time')" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
