#!/usr/bin/env bash
# Mutation sample: applies each hand-chosen mutant of scripts/mutants.txt to a scratch copy of the tree, rebuilds
# the test programs it names, runs them and says whether the tests noticed. The tree itself is never touched: the
# copy lives in build-mutants/src (kept in step with the tree's files), its build in build-mutants/build.
#   scripts/mutants.sh [--list FILE] [--no-baseline] [NAME...]   (names or patterns pick mutants; default all)
# One line per mutant (killed, killed by a hang, survived, equivalent, or broken when it does not apply or build)
# and the kill rate over the mutants not marked equivalent. KZ_JOBS sets the build's jobs (default 2); without the
# clean run first (--no-baseline) a program counts as hanging after KZ_MUTANT_TIMEOUT seconds (default 600).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
list=$root/scripts/mutants.txt
baseline=1
names=()
while [ $# -gt 0 ]; do
  case $1 in
    --list) list=$(realpath "$2"); shift 2 ;;
    --no-baseline) baseline=0; shift ;;
    *) names+=("$1"); shift ;;
  esac
done
src=$root/build-mutants/src
bld=$root/build-mutants/build
log=$root/build-mutants/logs
jobs=${KZ_JOBS:-2}
mkdir -p "$src" "$log"

# The copy takes a tree file only when it is newer than the copy's, so unchanged sources keep their times and
# rebuilds stay incremental; files gone from the tree leave the copy too (the build globs its sources).
# Build folders may be links to another disk; git does not take those for the folders it ignores.
tree_files() { (cd "$root" && git ls-files -co --exclude-standard | grep -vE '^build(-[^/]*)?$'); }
sync_copy() {
  tree_files | (cd "$root" && tr '\n' '\0' | xargs -0 cp -u --parents -t "$src")
  comm -13 <(tree_files | sort) <(cd "$src" && find . -type f | sed 's|^\./||' | sort) | (cd "$src" && xargs -r rm -f --)
}
# Puts a mutated file back: a fresh copy with a new time, so the next build compiles it again.
restore() { cp "$root/$1" "$src/$1"; touch "$src/$1"; }

# The mutants: "name file program..." then "- text" (found exactly once) and "+ replacement"; an "equivalent: why"
# line marks one the tests cannot tell apart from the original.
mapfile -t entries < <(/usr/bin/python3 - "$list" <<'EOF'
import sys
cur = None
for raw in open(sys.argv[1], encoding='utf-8'):
    line = raw.rstrip('\n')
    if not line.strip() or line.startswith('#'):
        continue
    if line.startswith('- ') or line.startswith('+ '):
        cur[1 if line[0] == '-' else 2] = line[2:]
    elif line.startswith('equivalent:'):
        cur[3] = line[len('equivalent:'):].strip()
    else:
        if cur: print('\x1f'.join(cur))
        cur = [line, None, None, '']
if cur: print('\x1f'.join(cur))
EOF
)

# A mutant left behind by an interrupted run goes back before anything is built.
restore_all() {
  local e f
  for e in "${entries[@]}"; do
    f=$(cut -d' ' -f2 <<<"${e%%$'\x1f'*}")
    cmp -s "$root/$f" "$src/$f" || restore "$f"
  done
}
sync_copy
restore_all
if [ ! -f "$bld/build.ninja" ]; then
  # lld links a test program in a second where the default linker takes a minute: most of a mutant's rebuild.
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON -DKZ_BUILD_BENCH=OFF \
    -DCMAKE_EXE_LINKER_FLAGS="-fuse-ld=lld -Wl,--threads=$jobs" >/dev/null
fi

