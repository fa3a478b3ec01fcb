#!/usr/bin/env bash
# vyrelle-cli mail check against a POP3 server started here on loopback: what
# is printed and the exit statuses (what is stored is the peer tests' part).
set -u
CLI="$1"
WORK=$(mktemp -d)
/usr/bin/python3 "$2" --mode normal --log "$WORK/log" --message <(printf 'Subject: one\n\nOne.\n') \
  --message <(printf 'Subject: two\n\nTwo.\n') > "$WORK/port" &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
for _ in $(seq 1 100); do grep -qs PORT "$WORK/port" && break; sleep 0.1; done
PORT=$(awk '/PORT/{print $2}' "$WORK/port")
[ -n "$PORT" ] || { echo "FAIL: the test server (/usr/bin/python3) did not start"; exit 1; }
"$CLI" settings set email pop3-server 127.0.0.1
"$CLI" settings set email POP3Port "$PORT"
"$CLI" settings set email pop3-account user

# check PASSWORD EXPECTED-STATUS EXPECTED-LINE: the line must be printed and
# "finished: STATUS" must come last.
check() {
  "$CLI" settings set email pop3-pass "$("$CLI" cipher encode "$1")"
  out=$("$CLI" mail check 2>/dev/null)
  status=$?
  [ "$status" -eq "$2" ] || fail "password $1: exit status $status"
  echo "$out" | grep -qx "$3" || fail "password $1: no '$3' in: $out"
  [ "$(echo "$out" | tail -1)" = "finished: $2" ] || fail "password $1: last line $(echo "$out" | tail -1)"
}
check secret 0 "Found 2 messages."
check wrong 1 "Could not connect to 127.0.0.1"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail check checks passed"
