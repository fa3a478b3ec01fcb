#!/bin/bash
# Builds the shipped "default" scheme (data/media/default/) and the
# compiled-in fall-back pictures (res/schemes/) from the Adwaita icon theme
# with the helpers in scripts/scheme_pictures.sh; the sounds are made here with
# Python's wave module. The generated files are committed; run this again only
# to change them:
#   scripts/make_default_scheme.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/data/media/default
RES=$ROOT/res/schemes
mkdir -p "$OUT" "$RES"

# The colours the pictures are drawn in (data/media/default/config.ini holds the same values).
TOOLBAR_BACK='#F3F4F6'   # 243,244,246
TEXT='#2D3748'           # 45,55,72
ACCENT='#1A73E8'         # 26,115,232
SELECTED='#145ABE'       # 20,90,190
DISABLED='#A0A8B0'       # 160,168,176
FOLDERS_BACK='#E8ECF1'   # 232,236,241
SITES_BACK='#E0E6ED'     # 224,230,237
BUTTON_BACK='#ECEFF3'    # 236,239,243
CAPTION_BACK='#264678'   # 38,70,120
MARK_INK='#FFFFFF'

source "$ROOT/scripts/scheme_pictures.sh"

common_strips
strip "$OUT/chanedit.bmp" "$BUTTON_BACK" 16 14 "$TEXT" \
  list-add edit-delete go-up go-down document-properties document-edit folder-new \
  view-refresh
strip "$OUT/cpanel.bmp" "$TOOLBAR_BACK" 32 24 "$TEXT" \
  preferences-system preferences-desktop-appearance preferences-system-network \
  mail-unread preferences-desktop-font system-users

# Emoticons: a face in the middle of a 60-wide cell.
i=0; cells=()
for name in face-smile face-smile-big face-sad face-wink face-laugh face-surprise \
            face-cool face-angry face-plain face-kiss; do
  icon "$name" 24 22 "$TEXT" "$WORK/face.png"
  convert "$WORK/face.png" -background none -gravity center -extent 60x24 "$WORK/e$i.png"
  cells+=("$WORK/e$i.png"); i=$((i + 1))
done
convert "${cells[@]}" -background none +append +repage "$WORK/strip.png"
keyed "$WORK/strip.png" "$BUTTON_BACK" "$OUT/emotions.bmp"

# Digits 0-9, 32 wide.
cells=()
for d in 0 1 2 3 4 5 6 7 8 9; do
  convert -size 32x32 xc:none -font DejaVu-Sans-Bold -pointsize 22 -fill "$TEXT" \
    -gravity center -annotate +0+0 "$d" "$WORK/d$d.png"
  cells+=("$WORK/d$d.png")
done
convert "${cells[@]}" -background none +append +repage "$WORK/strip.png"
keyed "$WORK/strip.png" "$TOOLBAR_BACK" "$OUT/numbers.bmp"

# Caption bar pieces, 48 wide: left end, middle, right end, then the close,
# restore and minimise buttons on the caption colour.
convert -size 48x24 gradient:'#2F5A96'-"$CAPTION_BACK" "$WORK/c0.png"
cp "$WORK/c0.png" "$WORK/c1.png"; cp "$WORK/c0.png" "$WORK/c2.png"
i=3
for name in window-close window-restore window-minimize; do
  icon "$name" 22 14 '#FFFFFF' "$WORK/g.png"
  convert "$WORK/c0.png" "$WORK/g.png" -gravity center -composite "$WORK/c$i.png"
  i=$((i + 1))
done
row "$OUT/captionbar.bmp" "$WORK"/c[0-5].png

# Border pieces, 10 wide: corners and edges in the caption colour with a
# lighter inner line.
cells=()
for n in 0 1 2 3 4 5 6 7; do
  convert -size 10x10 xc:"$CAPTION_BACK" -fill '#3A639E' -draw 'rectangle 3,3 6,6' "$WORK/b$n.png"
  cells+=("$WORK/b$n.png")
done
row "$OUT/borders.bmp" "${cells[@]}"

