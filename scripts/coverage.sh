#!/usr/bin/env bash
# Branch coverage of chosen sources under chosen rows: builds the test programs named into build-cov/ (a build of its
# own: no sanitizers, --coverage, no optimization), runs the rows whose names match a regular expression (ctest -R)
# from zeroed counters, and reports the branches of the sources matching the filters (gcovr's regular expressions,
# relative to the tree), without the branches only a throw or an unreachable path takes.
#   scripts/coverage.sh 'PROGRAM...' ROWS FILTER...
#   e.g. scripts/coverage.sh 'platform_tests document_tests' 'KeptRights|SavedRights' 'platform/kept_permissions\.cpp'
# Writes build-cov/coverage.txt (the summary, a "Missing" column naming the lines of branches not taken) and
# build-cov/coverage.json (every line's branches); KZ_JOBS sets the build's jobs (default 2).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
[ $# -ge 3 ] || { sed -n '2,9p' "$0" >&2; exit 2; }
programs=$1 rows=$2
shift 2
# __gcov_dump linked in: the rows' forked children end with _exit, and write their counts out first (other_user.h).
# Counters updated atomically: the shadow walls are drawn on threads of their own, and counts lost between them make
# gcov read branches taken a negative number of times, which gcovr refuses.
flags="--coverage -fprofile-update=atomic"
cmake -S . -B build-cov -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKZ_SANITIZE=OFF -DKZ_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="--coverage -Wl,-u,__gcov_dump" \
  >/dev/null
# shellcheck disable=SC2086
ninja -C build-cov -j "${KZ_JOBS:-2}" $programs
find build-cov -name '*.gcda' -delete
# Rows whose children run as other users write their counts too: the folders and counts are open to all.
find build-cov -name CMakeFiles -prune -exec chmod -R a+rwX {} +
(umask 000 && ctest --test-dir build-cov -R "$rows" --output-on-failure) >build-cov/coverage-rows.log 2>&1 ||
  { tail -n 30 build-cov/coverage-rows.log; echo "coverage: rows failed (build-cov/coverage-rows.log)" >&2; }
grep -E '^ *[0-9]+/[0-9]+ Test' build-cov/coverage-rows.log | sed 's/ \.\.*/ /' || true
filters=()
for f in "$@"; do filters+=(--filter "$f"); done
gcovr --root "$root" "${filters[@]}" --exclude-throw-branches --exclude-unreachable-branches --branches \
  --txt build-cov/coverage.txt --json build-cov/coverage.json --json-pretty build-cov
cat build-cov/coverage.txt
