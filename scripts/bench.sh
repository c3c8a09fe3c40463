#!/usr/bin/env bash
# Builds the benchmarks without sanitizers (build-bench/, Release) and runs the ones named, or all.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_SANITIZE=OFF -DKZ_BUILD_TESTS=OFF >/dev/null
ninja -C build-bench
export LP_NUM_THREADS=${LP_NUM_THREADS:-2} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ $# -eq 0 ]; then set -- build-bench/bin/bench_*; else set -- "${@/#/build-bench/bin/bench_}"; fi
for b in "$@"; do echo "== $b"; "$b"; done
