#!/usr/bin/env bash
# vyrelle-cli mail decode, reply and search on stored messages.
#   test_mail_read_cli.sh CLI FIXTURES
set -u
CLI="$1"
FIXTURES="$2"
WORK=$(mktemp -d)
trap 'chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
export TZ=UTC0
MAIL="$VYRELLE_HOME/vyrelle/email"
mkdir -p "$MAIL/Inbox" "$MAIL/Archive"
failures=0
check() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}
TAB=$'\t'
for f in plain_text alternative mixed_attachments attachment_only nested long_body hostile_names; do
  cp "$FIXTURES/$f.mail" "$MAIL/Inbox/$f.mail"
done

# --- decode --------------------------------------------------------------------
OUT="$WORK/out"
check "decode a plain message" "page: PlainText.htm
part: 0001.txt${TAB}" "$("$CLI" mail decode "$MAIL/Inbox/plain_text.mail" "$OUT")"
grep -q "Hello  Kim," "$OUT/PlainText.htm" || { echo "FAIL: the page holds the body"; failures=$((failures + 1)); }
grep -q "Return-Path" "$OUT/PlainText.htm" && { echo "FAIL: the page holds the header block"; failures=$((failures + 1)); }

check "decode an alternative message" "page: Enhanced.htm
part: 0001.txt${TAB}text/plain
part: Enhanced.htm${TAB}text/html" "$("$CLI" mail decode "$MAIL/Inbox/alternative.mail" "$OUT")"
check "the previous message's files are gone" "no" "$([ -e "$OUT/0001.txt" ] && grep -q Kim "$OUT/0001.txt" && echo yes || echo no)"

check "decode attachments" "page: PlainText.htm
part: 0001.txt${TAB}text/plain
part: report Q1.pdf${TAB}application/pdf
part: figures.csv${TAB}text/csv" "$("$CLI" mail decode "$MAIL/Inbox/mixed_attachments.mail" "$OUT")"
check "the attachment's bytes" "month;sales
january;10
february;12
march;17" "$(cat "$OUT/figures.csv")"

check "decode an attachment-only message" "page: PlainText.htm
part: PlainText.htm${TAB}text/html
part: scan0042.zip${TAB}application/zip" "$("$CLI" mail decode "$MAIL/Inbox/attachment_only.mail" "$OUT")"

check "hostile names stay inside" "page: PlainText.htm
part: 0001.txt${TAB}text/plain
part: escape-relative.txt${TAB}application/octet-stream
part: vyrelle-escape-absolute.txt${TAB}application/octet-stream
part: attachment${TAB}application/octet-stream
part: windows-escape.txt${TAB}application/octet-stream
part: PlainText~2.htm${TAB}application/octet-stream
part: hidden${TAB}application/octet-stream
part: uu-escape.bin${TAB}multipart/mixed" "$("$CLI" mail decode "$MAIL/Inbox/hostile_names.mail" "$OUT")"
check "nothing written outside the output folder" "" \
  "$(find "$WORK" -type f ! -path "$OUT/*" ! -path "$MAIL/*" ! -name vyr20.ini)"

mkdir -p "$WORK/documents"
echo "years of work" > "$WORK/documents/thesis.txt"
"$CLI" mail decode "$MAIL/Inbox/plain_text.mail" "$WORK/documents" >/dev/null 2>"$WORK/err"
check "a folder holding other files is refused" "1" "$?"
check "and left alone" "years of work" "$(cat "$WORK/documents/thesis.txt")"
grep -q "Error processing e-mail" "$WORK/err" || { echo "FAIL: the refusal is explained"; failures=$((failures + 1)); }
"$CLI" mail decode "$MAIL/Inbox/none.mail" "$OUT" >/dev/null 2>&1
check "a missing message fails" "1" "$?"
"$CLI" mail decode "$MAIL/Inbox/plain_text.mail" >/dev/null 2>&1
check "decode needs a folder" "2" "$?"

# --- reply -----------------------------------------------------------------------
CR=$'\r'
check "reply" "To: Alice Example <alice@example.org>
CC: 
Subject: re: Minutes of the garden club

${CR}
${CR}
> **--------- Original Message follows... ${CR}
${CR}
>Hello Kim,${CR}
${CR}
the minutes of Monday's meeting are on www.example.org/garden/minutes${CR}
and the next meeting is on the 12th. Questions go to alice@example.org.${CR}
${CR}
  - bring seeds${CR}
  - bring gloves${CR}
${CR}
Alice${CR}
> ** Original Subject: Minutes of the garden club${CR}
> ** Original Sender: Alice Example <alice@example.org>${CR}
> ** Original Date: Tue, 3 Mar 2020 10:15:00 +0100${CR}
> **---------${CR}
${CR}
> " "$("$CLI" mail reply "$MAIL/Inbox/plain_text.mail")"

check "reply to all: recipients" "To: Carol <carol@example.com>,Kim <kim@example.com>, Lee <lee@example.com>
CC: dave@example.com
Subject: re: Photos from the trip" "$("$CLI" mail reply "$MAIL/Inbox/nested.mail" all | head -3)"

VIEWER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer"
check "forward: attachments" "To: 
CC: 
Subject: fw: Quarterly figures
Attach: $VIEWER/0001.txt
Attach: $VIEWER/report Q1.pdf
Attach: $VIEWER/figures.csv" "$("$CLI" mail reply "$MAIL/Inbox/mixed_attachments.mail" forward | head -7)"
check "forwarded files are read-only" "-r--r--r--" "$(stat -c %A "$VIEWER/figures.csv")"

LONG=$("$CLI" mail reply "$MAIL/Inbox/long_body.mail")
case "$LONG" in
  *"Message truncated at 32K${CR}"*) ;;
  *) echo "FAIL: the long quote carries the note"; failures=$((failures + 1)) ;;
esac
"$CLI" mail reply "$MAIL/Inbox/plain_text.mail" twice >/dev/null 2>&1
check "reply with a bad kind" "2" "$?"

# --- search ----------------------------------------------------------------------
printf 'From: Ann <ann@example.org>\r\nSubject: Archived minutes\r\nDate: Mon, 2 Mar 2020 08:00:00 +0000\r\n\r\nold MINUTES\r\n.' \
  > "$MAIL/Archive/old.mail"
check "search all folders" "Minutes of the garden club${TAB}Alice Example <alice@example.org>${TAB}03 Mar 2020 [10:15 2020 - Tuesday]${TAB}Inbox
Archived minutes${TAB}Ann <ann@example.org>${TAB}02 Mar 2020 [08:00 2020 - Monday]${TAB}Archive
Finished. 2 messages found" "$("$CLI" mail search "minutes")"
check "search one folder" "Archived minutes${TAB}Ann <ann@example.org>${TAB}02 Mar 2020 [08:00 2020 - Monday]${TAB}Archive
Finished. 1 messages found" "$("$CLI" mail search "MINUTES" archive)"
check "search without a hit" "Finished. 0 messages found" "$("$CLI" mail search "no such words" Inbox)"
"$CLI" mail search x Nowhere >/dev/null 2>&1
check "search a missing folder" "1" "$?"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all mail read checks passed"
