#!/bin/sh
# Pictures of the Windows window for the documentation, taken under wine with
# its Japanese fonts (cmake/wine-run), in Japanese and English at 96 and 144
# dpi, as PNG files (ImageMagick's convert):
#
#   window/win32/tools/screenshots.sh BUILD_DIR OUTPUT_DIR
#
# writes OUTPUT_DIR/vekdc-win-{start,version,decode}[-en][-144].png. The
# pictures at 96 dpi are the ones in docs/. Each run uses a wine prefix of its
# own (a fresh one per DPI), and shows its windows on DISPLAY.
set -eu

build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A folder of this machine as wine names it.
wine_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

for dpi in 96 144; do
    export WINEPREFIX="$work/wine-$dpi" VEKDC_WINE_DPI=$dpi
    for language in ja en; do
        LANGUAGE=$language "$source/cmake/wine-run" "$build/vekdc-screenshots.exe" \
            "$(wine_path "$work")" "$(wine_path "$source/examples")"
        suffix=$([ "$language" = ja ] && echo "" || echo "-en")
        [ "$dpi" = 96 ] && size="" || size="-$dpi"
        for picture in start version decode; do
            convert "$work/vekdc-win-$picture$suffix.bmp" "$out/vekdc-win-$picture$suffix$size.png"
            echo "$out/vekdc-win-$picture$suffix$size.png"
        done
    done
    wineserver -k 2>/dev/null || /usr/lib/wine/wineserver -k 2>/dev/null || true
done
