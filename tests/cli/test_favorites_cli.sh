#!/usr/bin/env bash
# Drives "vyrelle-cli favorites" as a user would: what it prints, writes and
# returns. The parse itself is covered by the unit tests.
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
IMPORT="$VYRELLE_HOME/Favorites/Imported from Netscape"
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

check "clean-name" "News- Today-" "$("$CLI" favorites clean-name 'News: Today?')"

cat > "$WORK/bookmarks.html" <<'EOF'
<!DOCTYPE NETSCAPE-Bookmark-file-1>
<DL><p>
    <DT><H3 ADD_DATE="1" LAST_MODIFIED="2">Reading/Deep: Folder</H3>
    <DL><p>
        <DT><A HREF="https://example.org/a?b=1&amp;c=2" ICON_URI="https://example.org/i.ico">Query &amp; Ampersand</A>
    </DL><p>
    <HR>
    <DT><A HREF="javascript:alert(1)">Bookmarklet</A>
    <DT><A HREF="https://after.example/">After</A>
</DL><p>
EOF
out=$("$CLI" favorites import-bookmarks "$WORK/bookmarks.html" 2>&1)
check "import exit" "0" "$?"
check "import lists the shortcuts" "$IMPORT/Reading-Deep- Folder/Query & Ampersand.url
$IMPORT/After.url" "$out"
check "shortcut file" "[InternetShortcut]
URL=https://example.org/a?b=1&c=2" "$(cat "$IMPORT/Reading-Deep- Folder/Query & Ampersand.url")"

out=$("$CLI" favorites import-bookmarks "$WORK/bookmarks.html" 2>&1)
check "second import exit" "1" "$?"
check "second import message" \
  "vyrelle-cli: nothing imported: $IMPORT exists already (remove it to import again)" "$out"

rm -rf "$IMPORT"
printf '<DT><A HREF="http://one/">One</A><DT><A HREF="http://two/">Two' > "$WORK/broken.htm"
out=$("$CLI" favorites import-bookmarks "$WORK/broken.htm" 2>&1)
check "broken list exit" "1" "$?"
check "broken list output" "$IMPORT/One.url
vyrelle-cli: the bookmark list in $WORK/broken.htm is incomplete; the import stopped after what is listed" "$out"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all favorites CLI checks passed"
