#!/usr/bin/env bash
# Drives vyrelle-cli as a user or script would and checks what it prints,
# what it stores and its exit status.
set -u
CLI="$1"
HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT
export VYRELLE_HOME="$HOME_DIR/home"
failures=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}

# paths
out=$("$CLI" paths)
check "paths" "windows: $VYRELLE_HOME
data: $VYRELLE_HOME/vyrelle
profile: $VYRELLE_HOME/vyr20.ini" "$out"

# settings: profile
check "get missing gives default" "fallback" "$("$CLI" settings get misc Home fallback)"
check "get missing without default is empty" "" "$("$CLI" settings get misc Home)"
"$CLI" settings set misc PI 25 || { echo "FAIL: set"; failures=$((failures + 1)); }
check "set then get, other case" "25" "$("$CLI" settings get MISC pi)"
check "getint" "25" "$("$CLI" settings getint Misc PI 10)"
"$CLI" settings set misc PI abc
check "getint of text is 0" "0" "$("$CLI" settings getint misc PI 10)"
check "getint missing" "-1" "$("$CLI" settings getint misc wnd_top -1)"
check "profile file" "[misc]
PI=abc" "$(cat "$VYRELLE_HOME/vyr20.ini")"

# settings: scheme file with fall-back to the default scheme, 253-character cut
mkdir -p "$VYRELLE_HOME/vyrelle/media/default"
long=$(printf 'x%.0s' $(seq 1 300))
printf '[Support]\nSupportEmail=help@vyrelle.example\n[Long]\nv=%s\n' "$long" \
  > "$VYRELLE_HOME/vyrelle/media/default/config.ini"
"$CLI" settings set misc userdir Ocean
check "scheme falls back to default" "help@vyrelle.example" \
  "$("$CLI" settings get Support SupportEmail --scheme)"
check "scheme value cut to 253" "253" "$("$CLI" settings get Long v --scheme | tr -d '\n' | wc -c)"
check "scheme key not in profile" "" "$("$CLI" settings get Support SupportEmail)"
"$CLI" settings set --scheme misc FancyWindows 1
check "scheme set" "1" "$("$CLI" settings getint misc FancyWindows 0 --scheme)"

# settings: data folder
mkdir -p "$VYRELLE_HOME/vyrelle/Data/Default"
printf '[Local]\nZip=zipped\nN=7x\n' > "$VYRELLE_HOME/vyrelle/Data/Default/config.ini"
check "data get" "zipped" "$("$CLI" settings get Local Zip none --data)"
check "data getint" "7" "$("$CLI" settings getint local n 0 --data)"
"$CLI" settings set Local Zip other --data 2>/dev/null
check "data is read-only" "1" "$?"
check "data unchanged" "zipped" "$("$CLI" settings get Local Zip none --data)"

# cipher
check "encode" "VY016B4A711916DB" "$("$CLI" cipher encode secret)"
check "decode" "secret" "$("$CLI" cipher decode VY016B4A711916DB)"
check "empty round trip" "VY01" "$("$CLI" cipher encode '')"
err=$("$CLI" cipher decode 6B4A711916DB 2>&1 >/dev/null)
status=$?
check "decode without prefix fails" "1" "$status"
case "$err" in *VY01*) ;; *) echo "FAIL: decode message: $err"; failures=$((failures + 1)) ;; esac

# usage errors
"$CLI" nonsense >/dev/null 2>&1
check "unknown command" "2" "$?"
"$CLI" settings getint misc PI notanumber >/dev/null 2>&1
check "bad default" "2" "$?"

# an unusable home folder: reads give defaults, writes fail with status 1
echo "a file" > "$HOME_DIR/blocker"
VYRELLE_HOME="$HOME_DIR/blocker/home" "$CLI" settings set misc PI 3 2>/dev/null
check "set into unusable home fails" "1" "$?"
check "get from unusable home gives default" "d" \
  "$(VYRELLE_HOME="$HOME_DIR/blocker/home" "$CLI" settings get misc PI d 2>/dev/null)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all vyrelle-cli checks passed"
