#!/usr/bin/env bash
# vyrelle-cli mail decode, reply and search: output forms, exit codes and
# refusals (what is decoded and built is tested in the unit tests).
#   test_mail_read_cli.sh CLI FIXTURES
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home" TZ=UTC0
INBOX="$VYRELLE_HOME/vyrelle/email/Inbox"
mkdir -p "$INBOX" "$WORK/documents"
cp "$2/plain_text.mail" "$2/mixed_attachments.mail" "$INBOX/"
failures=0
check() {
  [ "$2" == "$3" ] && return
  echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
  failures=$((failures + 1))
}
code() { "$CLI" "$@" >/dev/null 2>&1; echo $?; }
TAB=$'\t'

check "decode" "page: PlainText.htm
part: 0001.txt${TAB}text/plain
part: report Q1.pdf${TAB}application/pdf
part: figures.csv${TAB}text/csv" "$("$CLI" mail decode "$INBOX/mixed_attachments.mail" "$WORK/out")"
echo "years of work" > "$WORK/documents/thesis.txt"
ERR=$("$CLI" mail decode "$INBOX/plain_text.mail" "$WORK/documents" 2>&1 >/dev/null)
check "a folder holding other files is refused" "1 years of work" "$? $(cat "$WORK/documents/thesis.txt")"
case "$ERR" in *"Error processing e-mail"*) ;; *) check "the refusal is explained" "Error processing e-mail" "$ERR" ;; esac

check "reply" $'To: Alice Example <alice@example.org>\nCC: \nSubject: re: Minutes of the garden club\n\n\r' \
  "$("$CLI" mail reply "$INBOX/plain_text.mail" | head -5)"
VIEWER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer/Forward1"
check "forward" "Subject: fw: Quarterly figures
Attach: $VIEWER/report Q1.pdf
Attach: $VIEWER/figures.csv" "$("$CLI" mail reply "$INBOX/mixed_attachments.mail" forward | sed -n 3,5p)"

check "search" "Minutes of the garden club${TAB}Alice Example <alice@example.org>${TAB}03 Mar 2020 [10:15 2020 - Tuesday]${TAB}Inbox
Finished. 1 messages found" "$("$CLI" mail search "MINUTES")"
check "a bad reply kind, a missing folder" "2 1" \
  "$(code mail reply "$INBOX/plain_text.mail" twice) $(code mail search x Nowhere)"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail read checks passed"
