#!/usr/bin/env bash
# "vyrelle-cli url match" and "vyrelle-cli session", the latter with --send
# against the test HTTP server started here as the home server.
set -u
CLI="$1"
WORK=$(mktemp -d)
/usr/bin/python3 "$2" "Ping=PONG#showmail#ack &S=1#tail" "Logout=OK#x#" > "$WORK/server.out" &
PID=$!
trap 'kill $PID; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
check() {  # check EXPECTED_STATUS EXPECTED_OUTPUT ARGS...
  expected="$1 $2"
  shift 2
  out=$("$CLI" "$@" 2>&1)
  out="$? $out"
  [ "$out" = "$expected" ] || { printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$*" "$expected" "$out"; failures=$((failures + 1)); }
}

check 0 "match" url match 'ab*news' 'ABC/news/today/'
check 0 "no match" url match 'ab*news' 'xab/news'

for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
PS="http://127.0.0.1:$(sed -n 's/^PORT //p' "$WORK/server.out")/s.dll"
"$CLI" settings set misc PS "$PS"
ID=$("$CLI" session logout)
ID=${ID#*U=}
ID=${ID%%&*}
[[ "$ID" =~ ^[0-9A-F]{32}$ ]] || { echo "FAIL: no installation id: $ID"; failures=$((failures + 1)); }
check 0 "$PS?Ping&U=$ID&B=Default&MO=0&IBA=
showmail
ack &S=1" session ping --send
check 1 "$PS?Logout&U=$ID&B=Default&MO=0
vyrelle-cli: the reply does not begin with PONG" session logout --send
[ "$(grep ^GET "$WORK/server.out")" = "GET Ping&U=$ID&B=Default&MO=0&IBA=
GET Logout&U=$ID&B=Default&MO=0" ] || { echo "FAIL: queries: $(cat "$WORK/server.out")"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all session CLI checks passed"
