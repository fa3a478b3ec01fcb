#!/usr/bin/env bash
# vyrelle-cli channels: dump, copy, startup and merge on real files. The
# file rules themselves are tested in the unit tests.
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
T=$'\t'

printf '\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FO:Sport\r\n\r\n~PN:Results\r\n~PU:http://n.example/r' > "$WORK/news.vyr"
check "dump" "0${T}News${T}Channel!
1${T}Sport${T}_FOLDER
2${T}Results${T}http://n.example/r" "$("$CLI" channels dump "$WORK/news.vyr")"
"$CLI" channels dump "$WORK/missing.vyr" >/dev/null 2>&1
check "dump of a missing file" "1" "$?"
"$CLI" channels copy "$WORK/news.vyr" "$WORK/copy.vyr"
check "copy is byte-exact" "$(od -c "$WORK/news.vyr")" "$(od -c "$WORK/copy.vyr")"

printf '~CH:Fixed\r' > "$DATA/chanfixed.vyr"
printf '~CH:Mine\r~FN:p\r~FU:http://p.example/\r' > "$DATA/chanuser.vyr"
check "startup fixed count" "fixed: 2" "$("$CLI" channels startup | head -1)"
printf '~CH:Mine\r~FN:q\r~FU:http://q.example/\r~CH:Other\r' > "$WORK/in.ndf"
"$CLI" channels merge "$WORK/in.ndf" merge >/dev/null
check "merge writes chanuser.vyr" "0${T}Mine${T}Channel!
1${T}p${T}http://p.example/
1${T}q${T}http://q.example/
0${T}Other${T}Channel!" "$("$CLI" channels dump "$DATA/chanuser.vyr")"
test -f "$WORK/in.ndf" || { echo "FAIL: merge deleted its input"; failures=$((failures + 1)); }
"$CLI" channels merge "$WORK/in.ndf" bogus >/dev/null 2>&1
check "unknown action" "2" "$?"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all channels checks passed"
