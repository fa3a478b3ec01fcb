#!/usr/bin/env bash
# vyrelle-home-server under load: 10,000 pings and 10,000 fetches of the
# fixed channel file, each from 50 clients at once (ab, Debian package
# apache2-utils). Every request must be answered with 200, and the logs must
# hold exactly one line per request. The rates are printed, never judged.
# Usage: load_test.sh SERVER_PROGRAM SAMPLE_CONTENT_FOLDER
set -u
server="$1"
sample="$2"
command -v ab >/dev/null || { echo "missing ab: install the Debian package apache2-utils"; exit 1; }
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$sample" "$work/content"
rm -rf "$work/content/logs" "$work/content/commands/delivered.txt" "$work/content/commands/queue.lock"

"$server" --root "$work/content" --port 0 --log-dir "$work/logs" > "$work/server.out" 2> "$work/server.err" &
pid=$!
port=
for _ in $(seq 200); do
  port=$(sed -n 's|^listening on http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/server.out")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
[ -n "$port" ] || { echo "FAIL: the server did not start: $(cat "$work/server.out" "$work/server.err")"; exit 1; }

fail=0
requests=10000
# run NAME PATH: ab's verdict on PATH; prints the rate.
run() {
  local out="$work/ab-$1.txt"
  ab -q -n "$requests" -c 50 -r "http://127.0.0.1:$port$2" > "$out" 2>&1
  local status=$?
  local complete failed non2xx rate
  complete=$(sed -n 's/^Complete requests: *\([0-9]*\)/\1/p' "$out")
  failed=$(sed -n 's/^Failed requests: *\([0-9]*\)/\1/p' "$out")
  non2xx=$(sed -n 's/^Non-2xx responses: *\([0-9]*\)/\1/p' "$out")
  rate=$(sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' "$out")
  if [ $status -ne 0 ] || [ "$complete" != "$requests" ] || [ "$failed" != "0" ] || [ -n "$non2xx" ]; then
    echo "FAIL: $1: ab exit $status, complete '$complete', failed '$failed', non-2xx '${non2xx:-0}'"
    cat "$out"
    fail=1
  fi
  echo "$1: $requests requests, 50 at once, ${rate:-?} requests per second"
}
run ping "/scripts/vyrcmd.dll?Ping&U=0123456789ABCDEF0123456789ABCDEF&B=Default&MO=5&S=1&PV=7&IBA="
run channels "/channels/chanfixed.vyr"

kill "$pid"
wait "$pid"
status=$?
pid=
[ $status -eq 0 ] || { echo "FAIL: the server ended with $status"; fail=1; }
usage=$(wc -l < "$work/logs/usage.log")
access=$(wc -l < "$work/logs/access.log")
[ "$usage" -eq $requests ] || { echo "FAIL: $usage usage lines for $requests pings"; fail=1; }
[ "$access" -eq $((2 * requests)) ] || { echo "FAIL: $access access lines for $((2 * requests)) requests"; fail=1; }
# Lines written by many threads at once stay whole.
bad=$(grep -cvP '^\S+\tPing\t0123456789ABCDEF0123456789ABCDEF\t5\tB=Default&S=1&PV=7&IBA=$' "$work/logs/usage.log")
[ "$bad" -eq 0 ] || { echo "FAIL: $bad usage lines are not whole"; fail=1; }
[ $fail -eq 0 ] && echo "all requests answered"
exit $fail
