#!/usr/bin/env bash
# "vyrelle-cli session" with --send against the test HTTP server started
# here as the home server.
. "$(dirname "$0")/cli_test_lib.sh"

serve /usr/bin/python3 "$2" "Ping=PONG#showmail#ack &S=1#tail" "Logout=OK#x#"
PS="http://127.0.0.1:$PORT/s.dll"
"$CLI" settings set misc PS "$PS"
ID=$("$CLI" session logout)
ID=${ID#*U=}
ID=${ID%%&*}
[[ "$ID" =~ ^[0-9A-F]{32}$ ]] || expect "installation id" "32 hex digits" "$ID"
run 0 "$PS?Ping&U=$ID&B=Default&MO=0&IBA=
showmail
ack &S=1" session ping --send
run 1 "$PS?Logout&U=$ID&B=Default&MO=0
vyrelle-cli: the reply does not begin with PONG" session logout --send
finish "session CLI"
