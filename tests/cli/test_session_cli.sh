#!/usr/bin/env bash
# "vyrelle-cli url match" and "vyrelle-cli session": what they print and
# return; --send against the home server fixture on a loopback port.
set -u
CLI="$1"
SERVER="$2"
WORK=$(mktemp -d)
PID=""
trap '[ -n "$PID" ] && kill "$PID"; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
check() {  # check NAME EXPECTED_STATUS EXPECTED_OUTPUT ARGS...
  name=$1 expected="$2 $3"
  shift 3
  out=$("$CLI" "$@" 2>&1)
  status=$?
  if [ "$status $out" != "$expected" ]; then
    printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$name" "$expected" "$status $out"
    failures=$((failures + 1))
  fi
}

check "star" 0 "match" url match 'ab*news' 'ABC/news/today/'
check "not at the start" 0 "no match" url match 'ab*news' 'xab/news'

"$CLI" settings set misc PS "http://h.example/s.dll" || failures=$((failures + 1))
out=$("$CLI" session logout)
[[ "$out" =~ ^http://h\.example/s\.dll\?Logout\&U=[0-9A-F]{32}\&B=Default\&MO=0$ ]] ||
  { echo "FAIL: logout address: $out"; failures=$((failures + 1)); }
ID=${out#*U=}
ID=${ID%%&*}

/usr/bin/python3 "$SERVER" "$WORK/port" "$WORK/queries" "Ping=PONG#showmail#ack &S=1#tail" "Logout=OK#never#" &
PID=$!
for _ in $(seq 300); do [ -s "$WORK/port" ] && break; sleep 0.05; done
"$CLI" settings set misc PS "http://127.0.0.1:$(cat "$WORK/port")/s.dll"
check "ping sent" 0 "http://127.0.0.1:$(cat "$WORK/port")/s.dll?Ping&U=$ID&B=Default&MO=0&IBA=
showmail
ack &S=1" session ping --send
check "not a PONG" 1 "http://127.0.0.1:$(cat "$WORK/port")/s.dll?Logout&U=$ID&B=Default&MO=0
vyrelle-cli: the reply does not begin with PONG" session logout --send
[ "$(cat "$WORK/queries")" = "Ping&U=$ID&B=Default&MO=0&IBA=
Logout&U=$ID&B=Default&MO=0" ] || { echo "FAIL: queries: $(cat "$WORK/queries")"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all session CLI checks passed"
