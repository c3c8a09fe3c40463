#!/usr/bin/env bash
# Configures and builds into build/ (sanitizers on, as the tests run); extra arguments are ninja targets.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON
fi
jobs=${KZ_JOBS:-$(nproc)}
ninja -C build -j "$jobs" "$@"
