#!/bin/sh
# Draws the program's images into resources/images/ with ImageMagick. The PNGs are committed;
# run this again after changing a drawing.
set -eu
cd "$(dirname "$0")/images"

# The window background: deep blue at the top, where the white captions stand, easing into a
# pale blue at the bottom, where the black "About" caption sits under its button.
convert -size 221x369 gradient:'#0b1d4a'-'#2c5aa0' \
    \( -size 221x90 gradient:'#2c5aa0'-'#b9cdea' \) -geometry +0+279 -composite \
    -fill '#ffffff18' -draw 'circle 190,40 250,40' \
    -fill '#ffffff10' -draw 'circle 20,230 80,230' \
    -fill '#0b1d4a' -draw 'roundrectangle -10,322 80,380 9,9' \
    background.png

# The application icon: a padlock in front of a folder, drawn large and shrunk to each size.
appicon() {
    size=$1 out=$2
    convert -size 64x64 xc:none \
        -fill '#e8b431' -stroke '#7a5a10' -strokewidth 3 \
        -draw 'roundrectangle 2,6 28,18 3,3' -draw 'roundrectangle 2,13 62,50 5,5' \
        -fill none -stroke '#0b1d4a' -strokewidth 6 -draw 'arc 35,20 57,44 180,360' \
        -draw 'line 35,32 35,38' -draw 'line 57,32 57,38' \
        -fill '#1d3f7a' -stroke '#0b1d4a' -strokewidth 2 -draw 'roundrectangle 29,36 63,63 4,4' \
        -fill '#e8b431' -stroke none -draw 'circle 46,46 46,42' -draw 'rectangle 44,46 48,55' \
        -resize "${size}x${size}" "$out"
}
appicon 16 app-16.png
appicon 32 app-32.png

# Open locker: a folder with its padlock open, the shackle lifted free on its right.
convert -size 100x96 xc:none \
    -fill '#e8b431' -stroke '#7a5a10' -strokewidth 2 \
    -draw 'roundrectangle 6,24 94,88 6,6' -draw 'roundrectangle 6,16 44,30 4,4' \
    -fill none -stroke '#1d3f7a' -strokewidth 6 -draw 'arc 52,4 80,32 180,360' \
    -draw 'line 52,18 52,42' -draw 'line 80,18 80,26' \
    -fill '#1d3f7a' -stroke none -draw 'roundrectangle 44,40 92,80 5,5' \
    -fill '#e8b431' -draw 'circle 68,56 68,51' -draw 'rectangle 66,56 70,68' \
    open-locker.png

# Exit and lock: a closed padlock.
convert -size 97x100 xc:none \
    -fill none -stroke '#1d3f7a' -strokewidth 9 -draw 'arc 24,6 72,58 180,360' \
    -draw 'line 24,32 24,46' -draw 'line 72,32 72,46' \
    -fill '#e8b431' -stroke '#7a5a10' -strokewidth 2 -draw 'roundrectangle 12,44 84,96 8,8' \
    -fill '#1d3f7a' -stroke none -draw 'circle 48,66 48,59' -draw 'rectangle 45,66 51,82' \
    exit-program.png

# Change password: a key.
convert -size 100x100 xc:none \
    -fill '#e8b431' -stroke '#7a5a10' -strokewidth 2 \
    -draw 'circle 30,50 30,26' -draw 'rectangle 50,44 94,56' \
    -draw 'rectangle 76,56 84,70' -draw 'rectangle 88,56 94,66' \
    -fill '#1d3f7a' -stroke none -draw 'circle 24,50 24,42' \
    change-password.png

# Uninstall: a box with an arrow leaving it.
convert -size 75x60 xc:none \
    -fill '#c9d6ea' -stroke '#1d3f7a' -strokewidth 2 -draw 'rectangle 8,24 56,56' \
    -draw 'line 8,24 20,14' -draw 'line 56,24 68,14' -draw 'line 20,14 68,14' -draw 'line 68,14 68,46' \
    -draw 'line 56,56 68,46' \
    -fill '#c0392b' -stroke none -draw 'polygon 26,20 38,4 50,20 42,20 42,34 34,34 34,20' \
    uninstall.png

# About: an "i" in a circle.
convert -size 32x32 xc:none \
    -fill '#1d3f7a' -stroke '#0b1d4a' -strokewidth 1 -draw 'circle 16,16 16,2' \
    -fill white -stroke none -draw 'circle 16,9 16,6.5' -draw 'roundrectangle 13.5,13 18.5,26 1,1' \
    about-icon.png

# The About picture: the locker at dusk, a folder-shaped house under a crescent moon.
convert -size 295x195 gradient:'#0b1d4a'-'#e7a35b' \
    -fill '#f4efd8' -draw 'circle 236,42 236,24' -fill '#31508a' -draw 'circle 246,36 246,20' \
    -fill white -draw 'point 40,20' -draw 'point 90,40' -draw 'point 150,18' -draw 'point 190,60' \
    -draw 'point 60,70' -draw 'point 120,60' \
    -fill '#1b2b4f' -draw 'polygon 0,195 0,150 60,120 130,150 200,118 295,150 295,195' \
    -fill '#e8b431' -stroke '#7a5a10' -strokewidth 2 \
    -draw 'roundrectangle 100,110 190,170 5,5' -draw 'roundrectangle 100,102 136,116 3,3' \
    -fill '#1d3f7a' -stroke none -draw 'roundrectangle 132,128 158,160 3,3' \
    -fill none -stroke '#1d3f7a' -strokewidth 4 -draw 'arc 136,114 154,138 180,360' \
    -fill '#e8b431' -stroke none -draw 'circle 145,142 145,139' \
    about-picture.png

# Eight bits a channel and no time stamps, so that drawing again changes only what was redrawn.
mogrify -strip -depth 8 -define png:exclude-chunks=date,time ./*.png
