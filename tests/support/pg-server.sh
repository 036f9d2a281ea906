#!/usr/bin/env bash
# A private PostgreSQL server for the tests: `pg-server.sh start STATE` makes a new cluster in
# a temporary folder, starts it on a free port of 127.0.0.1 with trust authentication and
# writes the port to STATE/port; `pg-server.sh stop STATE` stops it and removes the folder.
# initdb refuses to run as root, so as root the server runs as the user postgres.
set -euo pipefail
action=${1:?start or stop}
state=${2:?state folder}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "pg-server.sh: PostgreSQL server programs not found (install postgresql)" >&2
    exit 1
fi
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    as_owner=(runuser -u postgres --)
fi

stop_server() {
    if [ -f "$state/dir" ]; then
        local dir
        dir=$(cat "$state/dir")
        "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
        rm -rf -- "$dir"
        rm -f -- "$state/dir" "$state/port"
    fi
}

case "$action" in
start)
    mkdir -p "$state"
    stop_server # one a killed run left behind
    dir=$(mktemp -d /tmp/corvial-pg.XXXXXX)
    echo "$dir" >"$state/dir"
    if [ ${#as_owner[@]} -gt 0 ]; then
        chown postgres: "$dir"
    fi
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
        --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    # No fsync: the cluster is thrown away after the run.
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -h 127.0.0.1 -k $dir -F" start >/dev/null ||
        { cat "$dir/server.log" >&2; exit 1; }
    echo "$port" >"$state/port"
    ;;
stop)
    stop_server
    ;;
*)
    echo "pg-server.sh: unknown action $action" >&2
    exit 2
    ;;
esac
