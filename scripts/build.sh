#!/usr/bin/env bash
# Configures and builds into build/ (sanitizers on, as the tests run); extra arguments are ninja targets.
# KZ_WERROR=ON (as CI sets it) makes every warning an error.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ ! -f build/build.ninja ] || [ -n "${KZ_WERROR:-}" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON -DKZ_WERROR="${KZ_WERROR:-OFF}"
fi
jobs=${KZ_JOBS:-$(nproc)}
ninja -C build -j "$jobs" "$@"
