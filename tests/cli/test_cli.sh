#!/usr/bin/env bash
# vyrelle-cli as a script uses it: what it prints, stores and exits with.
# The rules behind the commands are tested in the unit tests.
set -u
CLI="$1"
HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT
export VYRELLE_HOME="$HOME_DIR/home"
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"; echo "  expected: $(printf '%q' "$2")"; echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}

check "paths" "windows: $VYRELLE_HOME
data: $VYRELLE_HOME/vyrelle
profile: $VYRELLE_HOME/vyr20.ini" "$("$CLI" paths)"

check "get missing gives default" "fallback" "$("$CLI" settings get misc Home fallback)"
"$CLI" settings set misc PI 25
check "set then get, other case" "25" "$("$CLI" settings getint MISC pi 10)"
check "profile file" "[misc]
PI=25" "$(cat "$VYRELLE_HOME/vyr20.ini")"

mkdir -p "$VYRELLE_HOME/vyrelle/media/default" "$VYRELLE_HOME/vyrelle/Data/Default"
printf '[Support]\nSupportEmail=help@vyrelle.example\n' > "$VYRELLE_HOME/vyrelle/media/default/config.ini"
printf '[Local]\nZip=zipped\n' > "$VYRELLE_HOME/vyrelle/Data/Default/config.ini"
"$CLI" settings set misc userdir Ocean
check "scheme falls back to default" "help@vyrelle.example" \
  "$("$CLI" settings get Support SupportEmail --scheme)"
"$CLI" settings set --scheme misc FancyWindows 1
check "scheme set" "1" "$("$CLI" settings getint misc FancyWindows 0 --scheme)"
check "data get" "zipped" "$("$CLI" settings get Local Zip none --data)"
"$CLI" settings set Local Zip other --data 2>/dev/null
check "data is read-only" "1" "$?"

check "encode" "VY016B4A711916DB" "$("$CLI" cipher encode secret)"
check "decode" "secret" "$("$CLI" cipher decode VY016B4A711916DB)"
err=$("$CLI" cipher decode 6B4A711916DB 2>&1 >/dev/null)
check "decode without prefix fails" "1" "$?"
case "$err" in *VY01*) ;; *) echo "FAIL: decode message: $err"; failures=$((failures + 1)) ;; esac

"$CLI" nonsense >/dev/null 2>&1
check "unknown command" "2" "$?"
"$CLI" settings getint misc PI notanumber >/dev/null 2>&1
check "bad default" "2" "$?"
echo "a file" > "$HOME_DIR/blocker"
VYRELLE_HOME="$HOME_DIR/blocker/home" "$CLI" settings set misc PI 3 2>/dev/null
check "set into unusable home fails" "1" "$?"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all vyrelle-cli checks passed"
