#!/bin/sh
# Runs a command beside a throwaway PostgreSQL cluster: initdb in a new temporary folder,
# the server on a free loopback port, a database "brolix" whose address the command finds
# in BROLIX_TEST_PG; stopped and removed afterwards, whatever the command's outcome.
# PostgreSQL refuses to run as root, so as root the cluster belongs to "nobody".
# Usage: with_postgresql.sh COMMAND [ARGS...]
set -eu

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "with_postgresql.sh: no PostgreSQL server found (Debian package postgresql)" >&2
    exit 1
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/brolix-pg-XXXXXX")
as_owner() { "$@"; }
if [ "$(id -u)" = 0 ]; then
    chown nobody "$dir"
    # The folder's parents must let nobody in; mktemp's own folder is private.
    chmod 700 "$dir"
    as_owner() { su -s /bin/sh nobody -c "$(printf '%s ' "$@")"; }
fi

stop() {
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 130' INT TERM

as_owner "$bin/initdb" -D "$dir/data" -A trust -U brolix -E UTF8 --no-locale --no-sync >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    exit 1
}

# A port that was free a moment ago may be taken by the time the server binds it: try again.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
started=
for attempt in 1 2 3 4 5 6 7 8; do
    port=$(free_port)
    if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "'-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200'" start >/dev/null; then
        started=yes
        break
    fi
done
if [ -z "$started" ]; then
    echo "with_postgresql.sh: the server did not start" >&2
    cat "$dir/server.log" >&2
    exit 1
fi
"$bin/createdb" -h 127.0.0.1 -p "$port" -U brolix brolix

BROLIX_TEST_PG="postgresql://brolix@127.0.0.1:$port/brolix"
export BROLIX_TEST_PG
status=0
"$@" || status=$?
exit $status
