#!/usr/bin/env bash
# Runs the tarball route of README.md as printed (tests/blocks.awk) in a new home, a copy of
# /etc/skel, with PATH /usr/bin:/bin and curl fetching from DIST. After the verify step, which
# leaves gpg's folder, a login shell between the install and the uninstall must find both
# commands, with ~/.local/bin once on its PATH, and the uninstall must leave the home as it was,
# file for file: with Debian's ~/.profile, which names ~/.local/bin, one that does not, and none.
# Usage: tests/readme.sh DIST
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
dist=$(cd "$1" && pwd) work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=$work/home bin=$work/bin
mkdir "$bin" "$work/dl" && cd "$work/dl"
awk -f "$qx_root/tests/blocks.awk" "$qx_root/README.md"
printf '#!/bin/sh\nfor a; do case $a in https://*) cp "%s/${a#https://<host>/}" .; esac; done\n' \
  "$dist" >"$bin/curl"
chmod +x "$bin/curl"
user() { env -i HOME="$home" PATH="$bin:/usr/bin:/bin" "$@"; }
snapshot() { (cd "$home" && find . -printf '%M %p\n' -type f -exec sha256sum {} + | sort); }
for profile in skel bare none; do
  rm -rf "$home" && cp -a /etc/skel "$home"
  case $profile in bare) echo "# no PATH here" >"$home/.profile" ;; none) rm "$home/.profile" ;; esac
  user sh -eu verify.sh >/dev/null 2>&1 || fail "README's verify block ended with $?"
  before=$(snapshot)
  user sh -eu install.sh || fail "README's install block ended with $?"
  found=$(user sh -lc 'command -v qxConsoleTicker; command -v qxelapsed
    echo "$PATH" | tr : "\n" | grep -cx ~/.local/bin' | xargs)
  [[ $found == "$home/.local/bin/qxConsoleTicker $home/.local/bin/qxelapsed 1" ]] ||
    fail "a login after the install finds '$found' ($profile ~/.profile)"
  user sh -eu uninstall.sh || fail "README's uninstall block ended with $?"
  diff <(echo "$before") <(snapshot) || fail "the uninstall left the home changed ($profile ~/.profile)"
done
echo "README: the tarball's install and uninstall, as printed, leave a new home as it was"
