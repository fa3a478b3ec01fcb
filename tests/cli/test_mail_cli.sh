#!/usr/bin/env bash
# vyrelle-cli mail on a real store: folders, list, summary, state and mark,
# decode, reply and search; the printed forms and exit statuses (the rules,
# what is decoded and built, are unit-tested).
#   test_mail_cli.sh CLI FIXTURES
. "$(dirname "$0")/cli_test_lib.sh"
CLEANUP="chmod -R u+w '$WORK'; $CLEANUP"  # a forward's copies are read-only
export TZ=UTC0
MAIL="$VYRELLE_HOME/vyrelle/email"
mkdir -p "$MAIL/Inbox" "$MAIL/Sent Items" "$MAIL/Work" "$MAIL/Trash" "$WORK/documents"
code() { "$CLI" "$@" >/dev/null 2>&1; echo $?; }
TAB=$'\t'

printf 'From: Alice <alice@example.org>\r\nSubject: Old news\r\n\r\nbody\r\n.' > "$MAIL/Inbox/old.mail"
printf 'From: "Carol" <carol@example.com>\r\nSubject:\r\n\tfolded\tsubject\r\n\r\nbody\r\n.' > "$MAIL/Inbox/new.mail"
printf 'Subject: ab\r\n\r\nbody\r\n.' > "$MAIL/Inbox/key.mail"
printf 'short' > "$MAIL/Inbox/tiny"
# Creation (modification) and last-access times: read when accessed later.
touch -m -d @1000000000 "$MAIL/Inbox/old.mail"; touch -a -d @1000000100 "$MAIL/Inbox/old.mail"
touch -d @1200000000 "$MAIL/Inbox/new.mail"
touch -d @1100000000 "$MAIL/Inbox/key.mail"

expect "list Inbox" \
"1${TAB}1200000000${TAB}\"Carol\" <carol@example.com>${TAB}folded subject${TAB}$MAIL/Inbox/new.mail
1${TAB}1100000000${TAB}${TAB}ab${TAB}$MAIL/Inbox/key.mail
0${TAB}1000000000${TAB}Alice <alice@example.org>${TAB}Old news${TAB}$MAIL/Inbox/old.mail" \
  "$("$CLI" mail list Inbox)"
expect "list an empty folder" "" "$("$CLI" mail list Work)"
expect "summary lines" "From: \"Carol\" <carol@example.com>|Subject: folded subject|Total: 0" \
  "$("$CLI" mail summary "$MAIL/Inbox/new.mail" | sed -n '1p;2p;$p' | paste -sd'|')"
before=$("$CLI" mail state "$MAIL/Inbox/key.mail")
"$CLI" mail mark read "$MAIL/Inbox/key.mail"
expect "state, then marked read" "unread read" "$before $("$CLI" mail state "$MAIL/Inbox/key.mail")"
touch "$MAIL/Trash/deleted.mail"
expect "folders" "Inbox${TAB}0|Outbox${TAB}0|Sent Items${TAB}0|Draft${TAB}0|Trash${TAB}1|Work${TAB}0" \
  "$("$CLI" mail folders | paste -sd'|')"

cp "$2/plain_text.mail" "$2/mixed_attachments.mail" "$MAIL/Work/"
expect "decode" "page: PlainText.htm
part: 0001.txt${TAB}text/plain
part: report Q1.pdf${TAB}application/pdf
part: figures.csv${TAB}text/csv" "$("$CLI" mail decode "$MAIL/Work/mixed_attachments.mail" "$WORK/out")"
echo "years of work" > "$WORK/documents/thesis.txt"
ERR=$("$CLI" mail decode "$MAIL/Work/plain_text.mail" "$WORK/documents" 2>&1 >/dev/null)
expect "a folder holding other files is refused" "1 years of work" "$? $(cat "$WORK/documents/thesis.txt")"
case "$ERR" in *"Error processing e-mail"*) ;; *) expect "the refusal is explained" "Error processing e-mail" "$ERR" ;; esac

expect "reply" $'To: Alice Example <alice@example.org>\nCC: \nSubject: re: Minutes of the garden club\n\n\r' \
  "$("$CLI" mail reply "$MAIL/Work/plain_text.mail" | head -5)"
VIEWER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer/Forward1"
expect "forward" "Subject: fw: Quarterly figures
Attach: $VIEWER/report Q1.pdf
Attach: $VIEWER/figures.csv" "$("$CLI" mail reply "$MAIL/Work/mixed_attachments.mail" forward | sed -n 3,5p)"
expect "search" "Minutes of the garden club${TAB}Alice Example <alice@example.org>${TAB}03 Mar 2020 [10:15 2020 - Tuesday]${TAB}Work
Finished. 1 messages found" "$("$CLI" mail search "MINUTES")"

# Failures are 1 (usage errors: the general CLI test).
expect "exit statuses" "1 1 1 1 1" "$(code mail list Nowhere) $(code mail summary "$MAIL/Inbox/tiny") \
$(code mail key "$MAIL/Inbox/missing.mail") $(code mail state "$MAIL/Inbox/missing.mail") \
$(code mail search x Nowhere)"
finish mail
