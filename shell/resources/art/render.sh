#!/bin/sh
# Renders the desktop program's artwork from the SVG sources in this folder into ../:
#   logo.jpg          banner logo, 105 x 68, baseline JPEG on white
#   icon0..7.png      toolbar icons, 16 x 16 with transparency
#   korvid-32.png     application icon, 32 x 32, palette of at most 256 colours
#   korvid.ico        the same picture for the Windows resource file
#   icons/korvid-N.png the application icon in the hicolor sizes (16 to 256) for the package
# The rendered files are committed, so the build never runs this. Run it again after
# changing a source:
#
#   apt-get install librsvg2-bin imagemagick libjpeg-turbo-progs fonts-dejavu-core python3
#   shell/resources/art/render.sh
set -eu
art=$(cd "$(dirname "$0")" && pwd)
out=$(dirname "$art")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# PNGs without time stamps, so unchanged sources render to unchanged files.
png_opts="-strip -define png:exclude-chunks=date,time"

rsvg-convert "$art/logo.svg" -o "$tmp/logo.png"
convert "$tmp/logo.png" -background white -alpha remove -alpha off "$tmp/logo.ppm"
# Sequential (baseline) JPEG with full-resolution colour, so the small lettering stays sharp.
cjpeg -quality 92 -sample 1x1 -optimize -outfile "$out/logo.jpg" "$tmp/logo.ppm"

for i in 0 1 2 3 4 5 6 7; do
    rsvg-convert -w 16 -h 16 "$art/icon$i.svg" -o "$tmp/icon$i.png"
    # shellcheck disable=SC2086
    convert "$tmp/icon$i.png" $png_opts "PNG32:$out/icon$i.png"
done

# The hicolor theme's sizes of the application icon, for the package (full colour).
for n in 16 24 32 48 64 128 256; do
    rsvg-convert -w $n -h $n "$art/korvid.svg" -o "$tmp/korvid-$n.png"
    # shellcheck disable=SC2086
    convert "$tmp/korvid-$n.png" $png_opts "PNG32:$out/icons/korvid-$n.png"
done

rsvg-convert -w 32 -h 32 "$art/korvid.svg" -o "$tmp/korvid.png"
# shellcheck disable=SC2086
convert "$tmp/korvid.png" -colors 255 $png_opts "PNG8:$out/korvid-32.png"
# ImageMagick drops the transparency mask of 8-bit icons, so the .ico is written here: one
# 32 x 32 image, 8 bits per pixel with its palette, and the AND mask for the transparent pixels.
convert "$out/korvid-32.png" -depth 8 "RGBA:$tmp/korvid.rgba"
python3 - "$tmp/korvid.rgba" "$out/korvid.ico" <<'PY'
import struct, sys
SIZE = 32
rgba = open(sys.argv[1], "rb").read()
pixels = [rgba[i:i + 4] for i in range(0, len(rgba), 4)]
palette = sorted({p[:3] for p in pixels if p[3] >= 128} | {bytes(3)})
assert len(palette) <= 256, len(palette)
index = {c: i for i, c in enumerate(palette)}
image, mask = bytearray(), bytearray()
for y in reversed(range(SIZE)):  # bottom-up rows
    row = pixels[y * SIZE:(y + 1) * SIZE]
    image += bytes(index[p[:3]] if p[3] >= 128 else 0 for p in row)
    bits = 0
    for p in row:
        bits = bits << 1 | (p[3] < 128)
    mask += bits.to_bytes(SIZE // 8, "big")
colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette) + bytes(4 * (256 - len(palette)))
header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0, len(image) + len(mask), 0, 0, 256, 0)
body = header + colours + image + mask
entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(body), 6 + 16)
open(sys.argv[2], "wb").write(struct.pack("<HHH", 0, 1, 1) + entry + body)
PY

ls -l "$out/logo.jpg" "$out"/icon?.png "$out/korvid-32.png" "$out/korvid.ico"
