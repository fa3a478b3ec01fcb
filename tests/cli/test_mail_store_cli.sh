#!/usr/bin/env bash
# vyrelle-cli mail: folders, list, summary, state and mark on a real store:
# the printed forms and exit statuses (the rules are unit-tested).
. "$(dirname "$0")/cli_test_lib.sh"
export TZ=UTC0
MAIL="$VYRELLE_HOME/vyrelle/email"
mkdir -p "$MAIL/Inbox" "$MAIL/Sent Items" "$MAIL/Work" "$MAIL/Trash"
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

# Failures are 1, usage errors 2.
expect "exit statuses" "1 1 1 1 2 2" "$(code mail list Nowhere) $(code mail summary "$MAIL/Inbox/tiny") \
$(code mail key "$MAIL/Inbox/missing.mail") $(code mail state "$MAIL/Inbox/missing.mail") \
$(code mail mark sideways "$MAIL/Inbox/key.mail") $(code mail bogus)"
finish "mail store"
