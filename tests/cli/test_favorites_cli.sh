#!/usr/bin/env bash
# Drives "vyrelle-cli favorites" as a user or script would and checks what it
# prints, what it writes into the favorites folder and its exit status.
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
FAV="$VYRELLE_HOME/Favorites"
IMPORT="$FAV/Imported from Netscape"
failures=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}

# clean-name
check "clean-name" "News- Today-" "$("$CLI" favorites clean-name 'News: Today?')"
check "clean-name every character" "a----------------b" "$("$CLI" favorites clean-name 'a!#*+/:<>?[\]`{|}b')"
"$CLI" favorites clean-name >/dev/null 2>&1
check "clean-name without NAME is a usage error" "2" "$?"

# import-bookmarks: a file that cannot be read imports nothing and makes nothing
err=$("$CLI" favorites import-bookmarks "$WORK/missing.htm" 2>&1 >/dev/null)
check "unreadable file exit" "1" "$?"
check "unreadable file message" "vyrelle-cli: cannot read $WORK/missing.htm" "$err"
check "unreadable file leaves no import folder" "no" "$([ -e "$IMPORT" ] && echo yes || echo no)"

# import-bookmarks: nested folders, one shortcut path per line in file order
cat > "$WORK/bookmark.htm" <<'EOF'
<!DOCTYPE NETSCAPE-Bookmark-file-1>
<TITLE>Bookmarks</TITLE>
<DL><p>
    <DT><H3 ADD_DATE="1">News</H3>
    <DL><p>
        <DT><A HREF="http://news.test/" ADD_DATE="2">Daily: News</A>
        <DT><H3>Local</H3>
        <DL><p>
            <DT><A HREF="http://town.test/">Town</A>
        </DL><p>
    </DL><p>
    <DT><A HREF="http://search.test/">Search</A>
    <DT><A HREF="http://evil.test/">../Escape</A>
</DL><p>
EOF
out=$("$CLI" favorites import-bookmarks "$WORK/bookmark.htm")
check "import exit" "0" "$?"
check "import lists the shortcuts" "$IMPORT/News/Daily: News.url
$IMPORT/News/Local/Town.url
$IMPORT/Search.url" "$out"
check "shortcut file" "[InternetShortcut]
URL=http://town.test/" "$(cat "$IMPORT/News/Local/Town.url")"
check "nothing outside the import folder" "$FAV
$FAV/Imported from Netscape" "$(find "$FAV" -maxdepth 1 | sort)"

# a second import changes nothing
before=$(cd "$FAV" && find . | sort)
out=$("$CLI" favorites import-bookmarks "$WORK/bookmark.htm" 2>"$WORK/err")
check "second import exit" "1" "$?"
check "second import prints no shortcut" "" "$out"
check "second import message" \
  "vyrelle-cli: nothing imported: $IMPORT exists already (remove it to import again)" "$(cat "$WORK/err")"
check "second import changes nothing" "$before" "$(cd "$FAV" && find . | sort)"

# a broken list keeps what came before the break and says so
rm -rf "$IMPORT"
printf '<DT><A HREF="http://one/">One</A><DT><A HREF="http://two/">Two' > "$WORK/broken.htm"
out=$("$CLI" favorites import-bookmarks "$WORK/broken.htm" 2>"$WORK/err")
check "broken list exit" "1" "$?"
check "broken list lists what was written" "$IMPORT/One.url" "$out"
check "broken list message" \
  "vyrelle-cli: the bookmark list in $WORK/broken.htm is incomplete; the import stopped after what is listed" \
  "$(cat "$WORK/err")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all favorites CLI checks passed"
