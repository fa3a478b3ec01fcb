#!/usr/bin/env bash
# vyrelle-cli mail decode, reply and search: output forms, exit codes and
# refusals (what is decoded and built is tested in the unit tests).
#   test_mail_read_cli.sh CLI FIXTURES
. "$(dirname "$0")/cli_test_lib.sh"
CLEANUP="chmod -R u+w '$WORK'; $CLEANUP"  # a forward's copies are read-only
export TZ=UTC0
INBOX="$VYRELLE_HOME/vyrelle/email/Inbox"
mkdir -p "$INBOX" "$WORK/documents"
cp "$2/plain_text.mail" "$2/mixed_attachments.mail" "$INBOX/"
code() { "$CLI" "$@" >/dev/null 2>&1; echo $?; }
TAB=$'\t'

expect "decode" "page: PlainText.htm
part: 0001.txt${TAB}text/plain
part: report Q1.pdf${TAB}application/pdf
part: figures.csv${TAB}text/csv" "$("$CLI" mail decode "$INBOX/mixed_attachments.mail" "$WORK/out")"
echo "years of work" > "$WORK/documents/thesis.txt"
ERR=$("$CLI" mail decode "$INBOX/plain_text.mail" "$WORK/documents" 2>&1 >/dev/null)
expect "a folder holding other files is refused" "1 years of work" "$? $(cat "$WORK/documents/thesis.txt")"
case "$ERR" in *"Error processing e-mail"*) ;; *) expect "the refusal is explained" "Error processing e-mail" "$ERR" ;; esac

expect "reply" $'To: Alice Example <alice@example.org>\nCC: \nSubject: re: Minutes of the garden club\n\n\r' \
  "$("$CLI" mail reply "$INBOX/plain_text.mail" | head -5)"
VIEWER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer/Forward1"
expect "forward" "Subject: fw: Quarterly figures
Attach: $VIEWER/report Q1.pdf
Attach: $VIEWER/figures.csv" "$("$CLI" mail reply "$INBOX/mixed_attachments.mail" forward | sed -n 3,5p)"

expect "search" "Minutes of the garden club${TAB}Alice Example <alice@example.org>${TAB}03 Mar 2020 [10:15 2020 - Tuesday]${TAB}Inbox
Finished. 1 messages found" "$("$CLI" mail search "MINUTES")"
expect "a bad reply kind, a missing folder" "2 1" \
  "$(code mail reply "$INBOX/plain_text.mail" twice) $(code mail search x Nowhere)"
finish "mail read"
