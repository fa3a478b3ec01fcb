# Shared by scripts/make_default_scheme.sh and scripts/make_midnight_scheme.sh
# (sourced, not run): the helpers that turn icons of the Adwaita icon theme
# (/usr/share/icons/Adwaita, package adwaita-icon-theme, CC-BY-SA 3.0 /
# LGPL-3) into a scheme's bitmaps with ImageMagick (package imagemagick), and
# the icon strips every scheme draws. Every bitmap is a 24-bit BMP; magenta
# (255,0,255) marks what is not drawn. Icon edges are blended onto the
# background the bitmap is drawn on, so no magenta fringe shows.
# The sourcing script sets OUT and the colour variables TOOLBAR_BACK, TEXT,
# ACCENT, DISABLED, FOLDERS_BACK, SITES_BACK, BUTTON_BACK and MARK_INK (the
# "V" of the program's mark on an ACCENT disc).

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
  channel_strip "$OUT/chanbar.bmp" "$BUTTON_BACK" "$ACCENT" "$MARK_INK"
  strip "$OUT/small_images.bmp" "$SITES_BACK" 24 16 "$TEXT" \
    web-browser folder starred mail-unread document-open-recent emblem-ok dialog-warning \
    dialog-information

  local pad=(document-new document-open document-save edit-copy edit-paste edit-find
             mail-send document-print)
  strip "$OUT/vyrpad.bmp" "$TOOLBAR_BACK" 24 18 "$TEXT" "${pad[@]}"
  strip "$OUT/vyrpad_rollover.bmp" "$TOOLBAR_BACK" 24 18 "$ACCENT" "${pad[@]}"
}