# Background tiles, 60 wide: a plain tile and one with a faint dot grid.
convert -size 60x60 xc:"$TOOLBAR_BACK" "$WORK/t0.png"
convert -size 60x60 xc:"$TOOLBAR_BACK" -fill '#E6E8EC' \
  -draw 'circle 15,15 16,16 circle 45,15 46,16 circle 15,45 16,46 circle 45,45 46,46' "$WORK/t1.png"
row "$OUT/backtile.bmp" "$WORK/t0.png" "$WORK/t1.png"

status_animation

# The logo, 120x72: a round mark and the name; cut into two halves of 36.
convert -size 120x72 xc:"$TOOLBAR_BACK" \
  -fill "$ACCENT" -draw 'circle 24,36 24,16' \
  -fill '#FFFFFF' -font DejaVu-Sans-Bold -pointsize 24 -gravity NorthWest -annotate +16+21 'V' \
  -fill "$TEXT" -font DejaVu-Sans -pointsize 17 -annotate +50+25 'Vyrelle' \
  "$WORK/logo.png"
logo_bitmaps "$WORK/logo.png"

# Dial-up window: two 128x64 pictures (idle, connected) and four 122x24
# frames of data moving along a line.
for state in 0 1; do
  colour=$([ $state = 0 ] && echo "$DISABLED" || echo "$ACCENT")
  icon network-wired 64 44 "$colour" "$WORK/net.png"
  convert -size 128x64 xc:"$TOOLBAR_BACK" "$WORK/net.png" -gravity center -composite "$WORK/u$state.png"
done
row "$OUT/dialup.bmp" "$WORK/u0.png" "$WORK/u1.png"
cells=()
for f in 0 1 2 3; do
  x=$(( 10 + f * 30 ))
  convert -size 122x24 xc:"$TOOLBAR_BACK" -stroke "$DISABLED" -draw 'line 6,12 115,12' \
    -stroke none -fill "$ACCENT" -draw "roundrectangle $x,8 $((x + 12)),16 3,3" "$WORK/a$f.png"
  cells+=("$WORK/a$f.png")
done
row "$OUT/dialupani.bmp" "${cells[@]}"

# Splash, 400x250.
convert -size 400x250 gradient:'#FFFFFF'-'#E3E9F2' \
  -fill "$ACCENT" -draw 'circle 200,92 200,54' \
  -fill '#FFFFFF' -font DejaVu-Sans-Bold -pointsize 44 -gravity NorthWest -annotate +184+64 'V' \
  -fill "$TEXT" -font DejaVu-Sans -pointsize 30 -gravity North -annotate +0+148 'Vyrelle' \
  -fill '#718096' -pointsize 12 -annotate +0+192 'Starting...' \
  -alpha off -type TrueColor BMP3:"$OUT/splash.bmp"

# Compiled-in fall-backs: the same pictures, as PNG.
for f in "$OUT"/*.bmp; do
  name=$(basename "$f" .bmp)
  [ "$name" = splash ] && continue
  convert "$f" -strip PNG24:"$RES/$name.png"
done

# Sounds: short, quiet tones (16-bit mono, 22050 Hz).
/usr/bin/python3 - "$OUT" <<'PY'
import math, struct, sys, wave
out = sys.argv[1]
def tone(name, notes, volume=0.18):
    rate = 22050
    frames = bytearray()
    for freq, ms in notes:
        n = int(rate * ms / 1000)
        for i in range(n):
            env = min(1.0, i / (rate * 0.005), (n - i) / (rate * 0.03))
            frames += struct.pack('<h', int(32767 * volume * env * math.sin(2 * math.pi * freq * i / rate)))
    with wave.open(f'{out}/{name}.wav', 'wb') as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate); w.writeframes(bytes(frames))
tone('welcome', [(523.25, 90), (659.25, 90), (783.99, 160)])
tone('bye', [(783.99, 90), (659.25, 90), (523.25, 160)])
tone('ToolbarSelect', [(1046.5, 25)], volume=0.10)
PY
echo "default scheme written to $OUT"
