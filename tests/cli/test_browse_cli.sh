#!/usr/bin/env bash
# "vyrelle-cli browse resolve" with the ".com" step off and the resolver away:
# what it prints and returns. No network is needed.
set -u
CLI="$1"
export VYRELLE_HOME=$(mktemp -d)
trap 'rm -rf "$VYRELLE_HOME"' EXIT
"$CLI" settings set SmarterBrowsing Autocomplete 0
"$CLI" settings set Search RNServer 127.0.0.1:1
"$CLI" settings set Search URL 'http://find.example/?q=%s&n=%%d'
out=$("$CLI" browse resolve " two words" 2>&1)
[ "$?:$out" = "0:* ENHANCED BROWSING: RealName search for: two words
navigate: http://find.example/?q=two%20words&n=%d" ] || { printf 'FAIL: %q\n' "$out"; exit 1; }
[ "$("$CLI" browse resolve example.org/a)" = "navigate: example.org/a" ] || { echo "FAIL: address"; exit 1; }
"$CLI" browse lookup news 2>/dev/null
[ $? -eq 2 ] || { echo "FAIL: usage status"; exit 1; }
echo "all browse CLI checks passed"