# glyph NAME COLOUR OUT: the theme's scalable symbolic icon NAME drawn 20
# pixels big straight from its outline (rsvg-convert, package librsvg2-bin),
# so that it is scaled once, recoloured and centred on a transparent 24 x 24
# cell.
glyph() {
  local name=$1 colour=$2 out=$3 src
  src=$(ls "$ICONS"/scalable/*/"$name"-symbolic.svg 2>/dev/null | head -n1)
  [ -n "$src" ] || { echo "missing icon $name" >&2; exit 1; }
  rsvg-convert -w 20 -h 20 "$src" -o "$WORK/glyph.png"
  convert "$WORK/glyph.png" -alpha on -fill "$colour" -colorize 100 \
    -background none -gravity center -extent 24x24 +repage "$out"
}

# drawn KIND COLOUR OUT: a picture the icon theme does not have, drawn on a
# 20 x 20 grid (white what is drawn, black what is not), in COLOUR on a
# transparent 24 x 24 cell.
drawn() {
  local kind=$1 colour=$2 out=$3 draw
  case $kind in
    money)     # a coin with a dollar sign
      draw=(-fill white -draw 'circle 9.5,9.5 9.5,0.5'
            -fill black -font DejaVu-Sans-Bold -pointsize 14 -gravity center -annotate +0+0 '$') ;;
    briefcase) # handle, case, the lid's seam and the clasp
      draw=(-fill white -draw 'roundrectangle 6,2 13,8 2,2' -fill black -draw 'rectangle 8,4 11,8'
            -fill white -draw 'roundrectangle 1,6 18,17 2,2'
            -fill black -draw 'rectangle 1,10 18,10' -fill white -draw 'rectangle 8,9 11,12') ;;
    mortarboard) # the board, the cap below it and the tassel
      draw=(-fill white -draw 'polygon 9.5,1 19,6 9.5,11 0,6'
            -draw 'polygon 4,9 9.5,12 15,9 15,15 9.5,17 4,15'
            -fill black -draw 'polygon 4,8 9.5,10.5 15,8 15,9 9.5,11.5 4,9'
            -fill white -draw 'rectangle 17,6 17,13' -draw 'rectangle 16,13 18,16') ;;
    firstaid)  # a rounded square with a cross cut out
      draw=(-fill white -draw 'roundrectangle 1,1 18,18 4,4'
            -fill black -draw 'rectangle 8,4 11,15' -draw 'rectangle 4,8 15,11') ;;
    bag)       # a shopping bag with its handle
      draw=(-fill white -draw 'polygon 3,7 16,7 17.5,18 1.5,18'
            -fill none -stroke white -strokewidth 2 -draw 'arc 6,2 13,12 180,360') ;;
    building)  # a pediment on four columns
      draw=(-fill white -draw 'polygon 9.5,0.5 19,5.5 0,5.5' -draw 'rectangle 1,6 18,7'
            -draw 'rectangle 2,9 4,15' -draw 'rectangle 6,9 8,15' -draw 'rectangle 11,9 13,15'
            -draw 'rectangle 15,9 17,15' -draw 'rectangle 0,16 19,18') ;;
    *) echo "no drawing $kind" >&2; exit 1 ;;
  esac
  convert -size 20x20 xc:black "${draw[@]}" "$WORK/mask.png"
  convert "$WORK/mask.png" -background "$colour" -alpha shape \
    -background none -gravity center -extent 24x24 +repage "$out"
}

# mark COLOUR INK OUT: the program's mark (a disc with a "V", as in the logo)
# 20 pixels across, centred on a transparent W x 24 cell (W defaults to 24).
mark() {
  local colour=$1 ink=$2 out=$3 width=${4:-24}
  convert -size 20x20 xc:none -fill "$colour" -draw 'circle 9.5,9.5 9.5,0' \
    -fill "$ink" -font DejaVu-Sans-Bold -pointsize 14 -gravity center -annotate +0+1 'V' \
    -background none -gravity center -extent "${width}x24" +repage "$out"
}

# channel_strip OUT.bmp BACKGROUND COLOUR MARK_INK: the channel column's
# pictures, one per image index of the channel icon keyword table (strings
# 40000-40030): 0 no keyword (and the home channel): the program's mark;
# 1 knowledge, 2 help, 3 computing and downloads, 4 people, 5 local,
# 6 places, travel and cities, 7 business, 8 money, 9 sports, 10 careers,
# 11 education, 12 health, 13 cars, 14 start, 15 home, 16 shopping,
# 17 entertainment, 18 family, 19 government, 20 internet, 21 kids,
# 22 lifestyles, 23 reference, 24 science and technology, 25 weather,
# 26 news, 27 today.
channel_strip() {
  local out=$1 back=$2 colour=$3 ink=$4 i=1 cells=("$WORK/chan0.png") what
  mark "$colour" "$ink" "$WORK/chan0.png"
  for what in emoji-objects help-browser computer system-users mark-location airplane-mode \
              x-office-presentation +money emoji-activities +briefcase +mortarboard +firstaid \
              emoji-travel emoji-flags go-home +bag applications-multimedia \
              preferences-system-parental-controls +building web-browser face-smile-big emoji-food \
              accessories-dictionary applications-science weather-few-clouds application-rss+xml \
              x-office-calendar; do
    if [ "${what:0:1}" = + ]; then
      drawn "${what:1}" "$colour" "$WORK/chan$i.png"
    else
      glyph "$what" "$colour" "$WORK/chan$i.png"
    fi
    cells+=("$WORK/chan$i.png"); i=$((i + 1))
  done
  convert "${cells[@]}" -background none +append +repage "$WORK/strip.png"
  keyed "$WORK/strip.png" "$back" "$out"
}

# status_animation: statusani.bmp, cells 48x24 on the toolbar's colours.
# Cell 0 is the picture of a window at rest: the program's mark, still. The
# eight cells after it turn while a page loads: a ring of eight dots in the
# accent colour, the newest dot a step further round in each cell and the
# older ones fading.
status_animation() {
  local f k age x y draw cells=()
  mark "$ACCENT" "$MARK_INK" "$WORK/s0.png" 48
  cells+=("$WORK/s0.png")
  for f in 0 1 2 3 4 5 6 7; do
    draw=""
    for k in 0 1 2 3 4 5 6 7; do
      age=$(( (f - k + 8) % 8 ))
      read -r x y < <(echo "a=($k*45-90)*3.14159265/180; print 24+7*c(a), \" \", 12+7*s(a), \"\n\"" | bc -l)
      draw+=" fill-opacity $(echo "1 - $age * 0.1" | bc -l) circle $x,$y $(echo "$x + 2" | bc -l),$y"
    done
    convert -size 48x24 xc:none -fill "$ACCENT" -draw "$draw" "$WORK/s$((f + 1)).png"
    cells+=("$WORK/s$((f + 1)).png")
  done
  convert "${cells[@]}" -background none +append +repage "$WORK/strip.png"
  keyed "$WORK/strip.png" "$TOOLBAR_BACK" "$OUT/statusani.bmp"
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
