#!/usr/bin/env bash
# vyrelle-cli mail send, queue, draft, flush-outbox, split and date: the
# options, what is printed and the exit statuses, against recording SMTP
# servers (aiosmtpd) started here on loopback ports. What is sent and stored
# is checked in detail by the peer tests.
set -u
CLI="$1"
WORK=$(mktemp -d)
PIDS=()
trap 'kill "${PIDS[@]}" 2>/dev/null; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
# check WHAT EXPECTED-STATUS EXPECTED-OUTPUT COMMAND...
check() {
  local what="$1" status="$2" expected="$3" out got
  shift 3
  out=$("$@")
  got=$?
  [ "$got" -eq "$status" ] && [ "$out" = "$expected" ] || fail "$what: exit status $got, printed: $out"
}
# use_server DIR [options]: a recording server, made the outgoing server.
use_server() {
  mkdir -p "$1"
  /usr/bin/python3 "$2" --dir "$1" "${@:3}" > "$1.port" 2> "$1.err" &
  PIDS+=($!)
  for _ in $(seq 1 100); do grep -qs PORT "$1.port" && break; sleep 0.1; done
  PORT=$(awk '/PORT/{print $2}' "$1.port")
  [ -n "$PORT" ] || { echo "FAIL: the recording SMTP server did not start: $(cat "$1.err")"; exit 1; }
  "$CLI" settings set email SMTPPort "$PORT"
}

check split 0 "$(printf 'John Smith\tjohn@x.example\nDoe, Jane\tjane@x.example\nKay\tk@x.example')" \
  "$CLI" mail split 'John Smith <john@x.example>, "Doe, Jane" <jane@x.example>; k@x.example (Kay)'
check "split of a bad field" 2 "Invalid Recipient: : bob" "$CLI" mail split 'a@x.example, bob'
TZ=Asia/Kolkata "$CLI" mail date | grep -Eqx '[0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9:]{8} \+0530' || fail "date in India"

"$CLI" settings set email smtp-server 127.0.0.1
"$CLI" settings set email e-address ann@x.example
use_server "$WORK/good" "$2"
GOOD=$PORT
printf '.hidden first line\nsecond line\n' > "$WORK/body.txt"
printf 'data' > "$WORK/blob.bin"
check send 0 "$(printf '%s\n' "Attaching file: $WORK/blob.bin..." "Saving message" "* Connecting to 127.0.0.1..." \
  "Sending message to Bob <bob@x.example>..." "Wrapping things up...")" \
  "$CLI" mail send --to 'Bob <bob@x.example>' --bcc 'carol@x.example' --subject 'Hello' \
  --text "$WORK/body.txt" --attach "$WORK/blob.bin"
grep -qx 'RCPT TO:<carol@x.example>' "$WORK/good/msg0001.envelope" || fail "the blind copy was not sent"
grep -q $'^\\.hidden first line\r$' "$WORK/good/msg0001.data" || fail "the text file's first line did not arrive whole"
grep -q 'filename="blob.bin"' "$WORK/good/msg0001.data" || fail "the attachment was not sent"
check "send without To" 1 "You must fill in the TO box" "$CLI" mail send --to '' --subject x --text "$WORK/body.txt"

# Queued, refused and kept; then sent by the next flush.
use_server "$WORK/refusing" "$2" --reject-rcpt bob@x.example
queued=$("$CLI" mail queue --to 'Bob <bob@x.example>' --subject 'Later' --text "$WORK/body.txt")
check "refused flush" 4 "$(printf '%s\n' "* Sending messages from outbox" \
  "Error Sending Queued E-mail: 550 5.1.1 Recipient refused")" "$CLI" mail flush-outbox
"$CLI" settings set email SMTPPort "$GOOD"
check "flush" 0 "* Sending messages from outbox" "$CLI" mail flush-outbox
[ ! -e "$queued" ] && [ -f "$WORK/good/msg0002.envelope" ] || fail "the queued message was not sent"
case "$("$CLI" mail draft --to '' --subject '')" in "$VYRELLE_HOME/vyrelle/email/Draft/Out"*.mail) ;; *) fail "draft not stored" ;; esac

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail send checks passed"
