#!/usr/bin/env bash
# Redraws the program's own images (toolbar buttons, logo, splash) with
# ImageMagick. The PNG files are kept in the repository; run this only after
# changing a drawing.
set -euo pipefail
cd "$(dirname "$0")/images"

# Toolbar buttons: 16 x 15 pixels, transparent background.
btn() {  # name, draw primitives...
  local name=$1
  shift
  convert -size 16x15 xc:none -strokewidth 1 "$@" "PNG32:$name.png"
}

# Open: a yellow folder with its lid lifted.
btn open \
  -fill '#d9a520' -stroke '#7a5a10' -draw 'polygon 1,4 5,4 6,5 12,5 12,13 1,13' \
  -fill '#f6d56a' -stroke '#7a5a10' -draw 'polygon 3,7 15,7 12,13 1,13'
# Save: a blue disk with a label and a shutter.
btn save \
  -fill '#3a62b8' -stroke '#1c2f5c' -draw 'polygon 1,1 13,1 15,3 15,14 1,14' \
  -fill white -stroke none -draw 'rectangle 4,2 11,6' \
  -fill '#c8c8c8' -draw 'rectangle 4,10 11,13' -fill '#1c2f5c' -draw 'rectangle 9,10 10,12'
# Print: a grey printer with paper.
btn print \
  -fill white -stroke '#404040' -draw 'rectangle 4,1 11,6' \
  -fill '#a8a8a8' -stroke '#404040' -draw 'rectangle 1,6 14,11' \
  -fill white -stroke '#404040' -draw 'rectangle 4,10 11,14' \
  -fill '#30c030' -stroke none -draw 'point 12,8'
# Start: a green play triangle.
btn start -fill '#20b040' -stroke '#0c5a1c' -draw 'polygon 4,1 13,7 4,13'
# Stop: a red square.
btn stop -fill '#e03030' -stroke '#701010' -draw 'rectangle 3,2 12,12'
# Register: a list sheet with a green plus.
btn register \
  -fill white -stroke '#505050' -draw 'rectangle 1,1 10,13' \
  -stroke '#8080a0' -draw 'line 3,4 8,4' -draw 'line 3,7 8,7' -draw 'line 3,10 6,10' \
  -fill '#20a040' -stroke none -draw 'rectangle 11,6 12,14' -draw 'rectangle 8,9 15,11'
# Delete: a red cross.
btn delete \
  -stroke '#d02020' -strokewidth 2 -draw 'line 3,2 12,12' -draw 'line 12,2 3,12'
# Clear: an eraser over a sheet.
btn clear \
  -fill white -stroke '#505050' -draw 'rectangle 1,1 10,13' \
  -fill '#f08080' -stroke '#803030' -draw 'polygon 7,9 12,4 15,7 10,12' \
  -fill '#6080e0' -draw 'polygon 7,9 10,12 8,14 5,11'
# Graph settings: a black plot with a curve.
btn graph \
  -fill black -stroke '#404040' -draw 'rectangle 0,0 15,14' \
  -stroke '#c8ffc8' -draw 'line 2,1 2,12' -draw 'line 2,12 14,12' \
  -stroke '#00ffff' -fill none -draw 'polyline 3,3 6,5 10,6 12,8 13,11'
# Input defaults: a form with a pencil.
btn inputs \
  -fill white -stroke '#505050' -draw 'rectangle 1,1 11,13' \
  -stroke '#8080a0' -draw 'line 3,4 9,4' -draw 'line 3,7 9,7' -draw 'line 3,10 7,10' \
  -stroke '#a06000' -strokewidth 2 -draw 'line 14,4 8,12'
# About: a blue circle with a question mark.
btn about \
  -fill '#2a62d0' -stroke '#163470' -draw 'circle 7.5,7 7.5,0.5' \
  -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 11 -gravity center -annotate +0+0 '?'

# Logo: 48 x 48, a battery with a falling discharge curve.
convert -size 48x48 xc:none \
  -fill '#1b2b4a' -stroke '#0a1224' -draw 'roundrectangle 4,10 40,40 5,5' \
  -fill '#9aa6bd' -stroke none -draw 'rectangle 40,19 44,31' \
  -stroke '#00ffff' -strokewidth 3 -fill none -draw 'polyline 9,16 16,19 24,21 30,24 34,30 36,36' \
  PNG32:logo.png

# Splash: 420 x 240, dark plot background, curves in the slot colours; its
# texts in a Japanese gothic face, like every text of the program.
JA_FONT=$(fc-match -f '%{file}' 'IPAPGothic:lang=ja')
convert -size 420x240 gradient:'#0d1830'-'#000000' \
  -stroke '#335533' -draw 'line 30,40 30,200' -draw 'line 30,200 400,200' \
  -fill none -strokewidth 2 \
  -stroke '#00ffff' -draw 'polyline 30,60 90,78 170,90 260,104 320,120 360,150 385,198' \
  -stroke '#ff00ff' -draw 'polyline 30,70 80,90 150,104 230,120 280,140 315,170 335,198' \
  -stroke '#ffff00' -draw 'polyline 30,84 70,106 130,122 190,138 235,160 262,198' \
  -strokewidth 1 -stroke '#c8ffc8' -fill 'rgba(0,0,0,0.72)' -draw 'roundrectangle 44,86 362,176 8,8' \
  -stroke none -fill white -font DejaVu-Sans-Bold -pointsize 44 \
  -annotate +58+135 'Quorvex' \
  -fill '#c8ffc8' -font "$JA_FONT" -pointsize 14 \
  -annotate +62+162 'ORVANTIS 電池放電アナライザ' \
  -fill '#8890a8' -pointsize 11 -annotate +62+226 '起動中...' \
  -stroke '#c8ffc8' -fill none -draw 'rectangle 0,0 419,239' \
  PNG24:splash.png

# Horizontal print logo: 297 x 75, black and white, stretched onto printed
# pages (the vertical one, print_logo_v.png, is drawn by hand). Every mark
# keeps a margin from the edges, so nothing of it is cut.
convert -size 297x75 xc:white \
  -fill black -draw 'rectangle 4,8 66,66' \
  -fill white -draw 'polygon 15,25 36,25 36,14 56,37 36,60 36,49 15,49' \
  -fill black -font DejaVu-Sans-Bold -pointsize 36 -gravity NorthWest -annotate +80+19 'ORVANTIS' \
  -draw 'rectangle 78,59 291,63' \
  -threshold 50% -type bilevel -strip print_logo_h.png
