#!/usr/bin/env bash
# Checks the APT repository DIST/apt/ (scripts/build-apt.sh makes it) as apt sees it, with
# sources, keys, lists, cache and preferences of its own, so that none of this machine's is used
# and none is changed:
# - apt-get update verifies the repository with DIST/apt/key.asc alone (signed-by) and keeps its
#   InRelease; any warning or error of apt, here and below, fails;
# - for every Debian arch of cmake/targets.txt, qxconsoleticker resolves to the version of DIST's
#   .dsc, and apt-get download gives DIST's .deb byte for byte; apt-get source the source package;
# - as root, apt-get install puts this machine's own arch's package into the system as a user's
#   apt would, the tool runs, and apt-get purge takes it out again.
# Usage: scripts/check-apt.sh DIST. Needs apt.
set -euo pipefail
source "$(dirname "$0")/common.sh"

if (($# != 1)) || [[ ! -d $1/apt ]]; then echo "usage: $0 DIST (holding apt/)" >&2; exit 2; fi
dist=$(cd "$1" && pwd)
repo=$dist/apt
version=$(sed -n 's/^Version: //p' "$dist"/qxconsoleticker_*.dsc)
archs=$(qx_targets | awk '{ print $2 }' | paste -sd ,)
host=$(dpkg --print-architecture)
work=$(mktemp -d)
installed=0
trap '((installed)) && dpkg --purge qxconsoleticker >/dev/null; rm -rf "$work"' EXIT
# apt fetches as the user _apt when run as root, which must reach the lists and download folders.
chmod 755 "$work"
mkdir -p "$work"/{lists/partial,archives/partial,none,get}
((EUID)) || chown _apt "$work/get"
cat >"$work/sources.list" <<EOF
deb [signed-by=$repo/key.asc] file:$repo stable main
deb-src [signed-by=$repo/key.asc] file:$repo stable main
EOF
# Check-Date is apt's default, which some images turn off: a Release dated in the future fails.
opts=(-o Dir::State="$work" -o Dir::Cache="$work" -o Dir::Etc::SourceList="$work/sources.list"
  -o Dir::Etc::SourceParts="$work/none" -o Dir::Etc::Trusted="$work/none/trusted.gpg"
  -o Dir::Etc::TrustedParts="$work/none" -o Dir::Etc::Preferences="$work/none/preferences"
  -o Dir::Etc::PreferencesParts="$work/none" -o APT::Architecture="$host"
  -o APT::Architectures="$archs" -o Acquire::Check-Date=true -o DPkg::Lock::Timeout=300)

# apt_ok CMD...: runs apt-get or apt-cache with those options; fails on an error status and on
# any warning (W:) or error (E:): some of apt's complaints, such as a download that could not run
# as _apt, leave its status 0.
apt_ok() {
  local cmd=$1 status=0
  shift
  DEBIAN_FRONTEND=noninteractive "$cmd" "${opts[@]}" "$@" >"$work/log" 2>&1 || status=$?
  if ((status)) || grep -q '^[WE]:' "$work/log"; then
    cat "$work/log" >&2
    fail "$cmd $* failed"
  fi
}

apt_ok apt-get update
compgen -G "$work/lists/*_InRelease" >/dev/null || fail "apt kept no verified InRelease"
echo "apt: $repo verified with its key.asc alone"

cd "$work/get"
for arch in ${archs//,/ }; do
  apt_ok apt-cache policy "qxconsoleticker:$arch"
  grep -qx "  Candidate: $version" "$work/log" || fail "qxconsoleticker:$arch is not $version:
$(cat "$work/log")"
  apt_ok apt-get download "qxconsoleticker:$arch"
  cmp "qxconsoleticker_${version}_$arch.deb" "$dist/qxconsoleticker_${version}_$arch.deb"
done
apt_ok apt-get source --download-only qxconsoleticker
for f in *.dsc *.tar.*; do cmp "$f" "$dist/$f"; done
echo "apt: qxconsoleticker $version for ${archs//,/ } and its source are DIST's very files"

((EUID == 0)) || { echo "apt: not root, so nothing is installed"; exit 0; }
! dpkg -s qxconsoleticker >/dev/null 2>&1 ||
  fail "qxconsoleticker is installed already; this check installs and purges it"
installed=1
apt_ok apt-get install -y "qxconsoleticker:$host=$version"
status=0
out=$(/usr/bin/qxConsoleTicker -b1) || status=$?
[[ $out == *"Returning Exit Code $status (byte 1)" ]] ||
  fail "the installed qxConsoleTicker exited $status after: $out"
apt_ok apt-get purge -y qxconsoleticker
# shellcheck disable=SC2034  # read by the EXIT trap
installed=0
echo "apt: installed $version for $host from the repository, ran it (byte 1: $status), purged it"
