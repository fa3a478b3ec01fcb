#!/usr/bin/env bash
# 10,000 pings from 50 clients at once: every one answered 200, one whole
# usage line each. Usage: load_test.sh SERVER_PROGRAM SAMPLE_CONTENT_FOLDER
set -u
source "$(dirname "$0")/../tools/home_server.sh"
command -v ab >/dev/null || { echo "missing ab (Debian package apache2-utils)"; exit 1; }
work=$(mktemp -d) HOME_PID=
trap '[ -z "$HOME_PID" ] || kill "$HOME_PID" 2>/dev/null; rm -rf "$work"' EXIT
start_home_server "$1" "$2" "$work/content"
ab -q -n 10000 -c 50 -r "$HOME_URL/scripts/vyrcmd.dll?Ping&U=0123456789ABCDEF0123456789ABCDEF&B=Default&MO=5&S=1&PV=7&IBA=" > "$work/ab" 2>&1
grep -E '^(Complete|Failed|Non-2xx|Requests per second)' "$work/ab"
stop_home_server || { echo "FAIL: the server did not end cleanly"; exit 1; }
grep -q '^Complete requests: *10000$' "$work/ab" && grep -q '^Failed requests: *0$' "$work/ab" &&
  ! grep -q '^Non-2xx' "$work/ab" || { echo "FAIL: not every request was answered 200"; exit 1; }
usage="$work/content/logs/usage.log"
whole=$(grep -cP '^\S+\tPing\t0123456789ABCDEF0123456789ABCDEF\t5\tB=Default&S=1&PV=7&IBA=$' "$usage")
[ "$whole" -eq 10000 ] && [ "$(wc -l < "$usage")" -eq 10000 ] ||
  { echo "FAIL: $whole whole usage lines for 10000 pings"; exit 1; }
echo "all 10000 requests answered"
