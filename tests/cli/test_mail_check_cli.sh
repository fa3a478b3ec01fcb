#!/usr/bin/env bash
# vyrelle-cli mail check against a POP3 server started here on loopback.
set -u
CLI="$1"
SERVER="$2"
WORK=$(mktemp -d)
SERVER_PID=""
cleanup() { [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
export VYRELLE_HOME="$WORK/home"
PY=/usr/bin/python3
[ -x "$PY" ] || { echo "FAIL: /usr/bin/python3 is missing (Debian package python3)"; exit 1; }
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

printf 'From: a@mail.example\nSubject: first message\n\nOne.\n' > "$WORK/m1"
printf 'From: b@mail.example\nSubject: second message\n\n.dotted line\n' > "$WORK/m2"
"$PY" "$SERVER" --mode normal --log "$WORK/server.log" --message "$WORK/m1" --message "$WORK/m2" \
  > "$WORK/port" &
SERVER_PID=$!
for _ in $(seq 1 50); do grep -q PORT "$WORK/port" 2>/dev/null && break; sleep 0.1; done
PORT=$(awk '/PORT/{print $2}' "$WORK/port")
[ -n "$PORT" ] || { echo "FAIL: the test server did not start"; exit 1; }

"$CLI" settings set email pop3-server 127.0.0.1
"$CLI" settings set email POP3Port "$PORT"
"$CLI" settings set email pop3-account user
"$CLI" settings set email pop3-pass "$("$CLI" cipher encode secret)"

out=$("$CLI" mail check)
status=$?
[ "$status" -eq 0 ] || fail "check exit status $status"
echo "$out" | grep -qx "Found 2 messages." || fail "no 'Found 2 messages.' in: $out"
[ "$(echo "$out" | tail -1)" = "finished: 0" ] || fail "last line: $(echo "$out" | tail -1)"
count=$(ls "$VYRELLE_HOME/vyrelle/email/Inbox" | wc -l)
[ "$count" -eq 2 ] || fail "Inbox holds $count files"
grep -l "^\.dotted line" "$VYRELLE_HOME"/vyrelle/email/Inbox/* >/dev/null || fail "stuffed dot not undone"

# A wrong password: the account fails and the exit status says so.
"$CLI" settings set email pop3-pass "$("$CLI" cipher encode wrong)"
out=$("$CLI" mail check 2>/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "bad password exit status $status"
[ "$(echo "$out" | tail -1)" = "finished: 1" ] || fail "bad password last line: $(echo "$out" | tail -1)"
echo "$out" | grep -qx "Could not connect to 127.0.0.1" || fail "no connect failure text: $out"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail check checks passed"
