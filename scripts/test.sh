#!/usr/bin/env bash
# Sets up the machine, builds everything and runs all tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh
jobs=${KZ_JOBS:-$(nproc)}
ctest --test-dir build --output-on-failure -j "$jobs" "$@"
