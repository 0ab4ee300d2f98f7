#!/usr/bin/env bash
# Installs with apt what this tree needs and the system lacks, through sudo unless run as root:
# what a build needs (debian/control's Build-Depends but the tests'); with --tests also the
# tests', dev/packages.txt, and the cross compiler of each foreign target of cmake/targets.txt.
# Usage: dev/setup.sh [--tests]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
cd "$qx_root"
case ${1:-} in --tests) profile=() ;; "") profile=(-P nocheck) ;; *) echo "usage: $0 [--tests]" >&2; exit 2 ;; esac
mapfile -t missing < <([[ -n ${1:-} ]] || exit 0
  { sed 's/#.*//' dev/packages.txt | xargs -n1; qx_targets | awk -v m="$(uname -m)" '$1 != m { print "g++-" $3 }'; } |
    while read -r p; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"; done)
if ! dpkg-checkbuilddeps "${profile[@]}" 2>/dev/null || ((${#missing[@]})); then
  apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq) && ((EUID == 0)) || apt=(sudo "${apt[@]}")
  "${apt[@]}" update
  "${apt[@]}" build-dep "${profile[@]}" ./
  ((${#missing[@]} == 0)) || "${apt[@]}" install --no-install-recommends "${missing[@]}"
fi
echo "setup: the packages for a build${1:+, the tests and the release} are installed"
