#!/usr/bin/env bash
# Starts and stops the private PostgreSQL cluster the tests use: initdb in a
# fresh temporary folder, the server listening only on a Unix socket in that
# folder, trusted logins as "tallybrook". Nothing of the machine's own
# PostgreSQL is touched.
#
#   pg-test-cluster.sh start STATE   writes the folder's path into STATE
#   pg-test-cluster.sh stop STATE    stops the server and removes the folder
#
# initdb refuses to run as root: as root the server runs as the "postgres"
# system user (made by Debian's package), or "nobody" when that is missing.
set -euo pipefail
cmd=${1:?start or stop}
state=${2:?state file}

bin=${TALLYBROOK_PG_BIN:-}
if [ -z "$bin" ]; then
  for d in /usr/lib/postgresql/15/bin $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -rV); do
    [ -x "$d/initdb" ] && { bin=$d; break; }
  done
fi
[ -n "$bin" ] || { echo "PostgreSQL server programs not found (install postgresql: ./scripts/deps.sh)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    local user=postgres
    id "$user" >/dev/null 2>&1 || user=nobody
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

case "$cmd" in
start)
  if [ -f "$state" ]; then "$0" stop "$state" || true; fi
  dir=$(mktemp -d /tmp/tallybrook-pg.XXXXXX)
  chmod 755 "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    owner=postgres
    id "$owner" >/dev/null 2>&1 || owner=nobody
    chown "$owner" "$dir"
  fi
  as_owner "$bin/initdb" -D "$dir/data" -U tallybrook --auth=trust --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; rm -rf "$dir"; exit 1; }
  # No TCP port at all; the socket lives in the folder. Durability is not
  # what tests measure, so the server does not wait for the disk.
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=200" start >/dev/null ||
    { cat "$dir/server.log" >&2; rm -rf "$dir"; exit 1; }
  echo "$dir" >"$state"
  echo "test database server running in $dir"
  ;;
stop)
  [ -f "$state" ] || exit 0
  dir=$(head -n1 "$state")
  if [ -n "$dir" ] && [ -d "$dir/data" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  case "$dir" in /tmp/tallybrook-pg.*) rm -rf "$dir" ;; esac
  rm -f "$state"
  ;;
*)
  echo "usage: $0 start|stop STATE" >&2
  exit 2
  ;;
esac
