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

# A large one: its "written" lines, at most ten a second, add up to the file.
start=$(date +%s%N)
"$CLI" download "$URL/file/60000000" "$WORK/b" > "$WORK/big.out" 2>/dev/null
ms=$(( ($(date +%s%N) - start) / 1000000 ))
lines=$(grep -c '^written' "$WORK/big.out")
expect "written in all" 60000000 "$(awk '/^written/ { s += $2 } END { print s }' "$WORK/big.out")"
expect "written lines" "at most $((ms / 100 + 2))" "at most $((lines > ms / 100 + 2 ? lines : ms / 100 + 2))"

"$CLI" download "$URL/stall/100000" "$WORK/c" > "$WORK/stall.out" 2>/dev/null &
CLI_PID=$!
# Three whole chunks (3 x 32678 bytes) arrive before the server stalls.
for _ in $(seq 100); do
  [ "$(awk '/^written/ { s += $2 } END { print s + 0 }' "$WORK/stall.out")" -eq 98034 ] && break
  sleep 0.1
done
kill -INT "$CLI_PID"
wait "$CLI_PID"
expect "stall" $'1:cancelled\nfinished -41' "$?:$(tail -2 "$WORK/stall.out")"
finish download
