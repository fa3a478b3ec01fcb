#!/bin/bash
# Builds the shipped "Midnight" scheme (data/media/Midnight/): a dark scheme
# with amber highlights and the program's own caption and borders
# (FancyWindows=1). Icons come from the Adwaita icon theme
# (/usr/share/icons/Adwaita, package adwaita-icon-theme, CC-BY-SA 3.0 /
# LGPL-3), recoloured with ImageMagick (package imagemagick). The scheme holds
# only what it changes; everything else comes from "default". The generated
# files are committed; run this again only to change them:
#   scripts/make_midnight_scheme.sh
# Every bitmap is a 24-bit BMP; magenta (255,0,255) marks what is not drawn.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/data/media/Midnight
ICONS=/usr/share/icons/Adwaita
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT"

TOOLBAR_BACK='#1E2230'   # 30,34,48
TEXT='#D8DEE9'           # 216,222,233
ACCENT='#F0A030'         # 240,160,48
SELECTED='#FFC861'       # 255,200,97
DISABLED='#5A6274'       # 90,98,116
FOLDERS_BACK='#262B3B'   # 38,43,59
SITES_BACK='#2C3244'     # 44,50,68
BUTTON_BACK='#232838'    # 35,40,56
CAPTION_BACK='#10131C'   # 16,19,28

