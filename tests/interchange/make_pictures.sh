#!/bin/sh
# Writes the picture table of the picture reader's tests into FOLDER: one
# file per format and variant, made by ImageMagick from pictures it draws
# itself, and beside each its own decode as FILE.ppm (first frame, turned
# upright, transparency composed onto white, 8 bits a channel).
#
# usage: make_pictures.sh FOLDER [SIZE]   (SIZE 203x150 unless given)
set -eu
out=$1
size=${2:-203x150}
mkdir -p "$out"
cd "$out"

# Colours that change along both axes, and a second picture of at most 256
# colours with four levels of transparency, for palettes.
convert -size $size xc:black -depth 16 -channel R -fx 'i/w' -channel G -fx 'j/h' \
  -channel B -fx '((i*7+j*13)%64)/63' +channel src16.pam
convert src16.pam -depth 8 src.ppm
convert src16.pam -alpha set -channel A -fx '((i+2*j)%9)/8' +channel src16a.pam
convert -size $size xc:black -channel R -fx '(i%4)/3' -channel G -fx '(j%5)/4' \
  -channel B -fx '((i+j)%3)/2' +channel -alpha set -channel A -fx '((i*2+j)%4)/3' +channel \
  -depth 8 pal.pam

convert src.ppm -colors 200 png8:png-palette.png
convert pal.pam png:png-palette-alpha.png
convert src16a.pam -depth 8 png32:png-rgba.png
convert src16.pam png48:png-16bit.png
convert src16a.pam png64:png-16bit-alpha.png
convert src.ppm -interlace PNG png24:png-interlaced.png
convert src.ppm -colorspace Gray -define png:color-type=0 -depth 8 png:png-gray.png
convert src.ppm -monochrome -define png:color-type=0 -define png:bit-depth=1 png:png-1bit.png

convert src.ppm -quality 90 jpg:jpeg-baseline.jpg
convert src.ppm -quality 90 -interlace JPEG jpg:jpeg-progressive.jpg
convert src.ppm -quality 90 -colorspace CMYK jpg:jpeg-cmyk.jpg
convert src.ppm -quality 90 -colorspace Gray jpg:jpeg-gray.jpg
# The same baseline picture behind an EXIF block that holds only the
# orientation: APP1, its length, "Exif\0\0", a big-endian TIFF header and one
# directory entry (tag 0x112, type SHORT, count 1, the value in octal). The
# orientation tests read the little-endian order.
for turn in 3:003 6:006 8:010; do
  { head -c 2 jpeg-baseline.jpg
    printf "\377\341\000\042Exif\000\000MM\000\052\000\000\000\010\000\001\001\022\000\003\000\000\000\001\000\\${turn#*:}\000\000\000\000\000\000"
    tail -c +3 jpeg-baseline.jpg; } >"jpeg-orientation-${turn%:*}.jpg"
done

convert src.ppm -colors 128 gif:gif-plain.gif
convert src.ppm -colors 128 -interlace Line gif:gif-interlaced.gif
convert src.ppm \( src.ppm -negate \) -colors 64 gif:gif-animated.gif
convert pal.pam gif:gif-transparent.gif

convert src.ppm -compress LZW tiff:tiff-lzw.tif
convert src16a.pam tiff:tiff-16bit-alpha.tif
convert src.ppm bmp3:bmp-24.bmp
convert src.ppm -type Palette -colors 200 -compress None bmp3:bmp-8.bmp
convert src.ppm -type Palette -colors 12 -compress None bmp3:bmp-4.bmp
convert src.ppm -monochrome -compress None bmp3:bmp-1.bmp

for picture in *.png *.jpg *.gif *.tif *.bmp; do
  convert "$picture[0]" -auto-orient -background white -alpha remove -alpha off -depth 8 \
    "ppm:$picture.ppm"
done
rm -f src16.pam src16a.pam src.ppm pal.pam
touch done
