#!/usr/bin/env bash
# "vyrelle-cli browse resolve" with the ".com" step off and the resolver away:
# what it prints and returns. No network is needed.
. "$(dirname "$0")/cli_test_lib.sh"
"$CLI" settings set SmarterBrowsing Autocomplete 0
"$CLI" settings set Search RNServer 127.0.0.1:1
"$CLI" settings set Search URL 'http://find.example/?q=%s&n=%%d'
out=$("$CLI" browse resolve " two words" 2>&1)
expect "bare words" "0:* ENHANCED BROWSING: RealName search for: two words
navigate: http://find.example/?q=two%20words&n=%d" "$?:$out"
"$CLI" browse lookup news 2>/dev/null
expect "usage status" 2 "$?"
finish "browse CLI"