icon() {
  local name=$1 size=$2 glyph=$3 colour=$4 out=$5 src
  src=$(ls "$ICONS"/24x24/*/"$name"-symbolic.symbolic.png 2>/dev/null | head -n1)
  [ -n "$src" ] || { echo "missing icon $name" >&2; exit 1; }
  convert "$src" -resize "${glyph}x${glyph}" -alpha on -fill "$colour" -colorize 100 \
    -background none -gravity center -extent "${size}x${size}" +repage "$out"
}

keyed() {
  convert "$1" +repage -write mpr:src +delete \
    \( mpr:src -alpha off -fill '#FF00FF' -colorize 100 \) \
    \( mpr:src -background "$2" -flatten \) \
    \( mpr:src -alpha extract -threshold 25% \) \
    -composite -alpha off -type TrueColor BMP3:"$3"
}

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

# The toolbar in the default scheme's button order (data/README).
TOOLBAR=(go-previous go-next process-stop view-refresh go-home system-search starred
         mail-unread document-print open-menu web-browser application-rss+xml
         auth-smartcard mark-location zoom-in document-open-recent)
strip "$OUT/toolbar.bmp" "$TOOLBAR_BACK" 24 20 "$TEXT" "${TOOLBAR[@]}"
strip "$OUT/toolbar_rollover.bmp" "$TOOLBAR_BACK" 24 20 "$ACCENT" "${TOOLBAR[@]}"
strip "$OUT/toolbar_disabled.bmp" "$TOOLBAR_BACK" 24 20 "$DISABLED" "${TOOLBAR[@]}"

FOLDERS=(folder folder-open starred user-home folder-documents folder-download folder-music
         folder-pictures)
strip "$OUT/folderbar.bmp" "$FOLDERS_BACK" 24 18 "$TEXT" "${FOLDERS[@]}"
strip "$OUT/folderbar_rollover.bmp" "$FOLDERS_BACK" 24 18 "$ACCENT" "${FOLDERS[@]}"
strip "$OUT/folderbar_disabled.bmp" "$FOLDERS_BACK" 24 18 "$DISABLED" "${FOLDERS[@]}"

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
strip "$OUT/vyrpad.bmp" "$TOOLBAR_BACK" 24 18 "$TEXT" \
  document-new document-open document-save edit-copy edit-paste edit-find mail-send \
  document-print
strip "$OUT/vyrpad_rollover.bmp" "$TOOLBAR_BACK" 24 18 "$ACCENT" \
  document-new document-open document-save edit-copy edit-paste edit-find mail-send \
  document-print

# Caption bar pieces, 48x24: left end, middle, right end, then the close,
# restore and minimise buttons. A deep night gradient with an amber rule
# along the bottom; the left end carries a small crescent.
convert -size 48x24 gradient:'#262C40'-"$CAPTION_BACK" \
  -fill "$ACCENT" -draw 'rectangle 0,22 47,23' "$WORK/c1.png"
convert "$WORK/c1.png" -fill "$ACCENT" -draw 'circle 14,11 14,4' \
  -fill '#262C40' -draw 'circle 17,9 17,3' "$WORK/c0.png"
cp "$WORK/c1.png" "$WORK/c2.png"
i=3
for name in window-close window-restore window-minimize; do
  colour=$([ "$name" = window-close ] && echo "$ACCENT" || echo "$TEXT")
  icon "$name" 22 14 "$colour" "$WORK/g.png"
  convert "$WORK/c1.png" "$WORK/g.png" -gravity center -composite "$WORK/c$i.png"
  i=$((i + 1))
done
convert "$WORK"/c[0-5].png +append -alpha off -type TrueColor BMP3:"$OUT/captionbar.bmp"

# Border pieces, 10x10: the caption's night colour, plain, so that the edges
# tile without a pattern.
cells=()
for n in 0 1 2 3 4 5 6 7; do
  convert -size 10x10 xc:"$CAPTION_BACK" "$WORK/b$n.png"
  cells+=("$WORK/b$n.png")
done
convert "${cells[@]}" +append -alpha off -type TrueColor BMP3:"$OUT/borders.bmp"

# Background tiles, 60 wide: plain night, and one with a few faint stars.
convert -size 60x60 xc:"$TOOLBAR_BACK" "$WORK/t0.png"
convert -size 60x60 xc:"$TOOLBAR_BACK" -fill '#3A4058' \
  -draw 'point 7,9 point 41,14 point 23,37 point 52,48 point 12,53' "$WORK/t1.png"
convert "$WORK/t0.png" "$WORK/t1.png" +append -alpha off -type TrueColor BMP3:"$OUT/backtile.bmp"

# The logo, 120x72: an amber crescent and the name; cut into two halves.
convert -size 120x72 xc:"$TOOLBAR_BACK" \
  -fill "$ACCENT" -draw 'circle 24,36 24,16' \
  -fill "$TOOLBAR_BACK" -draw 'circle 31,31 31,14' \
  -fill "$TEXT" -font DejaVu-Sans -pointsize 17 -gravity NorthWest -annotate +50+25 'Vyrelle' \
  "$WORK/logo.png"
convert "$WORK/logo.png" -alpha off -type TrueColor BMP3:"$OUT/logo.bmp"
convert "$WORK/logo.png" -crop 120x36+0+0 +repage -alpha off -type TrueColor BMP3:"$OUT/logotop.bmp"
convert "$WORK/logo.png" -crop 120x36+0+36 +repage -alpha off -type TrueColor BMP3:"$OUT/logobottom.bmp"

cat > "$OUT/config.ini" <<'INI'
[Fonts]
URLBarFace=DejaVu Sans
URLBarWeight=400
CaptionFace=DejaVu Sans
CaptionWeight=700
ToolbarFace=DejaVu Sans
ToolbarWeight=500
ChannelFace=DejaVu Sans
ChannelWeight=400
FolderFace=DejaVu Sans
FolderWeight=400
SitesFace=DejaVu Sans
SitesWeight=400

[Misc]
underline_rollover=0
FancyWindows=1

[Colors]
StatusBarText=168,176,192
FancyHeaderText=240,160,48
ToolBarText=216,222,233
ToolBarTextRollover=240,160,48
ToolBarTextSelected=255,200,97
ToolBarTextDisabled=90,98,116
ToolBarBack=30,34,48
ToolBarTipBack=44,50,68
ToolBarTipText=240,160,48
FoldersBack=38,43,59
FoldersText=216,222,233
FoldersTextRollover=240,160,48
FoldersTextSelected=255,200,97
FoldersTextDisabled=90,98,116
SitesBack=44,50,68
SitesText=216,222,233
SitesTextRollover=240,160,48
SitesTextSelected=255,200,97
SitesTextDisabled=90,98,116
ButtonBack=35,40,56
ButtonText=216,222,233
ButtonTextRollover=240,160,48
ButtonTextSelected=255,200,97
ButtonTextDisabled=90,98,116
LogoBack=30,34,48
MenuText=216,222,233
MenuBack=38,43,59
CaptionText=236,239,244
CaptionBack=16,19,28

[FancyWindows]
Caption_LeftMargin=40
Caption_RightMargin=98
Caption_TopMargin=5
Menu_TopMargin=24
CenterCaption=1
INI
echo "Midnight scheme written to $OUT"
