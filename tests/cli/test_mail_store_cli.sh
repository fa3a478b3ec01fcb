#!/usr/bin/env bash
# vyrelle-cli mail: folders, list, summary, key, state and mark on a real
# store: the printed forms and exit statuses (the rules are unit-tested).
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
export TZ=UTC0
MAIL="$VYRELLE_HOME/vyrelle/email"
mkdir -p "$MAIL/Inbox" "$MAIL/Sent Items" "$MAIL/Work" "$MAIL/Trash"
failures=0
check() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}
TAB=$'\t'
# Sets a file's creation (modification) and last-access times.
times() { touch -m -d "@$2" "$1"; touch -a -d "@$3" "$1"; }

printf 'From: Alice <alice@example.org>\r\nTo: Bob <bob@example.net>\r\nSubject: Old news\r\nDate: Sat, 9 May 1998 18:30:37 -0400\r\n\r\nbody\r\n.' > "$MAIL/Inbox/old.mail"
printf 'From: "Carol" <carol@example.com>\r\nSubject:\r\n\tfolded\tsubject\r\nContent-Type: multipart/mixed;\r\n boundary="b-1"; name="x.pdf"\r\nContent-Transfer-Encoding: 7bit\r\nMIME-Version: 1.0\r\nCC: dave@example.com\r\nBCC: eve@example.com\r\n\r\nbody\r\n.' > "$MAIL/Inbox/new.mail"
printf 'Subject: ab\r\n\r\nbody\r\n.' > "$MAIL/Inbox/key.mail"
printf 'short' > "$MAIL/Inbox/tiny"
times "$MAIL/Inbox/old.mail" 1000000000 1000000100   # read
times "$MAIL/Inbox/new.mail" 1200000000 1200000000   # unread
times "$MAIL/Inbox/key.mail" 1100000000 1100000000   # unread

check "list Inbox: unread first, newest first" \
"1${TAB}1200000000${TAB}\"Carol\" <carol@example.com>${TAB}folded subject${TAB}$MAIL/Inbox/new.mail
1${TAB}1100000000${TAB}${TAB}ab${TAB}$MAIL/Inbox/key.mail
0${TAB}1000000000${TAB}Alice <alice@example.org>${TAB}Old news${TAB}$MAIL/Inbox/old.mail" \
  "$("$CLI" mail list Inbox)"
check "listing leaves the read state alone" "unread" "$("$CLI" mail state "$MAIL/Inbox/new.mail")"

check "list an empty folder" "" "$("$CLI" mail list Work)"
"$CLI" mail list Nowhere >/dev/null 2>&1
check "list a missing folder fails" "1" "$?"

# The summary's fields are checked by the unit tests; here only its form.
summary=$("$CLI" mail summary "$MAIL/Inbox/new.mail")
check "summary lines" "From: \"Carol\" <carol@example.com>|Subject: folded subject|Total: 0" \
  "$(echo "$summary" | sed -n '1p;2p;$p' | paste -sd'|')"
"$CLI" mail summary "$MAIL/Inbox/tiny" >/dev/null 2>&1
check "summary of a file under 10 bytes fails" "1" "$?"

check "key" "X-392" "$("$CLI" mail key "$MAIL/Inbox/key.mail")"
"$CLI" mail key "$MAIL/Inbox/missing.mail" >/dev/null 2>&1
check "key of a missing file fails" "1" "$?"

check "state unread" "unread" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
"$CLI" mail mark read "$MAIL/Inbox/key.mail"
check "mark read" "read" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
"$CLI" mail mark unread "$MAIL/Inbox/key.mail"
check "mark unread" "unread" "$("$CLI" mail state "$MAIL/Inbox/key.mail")"
"$CLI" mail mark sideways "$MAIL/Inbox/key.mail" >/dev/null 2>&1
check "mark with a bad state is a usage error" "2" "$?"
"$CLI" mail state "$MAIL/Inbox/missing.mail" >/dev/null 2>&1
check "state of a missing file fails" "1" "$?"

touch "$MAIL/Trash/deleted.mail"
check "folders" "Inbox${TAB}0
Outbox${TAB}0
Sent Items${TAB}0
Draft${TAB}0
Trash${TAB}1
Work${TAB}0" "$("$CLI" mail folders)"
"$CLI" mail bogus >/dev/null 2>&1
check "unknown mail command" "2" "$?"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all mail store checks passed"
