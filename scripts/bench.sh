#!/usr/bin/env bash
# Builds the benchmarks without sanitizers (build-bench/, Release) and runs them.
#   scripts/bench.sh NAME...             runs the programs named (bench_NAME), as Google Benchmark prints them
#   scripts/bench.sh [--quick] [--table] runs every program and prints one Markdown table of ours against the peer,
#                                        paired as bench/pairs.txt says; --quick measures each case only briefly.
# For the table every case is measured in repetitions, ours and the peer's interleaved at random within their
# program, so that a change in the machine's load meets both sides alike; the table shows the median and the
# range of the repetitions and the machine's load average before, during (sampled) and after the run.
# KZ_JOBS sets the build's jobs; KZ_BENCH_TIMEOUT (seconds, default 600, or a program's own below) ends a program
# that runs too long; the programs' files go to the user's private folder ($XDG_CACHE_HOME/kzview, default
# ~/.cache/kzview), in a table run to a scratch folder of the run's own.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
quick=0
table=0
names=()
for a in "$@"; do
  case $a in
    --quick) quick=1 ;;
    --table) table=1 ;;
    *) names+=("$a") ;;
  esac
done
[ ${#names[@]} -eq 0 ] && table=1
bash scripts/setup.sh scripts/bench_packages.txt
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_SANITIZE=OFF -DKZ_BUILD_TESTS=OFF >/dev/null
ninja -C build-bench -j "${KZ_JOBS:-$(nproc)}" >build-bench/ninja.log 2>&1 || { tail -n 40 build-bench/ninja.log; exit 1; }
export LP_NUM_THREADS=${LP_NUM_THREADS:-2} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ "$table" = 0 ]; then
  for n in "${names[@]}"; do echo "== bench_$n"; "build-bench/bin/bench_$n"; done
  exit 0
fi

# Repetitions of every case and the least time of one repetition (seconds). Programs whose single iterations
# take seconds (whole processes, long builds, fixed iteration counts) get fewer, to keep the run near five
# minutes on a quiet machine; --quick makes two short ones, enough to see that every row runs.
repetitions=5
min_time=0.1
declare -A fewer=([whole_open]=3 [bang_records]=3 [shape_build]=3 [dxf_import]=3 [timer_jitter]=3 [drawing2d_rows]=3 [shadow_frames]=3 [shadow_night]=3 [shadow_bound]=3)
# Seconds a program may take when it needs longer than the default: the shadow frames time seconds-long frames of
# three suns on two models and read their memory in two processes a repetition of each of six cases.
declare -A longer=([shadow_frames]=3600 [shadow_bound]=1800)
if [ "$quick" = 1 ]; then
  repetitions=2
  min_time=0.01
  fewer=()
fi

out=build-bench/results
rm -rf "$out"
mkdir -p "$out"
# The programs' scratch files go to a folder of this run's own; it and the load sampler go however the run ends.
scratch=$(mktemp -d)
sampler=
cleanup() {
  if [ -n "$sampler" ]; then kill "$sampler" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export TMPDIR=$scratch XDG_CACHE_HOME=$scratch
pairs=bench/pairs.txt
{
  echo "start=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cores=$(nproc)"
  echo "load_before=$(cut -d' ' -f1 /proc/loadavg)"
  echo "quick=$quick"
} >"$out/run.txt"
# The one-minute load average every five seconds while the programs run.
(while :; do
  cut -d' ' -f1 /proc/loadavg
  sleep 5
done) >"$out/load.txt" &
sampler=$!
t0=$(date +%s)
for b in build-bench/bin/bench_*; do
  p=${b##*/bench_}
  # Only the benchmarks a row names are run: the others are steps on the way or kept for a closer look.
  wanted=$(awk -F'|' -v p="$p" '!/^#/ && $1 ~ "^ *"p" *$" { print $3 " " $5 }' "$pairs" | tr ' ' '\n' | sed 's/@.*//; /^$/d' |
    sed 's/[][().*+?^$]/\\&/g; s/.*/^&(\/|$)/' | paste -sd'|')
  if [ -z "$wanted" ]; then
    echo "bench_$p: no row in $pairs" >&2
    continue
  fi
  status=0
  timeout -k 10 "${KZ_BENCH_TIMEOUT:-${longer[$p]:-600}}" "$b" --benchmark_filter="$wanted" --benchmark_out="$out/$p.json" \
    --benchmark_out_format=json --benchmark_repetitions="${fewer[$p]:-$repetitions}" \
    --benchmark_enable_random_interleaving=true --benchmark_min_time="$min_time" >"$out/$p.txt" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "bench_$p: ended with status $status (see $out/$p.txt)" >&2
    rm -f "$out/$p.json"
  fi
done
kill "$sampler" 2>/dev/null || true
sampler=
{
  echo "load_after=$(cut -d' ' -f1 /proc/loadavg)"
  echo "minutes=$((($(date +%s) - t0 + 59) / 60))"
} >>"$out/run.txt"
echo
/usr/bin/python3 scripts/bench_table.py "$pairs" "$out"
