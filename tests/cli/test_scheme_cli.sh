#!/usr/bin/env bash
# The installed program finds its shipped scheme in <prefix>/share/vyrelle,
# seeds a new data root once, and reads the look of a scheme that changes
# only its toolbar and one colour.
# Usage: test_scheme_cli.sh VYRELLE_CLI BUILD_DIR SOURCE_DATA_DIR
. "$(dirname "$0")/cli_test_lib.sh"
build="$2" data="$3"
cmake --install "$build" --prefix "$WORK/prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
cli() { "$WORK/prefix/bin/vyrelle-cli" "$@"; }

expect "first seeding" "$(find "$data/media" "$data/Data" "$data/InfoBox" "$data/Pages" "$data/Search" -type f | wc -l)" "$(cli scheme seed)"

media="$VYRELLE_HOME/vyrelle/media"
mkdir -p "$media/Ocean"
printf 'BM' > "$media/Ocean/toolbar.bmp"
printf '[Colors]\nToolBarBack=300,0,0\n' > "$media/Ocean/config.ini"
printf '[misc]\nuserdir=Ocean\n' > "$VYRELLE_HOME/vyr20.ini"
look=$(cli scheme look)
for line in "scheme: Ocean" "colour ToolBarBack: 44,0,0" "colour FoldersBack: 150,150,100" \
            "image toolbar.bmp (24): $media/Ocean/toolbar.bmp" \
            "image chanbar.bmp (24): $media/default/chanbar.bmp" \
            "logo: $media/default/logo.bmp"; do
  expect "look line" "$line" "$(grep -xF "$line" <<<"$look")"
done
finish scheme
