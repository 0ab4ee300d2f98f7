#!/usr/bin/env bash
# Installs with apt, as root or through sudo, what this tree needs and the system lacks: what a
# build needs (debian/control's Build-Depends but the tests'); with --tests also the tests',
# dev/packages.txt, and the cross compiler of each foreign target of cmake/targets.txt.
# Usage: dev/setup.sh [--tests]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
cd "$qx_root"
case ${1:-} in --tests) profile=() ;; "") profile=(-P nocheck) ;; *) echo "usage: $0 [--tests]" >&2; exit 2 ;; esac
((EUID == 0)) || exec sudo "$0" "$@"
mapfile -t missing < <([[ -n ${1:-} ]] || exit 0
  { sed 's/#.*//' dev/packages.txt | xargs -n1; qx_targets | awk -v m="$(uname -m)" '$1 != m { print "g++-" $3 }'; } |
    while read -r p; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"; done)
if ! dpkg-checkbuilddeps "${profile[@]}" 2>/dev/null || ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get build-dep -y -qq "${profile[@]}" ./
  ((${#missing[@]} == 0)) || apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: the packages for a build${1:+, the tests and the release} are installed"
