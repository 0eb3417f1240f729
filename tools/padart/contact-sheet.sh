#!/usr/bin/env bash
# Renders every picture padart draws into one PNG to look at (ImageMagick's convert and montage):
#   tools/padart/contact-sheet.sh [RES_DIR] [OUT_PNG]
# The pads appear three times: as drawn, with every button's normal image laid on it at its
# layout position, and with every highlight image.
set -euo pipefail
res=${1:-$(dirname "$0")/../../src/res}
out=${2:-/tmp/contact.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

layout() { # pad type -> lines "normalId highlightId left top"
    awk -F'\t' -v t="$1" '
        $1 ~ /^#/ || NF < 2 { next }
        { split($2, f, ","); id = $1 + 0 }
        t == 0 && id >= 202 && id <= 213 { i = id - 202; print 214 + i, 202 + i, f[4], f[5] }
        t == 1 && id >= 214 && id <= 227 { i = id - 214; print 166 + i, 152 + i, f[4], f[5] }
    ' "$res/strings/padlayout.txt"
}

for t in 0 1; do
    pad="$res/bitmaps/$((200 + t)).bmp"
    convert "$pad" "$work/normal$t.png"
    convert "$pad" "$work/highlight$t.png"
    while read -r n h x y; do
        # Background colours of button images are transparent when laid on the pad.
        convert "$res/bitmaps/$n.bmp" -fuzz 0 -transparent 'rgb(255,255,255)' \
            -transparent 'rgb(255,254,253)' "$work/b.png"
        convert "$work/normal$t.png" "$work/b.png" -geometry +$x+$y -composite "$work/normal$t.png"
        convert "$res/bitmaps/$h.bmp" -fuzz 0 -transparent 'rgb(255,255,255)' \
            -transparent 'rgb(255,254,253)' "$work/b.png"
        convert "$work/highlight$t.png" "$work/b.png" -geometry +$x+$y -composite \
            "$work/highlight$t.png"
    done < <(layout $t)
    convert "$pad" "$work/normal$t.png" "$work/highlight$t.png" -filter point -resize 200% \
        +append "$work/pads$t.png"
done

buttons() { # ids... -> one row, 3x, on grey so the backgrounds show
    local args=()
    for id in "$@"; do args+=("$res/bitmaps/$id.bmp"); done
    convert "${args[@]}" -filter point -resize 300% -bordercolor 'rgb(120,120,120)' -border 6 \
        +append "$work/row-$1.png"
}
cd "$work"
buttons $(seq 214 225) && buttons $(seq 202 213) && buttons $(seq 166 179) && buttons $(seq 152 165)
convert "$res/bitmaps/128.bmp" "$res/bitmaps/21128.bmp" "$res/bitmaps/234.bmp" \
    "$res/bitmaps/226.bmp" "$res/bitmaps/125.bmp" -filter point -resize 400% \
    -bordercolor 'rgb(120,120,120)' -border 6 +append small.png
convert "$res/icons/vextkey-256.png" "$res/icons/vextkey-64.png" "$res/icons/vextkey-32.png" \
    "$res/icons/vextkey-16.png" -background 'rgb(200,200,200)' -gravity center +append icons.png
convert "$res"/anim/18[7-9].png "$res"/anim/19[0-2].png -filter point -resize 150% \
    -bordercolor 'rgb(120,120,120)' -border 4 -append anims.png
convert "$res/about/147.png" -background 'rgb(212,208,200)' -flatten about.png
convert "$res/bitmaps/900.bmp" "$res/bitmaps/901.bmp" -resize 70% -gravity north +append print.png
convert pads0.png pads1.png row-214.png row-202.png row-166.png row-152.png small.png icons.png \
    anims.png about.png print.png -background 'rgb(90,90,90)' -gravity northwest -splice 0x10 \
    -append "$out"
echo "$out"
