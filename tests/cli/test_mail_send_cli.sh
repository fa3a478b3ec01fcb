#!/usr/bin/env bash
# vyrelle-cli mail send, queue, draft and flush-outbox: what is
# printed and the exit statuses, against a recording SMTP server (aiosmtpd)
# started here on a loopback port. What is sent and stored is checked in
# detail by the peer tests.
. "$(dirname "$0")/cli_test_lib.sh"
found() { grep -q "$@" || expect "$*" found missing; }

mkdir -p "$WORK/sent"
serve /usr/bin/python3 "$2" --dir "$WORK/sent"
"$CLI" settings set email SMTPPort "$PORT"
"$CLI" settings set email smtp-server 127.0.0.1
"$CLI" settings set email e-address ann@x.example
printf '.hidden first line\nsecond line\n' > "$WORK/body.txt"
printf 'data' > "$WORK/blob.bin"
run 0 "$(printf '%s\n' "Attaching file: $WORK/blob.bin..." "Saving message" "* Connecting to 127.0.0.1..." \
  "Sending message to Bob <bob@x.example>..." "Wrapping things up...")" \
  mail send --to 'Bob <bob@x.example>' --bcc 'carol@x.example' --subject 'Hello' \
  --text "$WORK/body.txt" --attach "$WORK/blob.bin"
found -x 'RCPT TO:<carol@x.example>' "$WORK/sent/msg0001.envelope"
run 1 "You must fill in the TO box" mail send --to '' --subject x --text "$WORK/body.txt"

# Queued, then sent by the next flush.
queued=$("$CLI" mail queue --to 'Bob <bob@x.example>' --subject 'Later' --text "$WORK/body.txt")
run 0 "* Sending messages from outbox" mail flush-outbox
expect "the queued message went out" "gone sent" \
  "$(test -e "$queued" || echo gone) $(test -f "$WORK/sent/msg0002.envelope" && echo sent)"
case "$("$CLI" mail draft --to '' --subject '')" in
  "$VYRELLE_HOME/vyrelle/email/Draft/Out"*.mail) ;;
  *) expect "draft stored" "$VYRELLE_HOME/vyrelle/email/Draft/Out*.mail" "not stored" ;;
esac
finish "mail send"
