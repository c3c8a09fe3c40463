#!/usr/bin/env bash
# Checks that keep the tree in shape, run by the tests before anything is built: includes point down the layers
# and platform libraries stay in platform/ (check_includes.py), number text outside platform/crt ignores the
# process locale (check_numbers.py), the product reads only the environment variables the README lists
# (check_environment.py), no product file names a test switch, and every source is in the tree's one style.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
/usr/bin/python3 scripts/check_includes.py
/usr/bin/python3 scripts/check_numbers.py
/usr/bin/python3 scripts/check_environment.py
# What users install reads no test switch: only the tests and benchmarks may name a KZVIEW_TEST_ variable (tests
# set hooks through code instead).
if git grep -n 'KZVIEW_TEST_' -- ':!tests/' ':!bench/' ':!scripts/guards.sh' >&2; then
    echo "guards: product files name a KZVIEW_TEST_ variable (above); a test sets a *_for_testing hook instead" >&2
    exit 1
fi
echo "guards: no product file reads a test switch"
if ! git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror --style=file 2>/tmp/kz-format.$$; then
    head -n 20 /tmp/kz-format.$$ >&2
    rm -f /tmp/kz-format.$$
    echo "guards: sources not in the tree's style; run: git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i" >&2
    exit 1
fi
rm -f /tmp/kz-format.$$
echo "guards: every source is in the tree's style"
