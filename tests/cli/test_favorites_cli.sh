#!/usr/bin/env bash
# "vyrelle-cli favorites import-bookmarks" as a user runs it: what it prints and returns.
. "$(dirname "$0")/cli_test_lib.sh"
IMPORT="$VYRELLE_HOME/Favorites/Imported from Netscape"
check() {  # check NAME EXPECTED_STATUS EXPECTED_OUTPUT FILE
  out=$("$CLI" favorites import-bookmarks "$4" 2>&1)
  expect "$1" "$2 $3" "$? $out"
}

# What each import wrote, one file a line (the names' cleaning is unit-tested).
FILE="$WORK/bookmarks.htm"
printf '<DT><H3>News</H3><DL><DT><A HREF="http://n/">Front: page</A></DL><DT><A HREF="http://t/">Top</A>' > "$FILE"
check "import" 0 "$IMPORT/News/Front- page.url
$IMPORT/Top.url" "$FILE"
check "second import" 1 \
  "vyrelle-cli: nothing imported: $IMPORT exists already (remove it to import again)" "$FILE"

rm -rf "$IMPORT"
check "unreadable file" 1 "vyrelle-cli: cannot read $WORK/missing.htm" "$WORK/missing.htm"
printf '<DT><A HREF="http://one/">One</A><DT><A HREF="http://two/">Two' > "$WORK/broken.htm"
check "broken list" 1 "$IMPORT/One.url
vyrelle-cli: the bookmark list in $WORK/broken.htm is incomplete; the import stopped after what is listed" \
  "$WORK/broken.htm"

finish "favorites CLI"
