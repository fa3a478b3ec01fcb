#!/usr/bin/env bash
# vyrelle-cli html: rtf and plain on a real file, and the exit codes (the
# conversions themselves are unit-tested).
. "$(dirname "$0")/cli_test_lib.sh"
mkdir -p "$VYRELLE_HOME"
code() { "$CLI" "$@" >/dev/null 2>&1; echo $?; }

printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a<b \\b b\\b0\\par\\qc c\\par\n}{RTFBGCOLOR}=255' > "$WORK/rich.rtf"
expect "rtf" $'<HTML><BODY BGCOLOR=#FF0000>a&lt;b&nbsp;<B>b</B>\r\n<BR><CENTER>c</CENTER></BODY></HTML>' \
  "$("$CLI" html rtf "$WORK/rich.rtf" 2>/dev/null)"
expect "rtf needs html" "needs-html: 1" "$("$CLI" html rtf "$WORK/rich.rtf" 2>&1 >/dev/null)"
expect "plain" $'a<b b\r\nc' "$("$CLI" html plain "$WORK/rich.rtf")"
expect "a missing file, an unknown form" "1 2" "$(code html text "$WORK/missing.txt") $(code html bogus "$WORK/rich.rtf")"
finish html
