# Shared by scripts/make_default_scheme.sh and scripts/make_midnight_scheme.sh
# (sourced, not run): the helpers that turn icons of the Adwaita icon theme
# (/usr/share/icons/Adwaita, package adwaita-icon-theme, CC-BY-SA 3.0 /
# LGPL-3) into a scheme's bitmaps with ImageMagick (package imagemagick), and
# the icon strips every scheme draws. Every bitmap is a 24-bit BMP; magenta
# (255,0,255) marks what is not drawn. Icon edges are blended onto the
# background the bitmap is drawn on, so no magenta fringe shows.
# The sourcing script sets OUT and the colour variables TOOLBAR_BACK, TEXT,
# ACCENT, DISABLED, FOLDERS_BACK, SITES_BACK and BUTTON_BACK.

ICONS=/usr/share/icons/Adwaita
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# icon NAME SIZE GLYPH COLOUR OUT: the theme's symbolic icon NAME recoloured,
# GLYPH pixels big, centred on a transparent SIZE x SIZE square.
icon() {
  local name=$1 size=$2 glyph=$3 colour=$4 out=$5 src
  src=$(ls "$ICONS"/24x24/*/"$name"-symbolic.symbolic.png 2>/dev/null | head -n1)
  [ -n "$src" ] || { echo "missing icon $name" >&2; exit 1; }
  convert "$src" -resize "${glyph}x${glyph}" -alpha on -fill "$colour" -colorize 100 \
    -background none -gravity center -extent "${size}x${size}" +repage "$out"
}

# keyed IN BACKGROUND OUT.bmp: blends the picture onto BACKGROUND where it is
# drawn and makes the rest magenta; a 24-bit BMP.
keyed() {
  convert "$1" +repage -write mpr:src +delete \
    \( mpr:src -alpha off -fill '#FF00FF' -colorize 100 \) \
    \( mpr:src -background "$2" -flatten \) \
    \( mpr:src -alpha extract -threshold 25% \) \
    -composite -alpha off -type TrueColor BMP3:"$3"
}

# strip OUT.bmp BACKGROUND SIZE GLYPH COLOUR NAME...: a row of icons.
strip() {
  local out=$1 back=$2 size=$3 glyph=$4 colour=$5 i=0 cells=()
  shift 5
  for name in "$@"; do
    icon "$name" "$size" "$glyph" "$colour" "$WORK/cell$i.png"
    cells+=("$WORK/cell$i.png"); i=$((i + 1))
  done
  convert "${cells[@]}" -background none +append +repage "$WORK/strip.png"
  keyed "$WORK/strip.png" "$back" "$out"
}

# common_strips: the icon strips every scheme has, in the scheme's colours.
# Toolbar, in button order: 0 Back, 1 Forward, 2 Stop, 3 Refresh, 4 Home,
# 5 Search, 6 Favorites, 7 Mail, 8 Print, 9 Menu, 10 The Net, 11 News,
# 12 Money, 13 Local, 14 Zoom, 15 History.
common_strips() {
  local toolbar=(go-previous go-next process-stop view-refresh go-home system-search starred
                 mail-unread document-print open-menu web-browser application-rss+xml
                 auth-smartcard mark-location zoom-in document-open-recent)
  strip "$OUT/toolbar.bmp" "$TOOLBAR_BACK" 24 20 "$TEXT" "${toolbar[@]}"
  strip "$OUT/toolbar_rollover.bmp" "$TOOLBAR_BACK" 24 20 "$ACCENT" "${toolbar[@]}"
  strip "$OUT/toolbar_disabled.bmp" "$TOOLBAR_BACK" 24 20 "$DISABLED" "${toolbar[@]}"

  local folders=(folder folder-open starred user-home folder-documents folder-download
                 folder-music folder-pictures)
  strip "$OUT/folderbar.bmp" "$FOLDERS_BACK" 24 18 "$TEXT" "${folders[@]}"
  strip "$OUT/folderbar_rollover.bmp" "$FOLDERS_BACK" 24 18 "$ACCENT" "${folders[@]}"
  strip "$OUT/folderbar_disabled.bmp" "$FOLDERS_BACK" 24 18 "$DISABLED" "${folders[@]}"

  strip "$OUT/BigButtons.bmp" "$TOOLBAR_BACK" 24 20 "$TEXT" \
    go-previous go-next go-up go-down list-add list-remove edit-delete document-properties
  strip "$OUT/littlebuttons.bmp" "$BUTTON_BACK" 24 14 "$TEXT" \
    list-add list-remove window-close go-up go-down pan-end pan-start view-more
  strip "$OUT/chanicon.bmp" "$BUTTON_BACK" 24 18 "$ACCENT" \
    web-browser application-rss+xml mail-unread starred auth-smartcard mark-location \
    camera-photo audio-speakers input-gaming weather-few-clouds system-search user-home
  strip "$OUT/chanbar.bmp" "$BUTTON_BACK" 24 16 "$TEXT" \
    pan-end pan-down list-add edit-delete document-edit go-up go-down view-refresh
  strip "$OUT/small_images.bmp" "$SITES_BACK" 24 16 "$TEXT" \
    web-browser folder starred mail-unread document-open-recent emblem-ok dialog-warning \
    dialog-information

  local pad=(document-new document-open document-save edit-copy edit-paste edit-find
             mail-send document-print)
  strip "$OUT/vyrpad.bmp" "$TOOLBAR_BACK" 24 18 "$TEXT" "${pad[@]}"
  strip "$OUT/vyrpad_rollover.bmp" "$TOOLBAR_BACK" 24 18 "$ACCENT" "${pad[@]}"
}

# row OUT.bmp PICTURE...: the pictures side by side as a 24-bit BMP, nothing
# keyed out.
row() {
  local out=$1
  shift
  convert "$@" +append -alpha off -type TrueColor BMP3:"$out"
}

# logo_bitmaps PICTURE: the 120x72 logo as logo.bmp, and cut into its top and
# bottom halves (logotop.bmp, logobottom.bmp).
logo_bitmaps() {
  convert "$1" -alpha off -type TrueColor BMP3:"$OUT/logo.bmp"
  convert "$1" -crop 120x36+0+0 +repage -alpha off -type TrueColor BMP3:"$OUT/logotop.bmp"
  convert "$1" -crop 120x36+0+36 +repage -alpha off -type TrueColor BMP3:"$OUT/logobottom.bmp"
}
