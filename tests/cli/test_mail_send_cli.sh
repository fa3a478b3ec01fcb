#!/usr/bin/env bash
# vyrelle-cli mail send, queue, draft, flush-outbox, split and date against
# recording SMTP servers (aiosmtpd) started here on loopback ports.
set -u
CLI="$1"
SERVER="$2"
WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT
export VYRELLE_HOME="$WORK/home"
PY=/usr/bin/python3
[ -x "$PY" ] || { echo "FAIL: /usr/bin/python3 is missing (Debian package python3)"; exit 1; }
"$PY" -c "import aiosmtpd" 2>/dev/null || { echo "FAIL: aiosmtpd is missing (Debian package python3-aiosmtpd)"; exit 1; }
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# start_server DIR [options]: starts a recording server; its port in PORT.
start_server() {
  local dir="$1"
  shift
  mkdir -p "$dir"
  "$PY" "$SERVER" --dir "$dir" "$@" > "$dir.port" 2> "$dir.err" &
  PIDS+=($!)
  for _ in $(seq 1 50); do grep -q PORT "$dir.port" 2>/dev/null && break; sleep 0.1; done
  PORT=$(awk '/PORT/{print $2}' "$dir.port")
  [ -n "$PORT" ] || { echo "FAIL: the recording SMTP server did not start: $(cat "$dir.err")"; exit 1; }
}

# Copies a message file without moving its last access, which would mark
# it read (no longer pending).
copy_kept() {
  local accessed
  accessed=$(stat -c '%.9X' "$1")
  cp "$1" "$2"
  touch -a -d "@$accessed" "$1"
}

MAIL="$VYRELLE_HOME/vyrelle/email"

# --- split and date --------------------------------------------------------------------
out=$("$CLI" mail split 'John Smith <john@x.example>, "Doe, Jane" <jane@x.example>; k@x.example (Kay)')
[ $? -eq 0 ] || fail "split exit status"
expected=$(printf 'John Smith\tjohn@x.example\nDoe, Jane\tjane@x.example\nKay\tk@x.example')
[ "$out" = "$expected" ] || fail "split printed: $out"
out=$("$CLI" mail split 'a@x.example, bob')
status=$?
[ "$status" -eq 2 ] || fail "split of a bad field: exit status $status"
[ "$out" = "Invalid Recipient: : bob" ] || fail "split error text: $out"

out=$(TZ=EST5EDT "$CLI" mail date)
echo "$out" | grep -Eqx '[0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} -0500' || fail "date: $out"
out=$(TZ=IST-5:30 "$CLI" mail date)
echo "$out" | grep -Eq ' \+0500$' || fail "date east: $out"

# --- send now ------------------------------------------------------------------------------
start_server "$WORK/good"
GOOD=$PORT
"$CLI" settings set email smtp-server 127.0.0.1
"$CLI" settings set email SMTPPort "$GOOD"
"$CLI" settings set email name "Ann Sender"
"$CLI" settings set email e-address ann@x.example

printf '.hidden first line\nsecond line\n.\nlast line\n' > "$WORK/body.txt"
head -c 6000 /dev/urandom > "$WORK/blob.bin"
out=$("$CLI" mail send --to 'Bob <bob@x.example>' --cc 'dan@x.example' --bcc 'carol@x.example' \
  --subject 'Hello there' --text "$WORK/body.txt" --attach "$WORK/blob.bin")
status=$?
[ "$status" -eq 0 ] || fail "send exit status $status: $out"
expected=$(printf '%s\n' "Attaching file: $WORK/blob.bin..." "Saving message" "* Connecting to 127.0.0.1..." \
  "Sending message to Bob <bob@x.example>..." "Wrapping things up...")
