#!/usr/bin/env bash
# vyrelle-cli as a script uses it: what it prints, stores and exits with.
# The rules behind the commands are tested in the unit tests.
. "$(dirname "$0")/cli_test_lib.sh"
DATA="$VYRELLE_HOME/vyrelle/Data/Default"
T=$'\t'

expect "paths" "windows: $VYRELLE_HOME
data: $VYRELLE_HOME/vyrelle
profile: $VYRELLE_HOME/vyr20.ini" "$("$CLI" paths)"
"$CLI" settings set misc PI 25
expect "settings" "[misc]
PI=25 25 fallback" "$(cat "$VYRELLE_HOME/vyr20.ini") $("$CLI" settings getint MISC pi 10) $("$CLI" settings get misc Home fallback)"
mkdir -p "$VYRELLE_HOME/vyrelle/media/default" "$DATA"
printf '[Support]\nSupportEmail=help@vyrelle.example\n' > "$VYRELLE_HOME/vyrelle/media/default/config.ini"
expect "scheme file" "help@vyrelle.example" "$("$CLI" settings get Support SupportEmail --scheme)"
out=$("$CLI" cipher decode 6B4A711916DB 2>&1 >/dev/null; echo "status $?")
case "$out" in *VY01*"status 1") ;; *) expect "decode without prefix: message naming VY01, status 1" "" "$out" ;; esac

printf '\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FO:Sport\r\n\r\n~PN:Results\r\n~PU:http://n.example/r' > "$WORK/news.vyr"
expect "channels dump" "0${T}News${T}Channel!
1${T}Sport${T}_FOLDER
2${T}Results${T}http://n.example/r" "$("$CLI" channels dump "$WORK/news.vyr")"
printf '~CH:Fixed\r' > "$DATA/chanfixed.vyr"
printf '~CH:Mine\r' > "$DATA/chanuser.vyr"
printf '~CH:Mine\r~FN:q\r~FU:http://q.example/\r' > "$WORK/in.ndf"
"$CLI" channels merge "$WORK/in.ndf" merge >/dev/null
expect "channels merge writes chanuser.vyr, keeps its input" "0${T}Mine${T}Channel!
1${T}q${T}http://q.example/ yes" "$("$CLI" channels dump "$DATA/chanuser.vyr") $(test -f "$WORK/in.ndf" && echo yes)"

# Exit codes: 2 for a wrong command line, 1 for a failure.
"$CLI" nonsense >/dev/null 2>&1; a=$?
"$CLI" settings getint misc PI notanumber >/dev/null 2>&1; b=$?
"$CLI" channels merge "$WORK/in.ndf" bogus >/dev/null 2>&1; c=$?
"$CLI" settings set Local Zip other --data 2>/dev/null; d=$?
"$CLI" channels dump "$WORK/missing.vyr" >/dev/null 2>&1; e=$?
echo "a file" > "$WORK/blocker"
VYRELLE_HOME="$WORK/blocker/home" "$CLI" settings set misc PI 3 2>/dev/null; f=$?
expect "exit codes" "2 2 2 1 1 1" "$a $b $c $d $e $f"

finish vyrelle-cli
