#!/usr/bin/env bash
# vyrelle-cli download against the test HTTP server started here: the messages
# it prints, its exit status, and Ctrl+C cancelling a stalled download (what
# a failed download leaves is the download peer test's part).
. "$(dirname "$0")/cli_test_lib.sh"
serve /usr/bin/python3 "$2"
URL="http://127.0.0.1:$PORT"

out=$("$CLI" download "$URL/file/40000" "$WORK/a" 2>/dev/null)
expect "40000 bytes" $'0:started\nsize 40000\nwritten 32678\nwritten 7322\nfinished 0' "$?:$out"
expect "file size" 40000 "$(stat -c %s "$WORK/a")"

"$CLI" download "$URL/stall/100000" "$WORK/c" > "$WORK/stall.out" 2>/dev/null &
CLI_PID=$!
for _ in $(seq 100); do [ "$(grep -c written "$WORK/stall.out")" -eq 3 ] && break; sleep 0.1; done
kill -INT "$CLI_PID"
wait "$CLI_PID"
expect "stall" $'1:cancelled\nfinished -41' "$?:$(tail -2 "$WORK/stall.out")"
finish download
