#!/bin/bash
# Builds the shipped "Midnight" scheme (data/media/Midnight/): a dark scheme
# with amber highlights and the program's own caption and borders
# (FancyWindows=1), drawn with the helpers in scripts/scheme_pictures.sh
# (icons of the Adwaita icon theme recoloured with ImageMagick). The scheme holds
# only what it changes; everything else comes from "default". The generated
# files are committed; run this again only to change them:
#   scripts/make_midnight_scheme.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/data/media/Midnight
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
MARK_INK='#1E2230'

source "$ROOT/scripts/scheme_pictures.sh"

# The same strips and status animation as the default scheme, in the night
# colours.
common_strips
status_animation

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
row "$OUT/captionbar.bmp" "$WORK"/c[0-5].png

# Border pieces, 10x10: the caption's night colour, plain, so that the edges
# tile without a pattern.
cells=()
for n in 0 1 2 3 4 5 6 7; do
  convert -size 10x10 xc:"$CAPTION_BACK" "$WORK/b$n.png"
  cells+=("$WORK/b$n.png")
done
row "$OUT/borders.bmp" "${cells[@]}"

# Background tiles, 60 wide: plain night, and one with a few faint stars.
convert -size 60x60 xc:"$TOOLBAR_BACK" "$WORK/t0.png"
convert -size 60x60 xc:"$TOOLBAR_BACK" -fill '#3A4058' \
  -draw 'point 7,9 point 41,14 point 23,37 point 52,48 point 12,53' "$WORK/t1.png"
row "$OUT/backtile.bmp" "$WORK/t0.png" "$WORK/t1.png"

# The logo, 120x72: an amber crescent and the name; cut into two halves.
convert -size 120x72 xc:"$TOOLBAR_BACK" \
  -fill "$ACCENT" -draw 'circle 24,36 24,16' \
  -fill "$TOOLBAR_BACK" -draw 'circle 31,31 31,14' \
  -fill "$TEXT" -font DejaVu-Sans -pointsize 17 -gravity NorthWest -annotate +50+25 'Vyrelle' \
  "$WORK/logo.png"
logo_bitmaps "$WORK/logo.png"

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
