#!/usr/bin/env bash
# vyrelle-cli mail check against a POP3 server started here on loopback: what
# is printed and the exit statuses (what is stored is the peer tests' part).
. "$(dirname "$0")/cli_test_lib.sh"
printf 'Subject: one\n\nOne.\n' > "$WORK/one"
printf 'Subject: two\n\nTwo.\n' > "$WORK/two"
serve /usr/bin/python3 "$2" --log "$WORK/log" --message "$WORK/one" --message "$WORK/two"
"$CLI" settings set email pop3-server 127.0.0.1
"$CLI" settings set email POP3Port "$PORT"
"$CLI" settings set email pop3-account user

# check PASSWORD EXPECTED-STATUS EXPECTED-LINE: the line is printed and
# "finished: STATUS" comes last.
check() {
  "$CLI" settings set email pop3-pass "$("$CLI" cipher encode "$1")"
  out=$("$CLI" mail check 2>/dev/null)
  expect "password $1" "$2 printed finished: $2" \
    "$? $(grep -qx "$3" <<< "$out" && echo printed) $(tail -1 <<< "$out")"
}
check secret 0 "Found 2 messages."
check wrong 1 "Could not connect to 127.0.0.1"
finish "mail check"