[ "$out" = "$expected" ] || fail "send printed: $out"
envelope=$(cat "$WORK/good/msg0001.envelope" 2>/dev/null)
expected=$(printf 'MAIL FROM:<ann@x.example>\nRCPT TO:<bob@x.example>\nRCPT TO:<dan@x.example>\nRCPT TO:<carol@x.example>')
[ "$envelope" = "$expected" ] || fail "envelope: $envelope"
grep -q '^BCC' "$WORK/good/msg0001.data" && fail "a BCC line was sent"
grep -q $'^\\.\\.hidden first line\r$' "$WORK/good/msg0001.raw" || fail "the first line's dot was not doubled"
grep -q $'^\\.hidden first line\r$' "$WORK/good/msg0001.data" || fail "the first line did not arrive whole"
grep -q $'^last line\r$' "$WORK/good/msg0001.data" || fail "the text after the lone dot was lost"
mkdir -p "$WORK/parsed"
parsed=$("$PY" "$SERVER" --parse "$WORK/good/msg0001.data" "$WORK/parsed")
echo "$parsed" | grep -qx 'ATTACHMENT 1 blob.bin 6000' || fail "parsed: $parsed"
cmp -s "$WORK/blob.bin" "$WORK/parsed/attachment1" || fail "the attachment did not come back byte for byte"
[ -z "$(ls "$MAIL/Outbox")" ] || fail "Outbox not empty after sending"
[ "$(ls "$MAIL/Sent Items" | wc -l)" -eq 1 ] || fail "Sent Items does not hold the message"
"$CLI" mail state "$MAIL/Sent Items/$(ls "$MAIL/Sent Items")" | grep -qx read || fail "sent message not read"
grep -qx '"Bob" <bob@x.example>' "$MAIL/Previously Sent Email Addresses.txt" || fail "recipients not recorded"

out=$("$CLI" mail send --to '' --subject 'x' --text "$WORK/body.txt")
status=$?
[ "$status" -eq 1 ] || fail "send without To: exit status $status"
[ "$out" = "You must fill in the TO box" ] || fail "send without To printed: $out"

# --- queue, a refusing server, then a good one ------------------------------------------------
start_server "$WORK/refusing" --reject-rcpt carol@x.example
"$CLI" settings set email SMTPPort "$PORT"
queued=$("$CLI" mail queue --to 'Bob <bob@x.example>' --bcc 'carol@x.example' --subject 'Later' \
  --text "$WORK/body.txt")
status=$?
[ "$status" -eq 0 ] || fail "queue exit status $status"
[ -f "$queued" ] || fail "queue printed no stored file: $queued"
"$CLI" mail state "$queued" | grep -qx unread || fail "queued message not pending"
copy_kept "$queued" "$WORK/queued.copy"

out=$("$CLI" mail flush-outbox)
status=$?
[ "$status" -eq 4 ] || fail "flush against a refusing server: exit status $status"
expected=$(printf '%s\n' "* Sending messages from outbox" "Error Sending Queued E-mail: 550 5.1.1 Recipient refused")
[ "$out" = "$expected" ] || fail "refused flush printed: $out"
[ -f "$queued" ] || fail "the refused message left Outbox"
"$CLI" mail state "$queued" | grep -qx unread || fail "the refused message is no longer pending"
copy_kept "$queued" "$WORK/queued.after"
cmp -s "$WORK/queued.copy" "$WORK/queued.after" || fail "the refused message changed"

"$CLI" settings set email SMTPPort "$GOOD"
out=$("$CLI" mail flush-outbox)
status=$?
[ "$status" -eq 0 ] || fail "flush against the good server: exit status $status: $out"
[ ! -e "$queued" ] || fail "the sent message stayed in Outbox"
[ -f "$WORK/good/msg0002.envelope" ] || fail "the good server did not get the queued message"
grep -qx 'RCPT TO:<carol@x.example>' "$WORK/good/msg0002.envelope" || fail "the blind copy was not sent"
[ "$(ls "$MAIL/Sent Items" | wc -l)" -eq 2 ] || fail "Sent Items does not hold both messages"

# --- drafts stay where they are ----------------------------------------------------------------
draft=$("$CLI" mail draft --to '' --subject '')
status=$?
[ "$status" -eq 0 ] || fail "draft exit status $status"
case "$draft" in "$MAIL/Draft/Out"*.mail) ;; *) fail "draft stored as: $draft" ;; esac
out=$("$CLI" mail flush-outbox)
[ $? -eq 0 ] || fail "flush with only a draft"
[ -f "$draft" ] || fail "the draft was taken"
[ ! -f "$WORK/good/msg0003.envelope" ] || fail "the draft was sent"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail send checks passed"
