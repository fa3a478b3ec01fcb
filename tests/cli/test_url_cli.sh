#!/usr/bin/env bash
# "vyrelle-cli url special" as a user runs it: what the special-address
# filter took and asked for, its options and its usage (the filter's rules
# are unit-tested).
. "$(dirname "$0")/cli_test_lib.sh"
run 0 $'taken\nsetup\nQuestion Vyrelle | Update this software from\\n\\nhttp://www.vyrelle.example/vyrsetup.exe ?
UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask' url special --yes "http://www.vyrelle.example/vyrsetup.exe"
run 0 "not taken" url special "http://example.org/"
# Untrusted: the link is taken, nothing runs.
run 0 $'taken\ncommand refused: untrusted' url special --untrusted "http://www.vyrelle.example/_cmd/tour%20on"
out=$("$CLI" url special 2>&1)
expect usage "2 vyrelle-cli: url special: ADDRESS is required" "$? ${out%%$'\n'*}"
out=$("$CLI" url special --untrusted --click "http://example.org/" 2>&1)
expect "one origin only" "2 vyrelle-cli: url special: --untrusted excludes --click" "$? ${out%%$'\n'*}"
# The filter reads the home server from the profile.
"$CLI" settings set misc HomeServer http://127.0.0.1:8080/ || failures=$((failures + 1))
run 0 $'taken\ncommand: tour on' url special "http://127.0.0.1:8080/_cmd/tour%20on"
finish "url CLI"
