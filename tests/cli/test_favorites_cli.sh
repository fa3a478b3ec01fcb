#!/usr/bin/env bash
# "vyrelle-cli favorites import-bookmarks" as a user runs it: what it prints and returns.
. "$(dirname "$0")/cli_test_lib.sh"
IMPORT="$VYRELLE_HOME/Favorites/Imported from Netscape"
# What each import wrote, one file a line (the names' cleaning is unit-tested).
FILE="$WORK/bookmarks.htm"
printf '<DT><H3>News</H3><DL><DT><A HREF="http://n/">Front: page</A></DL><DT><A HREF="http://t/">Top</A>' > "$FILE"
run 0 "$IMPORT/News/Front- page.url
$IMPORT/Top.url" favorites import-bookmarks "$FILE"
run 1 "vyrelle-cli: nothing imported: $IMPORT exists already (remove it to import again)" \
  favorites import-bookmarks "$FILE"

rm -rf "$IMPORT"
run 1 "vyrelle-cli: cannot read $WORK/missing.htm" favorites import-bookmarks "$WORK/missing.htm"
printf '<DT><A HREF="http://one/">One</A><DT><A HREF="http://two/">Two' > "$WORK/broken.htm"
run 1 "$IMPORT/One.url
vyrelle-cli: the bookmark list in $WORK/broken.htm is incomplete; the import stopped after what is listed" \
  favorites import-bookmarks "$WORK/broken.htm"
finish "favorites CLI"
