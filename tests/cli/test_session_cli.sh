#!/usr/bin/env bash
# "vyrelle-cli session" with --send against the real vyrelle-home-server
# started here on a copy of the sample content: the commands queued there
# come back in the replies (what the server logs of each request is the
# session peer test's part). The test HTTP server plays a server whose reply
# does not begin with PONG, a reply the home server never sends.
#
# usage: test_session_cli.sh VYRELLE_CLI HOME_SERVER SAMPLE_CONTENT HTTP_SERVER.py
. "$(dirname "$0")/cli_test_lib.sh"
. "$(dirname "$0")/../tools/home_server.sh"

SERVED="$WORK/served"
start_home_server "$2" "$3" "$SERVED"
CLEANUP="kill $HOME_PID 2>/dev/null; $CLEANUP"
"$CLI" settings set misc HomeServer "$HOME_URL"
PS="$HOME_URL/scripts/vyrcmd.dll"  # the session script's default place
ID=$("$CLI" session logout)
ID=${ID#*U=}
ID=${ID%%&*}
[[ "$ID" =~ ^[0-9A-F]{32}$ ]] || expect "installation id" "32 hex digits" "$ID"
queue_command "$SERVED" "showmail"
queue_command "$SERVED" "@$ID pinginterval 30"
run 0 "$PS?Ping&U=$ID&B=Default&MO=0&IBA=
showmail
pinginterval 30" session ping --send
# A logout takes no command: this one stays in the queue.
queue_command "$SERVED" "showchannelbar"
run 0 "$PS?Logout&U=$ID&B=Default&MO=0" session logout --send

serve /usr/bin/python3 "$4" "Logout=OK#x#"
"$CLI" settings set misc PS "http://127.0.0.1:$PORT/s.dll"
run 1 "http://127.0.0.1:$PORT/s.dll?Logout&U=$ID&B=Default&MO=0
vyrelle-cli: the reply does not begin with PONG" session logout --send
finish "session CLI"
