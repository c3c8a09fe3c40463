#!/usr/bin/env bash
# Builds the fuzz harnesses with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer (into
# build-fuzz/) and runs one harness, or every one in turn, for the given seconds (default 60) from the committed
# corpus (tests/fuzz/corpus/<name>/); what the fuzzer adds stays in build-fuzz/corpus/<name>/, crashes go to
# build-fuzz/findings/<name>/. Usage: scripts/fuzz.sh [harness|all] [seconds]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
harness=${1:-all}
seconds=${2:-60}

# clang and its fuzzer runtime are needed here only; CI replays the corpus with the ordinary build.
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  sudo=$([ "$(id -u)" = 0 ] && echo "" || echo sudo)
  $sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi

if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_FUZZ=ON \
    -DKZ_BUILD_BENCH=OFF
fi
names=()
for src in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" _fuzz.cpp)
  if [ "$harness" = all ] || [ "$harness" = "$name" ]; then names+=("$name"); fi
done
[ ${#names[@]} -gt 0 ] || { echo "no harness named $harness" >&2; exit 2; }
ninja -C build-fuzz -j "${KZ_JOBS:-$(nproc)}" "${names[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen EGL_PLATFORM=surfaceless LP_NUM_THREADS=1 MESA_SHADER_CACHE_DISABLE=true
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Unlike the tests' compiler, clang's leak checker scans thread-local storage safely; it must, since libFuzzer
# checks for leaks between inputs while the iconv and TLS state kept there is still alive.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0:use_tls=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Absolute paths: the harnesses change their current folder, and libFuzzer reads the corpus and writes findings
# as it goes.
out=$root/build-fuzz
# The harnesses' private folder (download cache, temporary files) stays in the build, not in the user's cache.
export XDG_CACHE_HOME=$out/xdg-cache
for name in "${names[@]}"; do
  mkdir -p "$out/corpus/$name" "$out/findings/$name"
  echo "== $name: $seconds s"
  "$out/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=60 -rss_limit_mb=4096 \
    -artifact_prefix="$out/findings/$name/" "$out/corpus/$name" "$root/tests/fuzz/corpus/$name"
done
