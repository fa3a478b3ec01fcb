#!/usr/bin/env bash
# vyrelle-cli html: text, rtf and plain on real files, and the exit codes.
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
mkdir -p "$VYRELLE_HOME"
failures=0
check() {
  [ "$2" == "$3" ] && return
  echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
  failures=$((failures + 1))
}
code() { "$CLI" "$@" >/dev/null 2>&1; echo $?; }

printf 'See www.example.com.\nA<B' > "$WORK/plain.txt"
check "text" '<HTML><BODY BGCOLOR=#FFFFFF>See  <A HREF=http://www.example.com>www.example.com</A>.<BR>A&#60B</HTML></BODY>' \
  "$("$CLI" html text "$WORK/plain.txt")"
printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a<b \\b b\\b0\\par\\qc c\\par\n}{RTFBGCOLOR}=255' > "$WORK/rich.rtf"
check "rtf" $'<HTML><BODY BGCOLOR=#FF0000>a&lt;b&nbsp;<B>b</B>\r\n<BR><CENTER>c</CENTER></BODY></HTML>' \
  "$("$CLI" html rtf "$WORK/rich.rtf" 2>/dev/null)"
check "rtf needs html" "needs-html: 1" "$("$CLI" html rtf "$WORK/rich.rtf" 2>&1 >/dev/null)"
check "plain" $'a<b b\r\nc' "$("$CLI" html plain "$WORK/rich.rtf")"
check "a missing file, an unknown form" "1 2" "$(code html text "$WORK/missing.txt") $(code html bogus "$WORK/plain.txt")"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all html checks passed"
