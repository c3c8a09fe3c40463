#!/usr/bin/env bash
# Draws every DXF file of Debian's librecad-data that holds only lines, arcs, circles and polylines with our 2D
# display and with LibreCAD (scripts/librecad_picture.sh) at the scale that puts its longer side at 180 mm on paper,
# and prints per file the share of our stroked pixels within 2 pixels of LibreCAD's after registration, the share the
# other way round and the shift the registration search chose, then a summary. Overlays (LibreCAD grey, ours red
# near theirs and blue elsewhere) of files under 99% either way go to build/test-output/librecad_part.<n>/run-*/librecad/.
# Needs the test build.
# Usage: librecad_compare.sh [count [jobs]]: count limits the files (every n-th is taken), jobs run side by side.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=build/test-output
mkdir -p "$out/librecad"
/usr/bin/python3 - "${1:-0}" > "$out/librecad_files.txt" <<'PY'
import glob, sys
import ezdxf
wanted = {"LINE", "ARC", "CIRCLE", "LWPOLYLINE", "POLYLINE"}
files = []
for f in sorted(glob.glob("/usr/share/librecad/**/*.dxf", recursive=True)):
    try:
        kinds = {e.dxftype() for e in ezdxf.readfile(f).modelspace()}
    except Exception:
        continue
    if kinds and kinds <= wanted:
        files.append(f)
limit = int(sys.argv[1])
step = max(1, len(files) // limit) if limit > 0 else 1
print("\n".join(files[::step]))
PY
jobs=${2:-4}
echo "$(wc -l < "$out/librecad_files.txt") files"
rm -rf "$out"/librecad_list.* "$out"/librecad_part.*
split -n "l/$jobs" -d "$out/librecad_files.txt" "$out/librecad_list."
for list in "$out"/librecad_list.*; do
  part=$out/librecad_part.${list##*.}
  env QT_QPA_PLATFORM=offscreen KZ_TEST_DATA="$root/tests/data" KZ_TEST_OUTPUT="$root/$part" \
    ASAN_OPTIONS=detect_leaks=0 KZ_LIBRECAD_LIST="$root/$list" \
    build/bin/drawing2d_tests --gtest_filter=LibreCadComparison.ListedFiles > "$part.log" 2> "$part.err" &
done
wait
# Lines: librecad <index in its part> ours near theirs <%> % theirs near ours <%> % shift <x> <y> <file>
cat "$out"/librecad_part.*.log | grep '^librecad ' | tee "$out/librecad_results.txt"
awk '/ours near theirs/ { n++; v = $6 + 0; s += v; if (v >= 95) p++; if (n == 1 || v < w) w = v }
     /not drawn/ { u++ }
     END { printf "summary: %d drawn, %d not drawn, %d at 95%% or more, mean %.2f%%, worst %.2f%%\n",
           n, u, p, n ? s / n : 0, w }' "$out/librecad_results.txt"
