#!/usr/bin/env bash
# LibreCAD's picture of a DXF file: printed by `librecad dxf2pdf` (monochrome, centred on an A4 sheet, at the given
# scale in paper millimetres per drawing unit) and rasterised by pdftoppm to a grey PNG at 100 dpi without
# anti-aliasing. Line weights (group 370) are set to the default first: our display draws the pen widths of its own
# colour table, and LibreCAD would otherwise widen every weighted line by the print scale, so only the thin strokes
# of both are compared.
# Usage: librecad_picture.sh file.dxf scale out.png
# (LibreCAD 2.2 takes -o and -p as flags without values, so the PDF is named through -t, the target folder.)
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 file.dxf scale out.png" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk 'NR % 2 == 1 { code = $0; sub(/\r$/, "", code); gsub(/ /, "", code) }
     NR % 2 == 0 && code == "370" { print "-3"; next }
     { print }' "$1" > "$work/drawing.dxf"
QT_QPA_PLATFORM=offscreen librecad dxf2pdf -m -c -s "$2" -t "$work" "$work/drawing.dxf" > /dev/null 2>&1
[ -s "$work/drawing.pdf" ] || { echo "librecad printed no PDF for $1" >&2; exit 1; }
pdftoppm -gray -aa no -aaVector no -r 100 -singlefile -png "$work/drawing.pdf" "$work/picture"
mv "$work/picture.png" "$3"
