#!/usr/bin/env bash
# vyrelle-cli channels: dump, copy, startup and merge on real files.
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
DATA="$VYRELLE_HOME/vyrelle/Data/Default"
mkdir -p "$DATA"
failures=0
check() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}
TAB=$'\t'

printf '\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FN:Front\r\n~FU:http://n.example/\r\n~**:- - -\r\n~FO:Sport\r\n\r\n~PN:Results\r\n~PU:http://n.example/r' > "$WORK/news.vyr"
check "dump" "0${TAB}News${TAB}Channel!
1${TAB}Front${TAB}http://n.example/
1${TAB}Sport${TAB}_FOLDER
2${TAB}Results${TAB}http://n.example/r" "$("$CLI" channels dump "$WORK/news.vyr")"
"$CLI" channels dump "$WORK/missing.vyr" >/dev/null 2>&1
check "dump of a missing file" "1" "$?"

"$CLI" channels copy "$WORK/news.vyr" "$WORK/copy.vyr"
check "copy is byte-exact" "$(od -c "$WORK/news.vyr")" "$(od -c "$WORK/copy.vyr")"
"$CLI" channels copy "$WORK/news.vyr" "$WORK/empty.vyr" 1
check "copy from past the end is empty" "0" "$(stat -c %s "$WORK/empty.vyr")"

printf '~CH:Fixed One\r~CH:Fixed Two\r' > "$DATA/chanfixed.vyr"
printf '~CH:Mine\r~FN:p\r~FU:http://p.example/\r' > "$DATA/chanuser.vyr"
out=$("$CLI" channels startup)
check "startup fixed count" "fixed: 3" "$(echo "$out" | head -1)"
check "startup channels" "H O M E |Fixed One|Fixed Two|Mine" \
  "$(echo "$out" | awk -F'\t' '$1=="0"{print $2}' | paste -sd'|')"

printf '~CH:Mine\r~FN:q\r~FU:http://q.example/\r~CH:Other\r' > "$WORK/in.ndf"
"$CLI" channels merge "$WORK/in.ndf" merge >/dev/null
check "merge writes chanuser.vyr" "0${TAB}Mine${TAB}Channel!
1${TAB}p${TAB}http://p.example/
1${TAB}q${TAB}http://q.example/
0${TAB}Other${TAB}Channel!" "$("$CLI" channels dump "$DATA/chanuser.vyr")"
"$CLI" channels merge "$WORK/in.ndf" rename >/dev/null
check "rename adds Mine2 and Other2" "Mine|Other|Mine2|Other2" \
  "$("$CLI" channels dump "$DATA/chanuser.vyr" | awk -F'\t' '$1=="0"{print $2}' | paste -sd'|')"
"$CLI" channels merge "$WORK/in.ndf" bogus >/dev/null 2>&1
check "unknown action" "2" "$?"
test -f "$WORK/in.ndf" || { echo "FAIL: merge deleted its input"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all channels checks passed"
