#!/usr/bin/env bash
# Runs the tarball route of README.md as printed (tests/blocks.awk), in the shells of the rows,
# as nobody when run as root, in a new home (a copy of /etc/skel), with PATH /usr/bin:/bin and a
# curl that fetches from a copy of DIST. The verify block must stop with no "OK" when a file is
# tampered with or missing, and leave the home as it was. For each home below the install must
# install, a login shell find both commands where ~/.profile names ~/.local/bin, an uninstall
# without the tarball fail and change nothing, and after two uninstalls, the second one silent,
# the home must be what it was before the install, byte for byte.
# Usage: tests/readme.sh DIST
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
dist=$(cd "$1" && pwd) work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=$work/home srv=$work/srv dl=$work/dl
mkdir "$work/bin"; chmod 0755 "$work"; cd "$work"
awk -f "$qx_root/tests/blocks.awk" "$qx_root/README.md"
# curl -fsSL --fail-early --remote-name-all "https://<host>/{A,B,...}" saves each file in here.
printf '#!/bin/sh\nfor a; do case $a in https://*) IFS=,\n  for f in $(echo "${a#https://<host>/}" | tr -d "{}"); do cp "%s/$f" . || exit 22; done; esac; done\n' \
  "$srv" >bin/curl
chmod +x bin/curl
run=() && ((EUID)) || run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
user() { ((EUID)) || chown -R nobody:nogroup "$home" "$dl"; env -i HOME="$home" PATH="$work/bin:/usr/bin:/bin" "${run[@]}" "$@"; }
snapshot() { (cd "$home" && find . -printf '%M %p %l\n' -type f -exec sha256sum {} + | sort); }
tarball=$(qx_tarball x86_64).tar.gz

# Each row: the shell that reads the block, as pasted (interactive zsh takes # for a word, not a
# comment) or run as a file; a case; and what it does to the served copy of DIST, its folder,
# before the verify block runs in ../dl. The last one leaves its download for the install.
# shellcheck disable=SC2086  # the shell's words, _ for a space, split on purpose
while read -r shell case tamper; do
  rm -rf "$srv" "$dl" "$home"; cp -a "$dist" "$srv"; mkdir "$dl"; cp -a /etc/skel "$home"
  (cd "$srv" && T=$tarball sh -c "$tamper")
  before=$(snapshot)
  out=$(cd "$dl" && user ${shell//_/ } <../verify.sh 2>&1) && status=0 || status=$?
  case $case in
    good) [[ $status == 0 && $out == *"Good signature"*"$tarball: OK"* ]] || fail "verify: $status, '$out'" ;;
    *) [[ $status != 0 && $out != *OK* ]] || fail "verify with $case passed: $status, '$out'" ;;
  esac
  [[ $(snapshot) == "$before" ]] || fail "verify ($case) changed the home"
done <<'EOF'
sh        missing-signature rm SHA256SUMS.asc
zsh_-f_-i stale-download    cp SHA256SUMS SHA256SUMS.asc apt/key.asc "$T" ../dl && rm SHA256SUMS.asc
bash      tampered-tarball  printf x >>"$T"
sh        tampered-sums     echo >>SHA256SUMS
sh        both-agree        printf x >>"$T" && grep -v " $T\$" SHA256SUMS >s && sha256sum "$T" >>s && mv s SHA256SUMS
zsh_-f_-i good              :
EOF

# Each row: the shell that runs the blocks, a home, whether ~/.profile puts ~/.local/bin on a
# login's PATH, and how the home is made.
# shellcheck disable=SC2086  # as above
while read -r shell case path setup; do
  rm -rf "$home"; cp -a /etc/skel "$home"; (cd "$home" && sh -c "$setup")
  before=$(snapshot)
  (cd "$dl" && user ${shell//_/ } ../install.sh) || fail "the install ($case) ended with $?"
  [[ -x $home/.local/bin/qxConsoleTicker && -x $home/.local/bin/qxelapsed ]] || fail "the install ($case) installed nothing"
  found=$(cd "$dl" && user sh -lc 'command -v qxConsoleTicker; command -v qxelapsed' | xargs) || true
  [[ $path == no || $found == "$home/.local/bin/qxConsoleTicker $home/.local/bin/qxelapsed" ]] ||
    fail "a login after the install ($case) finds '$found'"
  installed=$(snapshot)  # From a folder without the tarball, the uninstall fails and does nothing.
  (cd "$work" && user ${shell//_/ } uninstall.sh) >/dev/null 2>&1 && fail "an uninstall without the tarball passed"
  [[ $(snapshot) == "$installed" ]] || fail "an uninstall without the tarball changed the home ($case)"
  (cd "$dl" && user ${shell//_/ } ../uninstall.sh) || fail "the uninstall ($case) ended with $?"
  out=$(cd "$dl" && user ${shell//_/ } ../uninstall.sh 2>&1) || fail "a second uninstall ($case) ended with $?: $out"
  [[ -z $out ]] || fail "a second uninstall ($case) said '$out'"
  diff <(echo "$before") <(snapshot) || fail "the uninstall left the home changed ($case)"
done <<'EOF'
sh         debian     yes :
bash       no-newline no  printf 'export EDITOR=vi' >.profile
zsh        symlink    yes mkdir dots && mv .profile dots/profile && ln -s dots/profile .profile
sh         bin-before yes mkdir -p .local/bin
sh         private    yes mkdir -p -m 700 .local/share .local/bin
busybox_sh none       no  rm .profile
EOF
echo "README: the verify block stops at each tampered file; install and uninstall leave each home as it was"
