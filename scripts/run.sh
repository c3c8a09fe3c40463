#!/usr/bin/env bash
# Sets up the machine, builds the optimized viewer (build-release/: Release, no sanitizers; the tests keep the
# sanitizer build in build/) and starts it on the sample model (or on the file given).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
if [ ! -f build-release/build.ninja ]; then
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_SANITIZE=OFF -DKZ_BUILD_TESTS=OFF \
    -DKZ_BUILD_BENCH=OFF >/dev/null
fi
ninja -C build-release -j "${KZ_JOBS:-$(nproc)}" kzview
program=$root/build-release/bin/kzview
model=${1:-$root/examples/sample-room/room.fig}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot=$root/build-release/kzview-screenshot.png
  echo "run: no display; starting under Xvfb and saving a screenshot to $shot"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
    '$program' '$model' & pid=\$!
    sleep 5
    xwd -root -silent -out '${shot%.png}.xwd'
    kill \$pid 2>/dev/null; wait \$pid 2>/dev/null || true"
  /usr/bin/python3 "$root/scripts/xwd_to_png.py" "${shot%.png}.xwd" "$shot" && rm -f "${shot%.png}.xwd"
  echo "run: screenshot saved to $shot"
  exit 0
fi
exec "$program" "$model"
