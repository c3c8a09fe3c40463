#!/usr/bin/env bash
# Sets up the machine, builds the viewer and starts it on the sample model (or on the file given).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh
model=${1:-$root/examples/sample-room/room.fig}
if [ ! -x build/bin/kzview ]; then
  echo "run: the viewer program is not built yet in this version; the libraries and tests are." >&2
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot=$root/build/kzview-screenshot.png
  echo "run: no display; starting under Xvfb and saving a screenshot to $shot"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
    '$root/build/bin/kzview' '$model' & pid=\$!
    sleep 5
    xwd -root -silent -out '${shot%.png}.xwd'
    kill \$pid 2>/dev/null; wait \$pid 2>/dev/null || true"
  /usr/bin/python3 "$root/scripts/xwd_to_png.py" "${shot%.png}.xwd" "$shot" && rm -f "${shot%.png}.xwd"
  echo "run: screenshot saved to $shot"
  exit 0
fi
exec build/bin/kzview "$model"
