#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need (from scripts/packages.txt, and from
# the further lists named as arguments), and the decimal-comma locale the number tests run under. Quick when
# everything is present.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

mapfile -t wanted < <(grep -hvE '^\s*(#|$)' "$here/packages.txt" "$@")
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi

# Number reading and writing must not follow the process locale; the tests prove it under de_DE.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "setup: could not make de_DE.UTF-8" >&2
fi
