#!/usr/bin/env bash
# vyrelle-cli download against the test HTTP server started here: the messages
# it prints, its exit status, and Ctrl+C cancelling a stalled download.
set -u
CLI="$1"
WORK=$(mktemp -d)
/usr/bin/python3 "$2" > "$WORK/server.out" &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
fail() { echo "FAIL: $*"; exit 1; }
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
URL="http://127.0.0.1:$(sed -n 's/^PORT //p' "$WORK/server.out")"

out=$("$CLI" download "$URL/file/40000" "$WORK/a" 2>/dev/null)
[ "$?:$out" = $'0:started\nsize 40000\nwritten 32678\nwritten 7322\nfinished 0' ] || fail "40000 bytes: $out"
[ "$(stat -c %s "$WORK/a")" -eq 40000 ] || fail "file size $(stat -c %s "$WORK/a")"

"$CLI" download "$URL/stall/100000" "$WORK/c" > "$WORK/stall.out" 2>/dev/null &
CLI_PID=$!
for _ in $(seq 100); do [ "$(grep -c written "$WORK/stall.out")" -eq 3 ] && break; sleep 0.1; done
kill -INT "$CLI_PID"
wait "$CLI_PID"
[ "$?:$(tail -2 "$WORK/stall.out")" = $'1:cancelled\nfinished -41' ] || fail "stall: $(cat "$WORK/stall.out")"
echo "all download checks passed"
