#!/usr/bin/env bash
# The installed program finds its shipped scheme in <prefix>/share/vyrelle,
# seeds a new data root once, and reads the look of a scheme that changes
# only its toolbar and one colour.
# Usage: test_scheme_cli.sh BUILD_DIR SOURCE_DATA_DIR
set -u
build="$1" data="$2"
prefix=$(mktemp -d) home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
cli() { VYRELLE_HOME="$home" "$prefix/bin/vyrelle-cli" "$@"; }

shipped=$(find "$data/media" -type f | wc -l)
[ "$(cli scheme seed)" = "$shipped" ] || fail "first seeding did not copy $shipped files"
[ "$(cli scheme seed)" = 0 ] || fail "second seeding copied again"

media="$home/vyrelle/media"
mkdir -p "$media/Ocean"
printf 'BM' > "$media/Ocean/toolbar.bmp"
printf '[Colors]\nToolBarBack=300,0,0\n' > "$media/Ocean/config.ini"
printf '[misc]\nuserdir=Ocean\n' > "$home/vyr20.ini"
look=$(cli scheme look) || fail "scheme look"
for line in "scheme: Ocean" "colour ToolBarBack: 44,0,0" "colour FoldersBack: 150,150,100" \
            "image toolbar.bmp (24): $media/Ocean/toolbar.bmp" \
            "image chanbar.bmp (24): $media/default/chanbar.bmp" \
            "logo: $media/default/logo.bmp"; do
  grep -qxF "$line" <<<"$look" || { echo "$look"; fail "missing line: $line"; }
done
echo "scheme seeding and look checks passed"
