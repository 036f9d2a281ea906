#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window program starts, shows its window and runs its first seconds without loading
# the CUPS and PostgreSQL client libraries, which it loads only when it first prints or opens
# a history: check_late_libraries.sh PROGRAM START_TXT
set -euo pipefail
program=$1
settings=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$settings" "$dir"/
mkdir -m 700 "$dir/run"
status=0
(cd "$dir" && XDG_RUNTIME_DIR="$dir/run" QT_QPA_PLATFORM=offscreen LD_DEBUG=files \
    LD_DEBUG_OUTPUT="$dir/loaded" timeout 4 "./$(basename "$program")" >"$dir/out" 2>&1) ||
    status=$?
# Still running when timeout ended it: it started and waited for the user.
if [ "$status" -ne 124 ]; then
    echo "FAIL: the program ended by itself (status $status): $(cat "$dir/out")" >&2
    exit 1
fi
loaded=$(cat "$dir"/loaded.*)
grep -q 'file=.*libQt6Widgets' <<<"$loaded" || { echo "FAIL: no loading was recorded" >&2; exit 1; }
failed=0
for library in libcups.so.2 libpq.so.5; do
    if grep -q "file=$library " <<<"$loaded"; then
        echo "FAIL: $library was loaded at start" >&2
        failed=1
    fi
done
exit "$failed"