# The command ctest would run for a program as a whole (its environment included), as one word per line.
command_of() {
  ctest --test-dir "$bld" -R "^$1\.whole\$" --show-only=json-v1 |
    /usr/bin/python3 -c 'import json,sys; [print(w) for w in json.load(sys.stdin)["tests"][0]["command"]]'
}
declare -A limit
# Runs one program, stopping at its first failing test: "passed", "hang", or "failed TEST" (or "failed (crash or
# sanitizer)" when no test reported a failure).
run_program() {
  local out=$log/run.$1.txt status=0 cmd failed
  mapfile -t cmd < <(command_of "$1")
  GTEST_FAIL_FAST=1 GTEST_BRIEF=1 timeout -k 10 "${limit[$1]:-${KZ_MUTANT_TIMEOUT:-600}}" "${cmd[@]}" >"$out" 2>&1 ||
    status=$?
  if [ "$status" -eq 0 ]; then echo passed; return; fi
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then echo hang; return; fi
  failed=$(grep -m1 -o '\[  FAILED  \] [A-Za-z0-9_/.]*' "$out" | cut -c14- || true)
  echo "failed ${failed:-(crash or sanitizer)}"
}
# The programs one after another until one fails; a failure no test reported (the leak checker's exit-time
# tracer can crash under heavy load) counts only if it comes again.
run_programs() {
  local p r
  for p in "$@"; do
    r=$(run_program "$p")
    [ "$r" = "failed (crash or sanitizer)" ] && r=$(run_program "$p")
    case $r in
      hang) echo "hang $p"; return ;;
      failed*) echo "killed ${r#failed }"; return ;;
    esac
  done
  echo survived
}

# A mutant runs when no names are given or one of them (a shell pattern: 'geometry-*') matches its name.
picked() {
  local pattern
  [ ${#names[@]} -eq 0 ] && return 0
  for pattern in "${names[@]}"; do
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]] && return 0
  done
  return 1
}
programs=$(for e in "${entries[@]}"; do
  read -r n _ progs <<<"${e%%$'\x1f'*}"
  if picked "$n"; then tr ' ' '\n' <<<"$progs"; fi
done | sort -u)
echo "building the test programs in build-mutants/build"
# shellcheck disable=SC2086
ninja -C "$bld" -j "$jobs" $programs >"$log/build.txt" 2>&1 || { tail -n 30 "$log/build.txt"; exit 1; }
for p in $programs; do
  if [ "$baseline" = 1 ]; then
    t0=$(date +%s)
    r=$(run_programs "$p")
    secs=$(($(date +%s) - t0))
    [ "$r" = survived ] || { echo "the unmutated tree fails $p ($r); see $log/run.$p.txt" >&2; exit 1; }
    # A mutant's run may take three times the clean run (plus a minute) before it counts as a hang.
    limit[$p]=$((secs * 3 + 60))
    echo "clean run of $p: ${secs}s"
  fi
done

total=0 killed=0 hangs=0 equivalent=0 broken=0
trap restore_all EXIT
for e in "${entries[@]}"; do
  IFS=$'\x1f' read -r head old new why <<<"$e"
  read -r name file progs <<<"$head"
  picked "$name" || continue
  total=$((total + 1))
  line=$(OLD=$old NEW=$new /usr/bin/python3 - "$src/$file" <<'EOF'
import os, sys
path, old, new = sys.argv[1], os.environ['OLD'], os.environ['NEW']
text = open(path, encoding='utf-8', errors='surrogateescape').read()
if text.count(old) != 1:
    print('0'); sys.exit()
print(text[:text.index(old)].count('\n') + 1)
open(path, 'w', encoding='utf-8', errors='surrogateescape').write(text.replace(old, new))
EOF
)
  if [ "$line" = 0 ]; then
    result="broken (the text is not found exactly once)"
    broken=$((broken + 1))
  elif ! ninja -C "$bld" -j "$jobs" $progs >"$log/build.$name.txt" 2>&1; then
    result="broken (does not build; see build-mutants/logs/build.$name.txt)"
    broken=$((broken + 1))
  else
    # shellcheck disable=SC2086
    r=$(run_programs $progs)
    case $r in
      hang*) result="killed by a hang in ${r#hang }"; killed=$((killed + 1)); hangs=$((hangs + 1)) ;;
      killed*) result="killed by ${r#killed }"; killed=$((killed + 1)) ;;
      *)
        if [ -n "$why" ]; then result="equivalent: $why"; equivalent=$((equivalent + 1)); else result="SURVIVED"; fi ;;
    esac
  fi
  restore "$file"
  printf '%-36s %-46s %s\n' "$name" "$file:$line" "$result"
done
counted=$((total - equivalent - broken))
echo "mutants: $total; killed $killed of $counted ($((counted > 0 ? killed * 100 / counted : 0))%)," \
  "$hangs of them by a hang; equivalent $equivalent; broken $broken"
