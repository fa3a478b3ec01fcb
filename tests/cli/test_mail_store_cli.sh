#!/usr/bin/env bash
# vyrelle-cli mail: folders, list, summary, key, state and mark on a real
# store: the printed forms and exit statuses (the rules are unit-tested).
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home" TZ=UTC0
MAIL="$VYRELLE_HOME/vyrelle/email"
mkdir -p "$MAIL/Inbox" "$MAIL/Sent Items" "$MAIL/Work" "$MAIL/Trash"
failures=0
check() {
  [ "$2" == "$3" ] && return
  echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
  failures=$((failures + 1))
}
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

check "list Inbox" \
"1${TAB}1200000000${TAB}\"Carol\" <carol@example.com>${TAB}folded subject${TAB}$MAIL/Inbox/new.mail
1${TAB}1100000000${TAB}${TAB}ab${TAB}$MAIL/Inbox/key.mail
0${TAB}1000000000${TAB}Alice <alice@example.org>${TAB}Old news${TAB}$MAIL/Inbox/old.mail" \
  "$("$CLI" mail list Inbox)"
check "list an empty folder" "" "$("$CLI" mail list Work)"
check "summary lines" "From: \"Carol\" <carol@example.com>|Subject: folded subject|Total: 0" \
  "$("$CLI" mail summary "$MAIL/Inbox/new.mail" | sed -n '1p;2p;$p' | paste -sd'|')"
check "key" "X-392" "$("$CLI" mail key "$MAIL/Inbox/key.mail")"
check "state unread" "unread" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
"$CLI" mail mark read "$MAIL/Inbox/key.mail"
check "mark read" "read" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
"$CLI" mail mark unread "$MAIL/Inbox/key.mail"
check "mark unread" "unread" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
touch "$MAIL/Trash/deleted.mail"
check "folders" "Inbox${TAB}0|Outbox${TAB}0|Sent Items${TAB}0|Draft${TAB}0|Trash${TAB}1|Work${TAB}0" \
  "$("$CLI" mail folders | paste -sd'|')"

# Failures are 1, usage errors 2.
check "exit statuses" "1 1 1 1 2 2" "$(code mail list Nowhere) $(code mail summary "$MAIL/Inbox/tiny") \
$(code mail key "$MAIL/Inbox/missing.mail") $(code mail state "$MAIL/Inbox/missing.mail") \
$(code mail mark sideways "$MAIL/Inbox/key.mail") $(code mail bogus)"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail store checks passed"
