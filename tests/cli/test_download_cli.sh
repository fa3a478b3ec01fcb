#!/usr/bin/env bash
# vyrelle-cli download against the download server started here on loopback.
set -u
CLI="$1"
SERVER="$2"
WORK=$(mktemp -d)
SERVER_PID=""
CLI_PID=""
cleanup() {
  [ -n "$CLI_PID" ] && kill "$CLI_PID" 2>/dev/null
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
export VYRELLE_HOME="$WORK/home"
PY=/usr/bin/python3
[ -x "$PY" ] || { echo "FAIL: /usr/bin/python3 is missing (Debian package python3)"; exit 1; }
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

"$PY" "$SERVER" "$WORK/port" &
SERVER_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port" 2>/dev/null)
[ -n "$PORT" ] || { echo "FAIL: the download server did not start"; exit 1; }
URL="http://127.0.0.1:$PORT"

# Every message on a line of its own, in order; exit status from the result.
out=$("$CLI" download "$URL/file/40000" "$WORK/a" 2>/dev/null)
status=$?
want=$'started\nsize 40000\nwritten 32678\nwritten 7322\nfinished 0'
[ "$out" = "$want" ] || fail "40000 bytes printed: $out"
[ "$status" -eq 0 ] || fail "40000 bytes exit status $status"
[ "$(stat -c %s "$WORK/a")" -eq 40000 ] || fail "file size $(stat -c %s "$WORK/a")"

out=$("$CLI" download "$URL/status/404" "$WORK/b" 2>/dev/null)
status=$?
[ "$out" = $'started\nsize 12\nfinished -20' ] || fail "404 printed: $out"
[ "$status" -eq 1 ] || fail "404 exit status $status"

# Ctrl+C while the server stalls: the download stops by itself and says so.
"$CLI" download "$URL/stall/100000" "$WORK/c" > "$WORK/stall.out" 2>/dev/null &
CLI_PID=$!
for _ in $(seq 1 100); do [ "$(grep -c written "$WORK/stall.out")" -eq 3 ] && break; sleep 0.1; done
kill -INT "$CLI_PID"
wait "$CLI_PID"
status=$?
CLI_PID=""
[ "$(tail -2 "$WORK/stall.out")" = $'cancelled\nfinished -41' ] || fail "stall printed: $(cat "$WORK/stall.out")"
[ "$status" -eq 1 ] || fail "stall exit status $status"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all download checks passed"
