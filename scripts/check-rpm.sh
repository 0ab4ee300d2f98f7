#!/usr/bin/env bash
# Checks the RPM packages that scripts/build-rpm.sh made, in DIST:
# - each binary package: exactly the files of packaging/files.txt (rpm) with their modes, owned
#   by 0/0, and no folder but its own doc and licence folders; its Requires, from rpm's own scan;
#   its licence and no relocation prefix; its binary hardened, linked to the C library alone and
#   run, under qemu-user for another architecture;
# - rpmlint on the source and binary packages: nothing but what packaging/rpmlint.toml accepts.
# Needs rpm, rpm2cpio, cpio, rpmlint, devscripts (hardening-check, checkbashisms) and
# qemu-user-static with the foreign C library (libc6:<arch>).
#
# Usage: scripts/check-rpm.sh DIST
set -euo pipefail
source "$(dirname "$0")/common.sh"
(($# == 1)) || { echo "usage: $0 DIST" >&2; exit 2; }
dist=$(realpath "$1")
cd "$qx_root"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One source package and one binary package for each architecture of the release.
version=$(qx_version)
srpm=$dist/qxconsoleticker-$version-1.src.rpm
[[ -f $srpm ]] || fail "no source package $srpm"
rpms=()
for arch in "${qx_rpm_arches[@]}"; do
  rpms+=("$dist/qxconsoleticker-$version-1.$arch.rpm")
  [[ -f ${rpms[-1]} ]] || fail "no package ${rpms[-1]}"
done

for rpm in "${rpms[@]}"; do
  name=${rpm##*/}
  arch=$(rpm -qp --qf '%{ARCH}' "$rpm")
  # The list names the manual pages .1.gz: rpm's brp-compress must have run.
  rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} 0 d t %{FILENAMES}\n]' \
    "$rpm" | qx_listing /usr/ | qx_compare "$name" rpm
  # The folders of the system and of the shells belong to their own packages; claiming one
  # would make it outlive or conflict with them.
  dirs=$(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" | sed -n 's/^d[^ ]* //p' |
    paste -sd ' ')
  [[ $dirs == "/usr/share/doc/qxconsoleticker /usr/share/licenses/qxconsoleticker" ]] ||
    fail "$name claims the folders '$dirs'"
  echo "$name: claims no folder but its doc and licence folders"

  # /bin/sh for qxelapsed, and the C library at the symbol versions the binary uses (2.34 the
  # newest), with its loader's hash style: rpm marks every dependency of a 64-bit file (64bit).
  # On aarch64 the binary also needs the loader, which holds the stack protector's guard.
  requires=$(rpm -qpR "$rpm" | grep -v '^rpmlib(' | paste -sd ' ')
  case $arch in
    x86_64) want="/bin/sh libc.so.6()(64bit) libc.so.6(GLIBC_2.2.5)(64bit)"
      want+=" libc.so.6(GLIBC_2.3.4)(64bit) libc.so.6(GLIBC_2.34)(64bit) libc.so.6(GLIBC_2.4)(64bit)" ;;
    aarch64) want="/bin/sh ld-linux-aarch64.so.1()(64bit) ld-linux-aarch64.so.1(GLIBC_2.17)(64bit)"
      want+=" libc.so.6()(64bit) libc.so.6(GLIBC_2.17)(64bit) libc.so.6(GLIBC_2.34)(64bit)" ;;
    *) fail "$name: no Requires known for $arch" ;;
  esac
  want+=" rtld(GNU_HASH)"
  [[ $requires == "$want" ]] || fail "$name requires '$requires', not '$want'"
  echo "$name: Requires /bin/sh and the C library alone"

  meta=$(rpm -qp --qf '%{LICENSE}|%{PREFIXES}|%{DESCRIPTION}' "$rpm")
  [[ $meta == "MIT|(none)|qxConsoleTicker counts the seconds since"* ]] ||
    fail "$name: the licence, relocation prefix or description is wrong: ${meta:0:80}"
  echo "$name: licence MIT, not relocatable, its own description"

  mkdir "$tmp/$arch"
  rpm2cpio "$rpm" | (cd "$tmp/$arch" && cpio -idm --quiet)
  emulator=()
  if [[ $arch != "$(uname -m)" ]]; then
    cpu=$(qx_targets | awk -v t="$arch" '$1 == t { print $5 }')
    [[ -n $cpu ]] || fail "$arch is not a target of cmake/targets.txt"
    emulator=("qemu-$cpu-static" -L /)
  fi
  qx_hardened "$tmp/$arch/usr/bin/qxConsoleTicker" "${emulator[@]}"
done

# rpmlint exits non-zero on an error only, so its summary line decides.
rpmlint -c packaging/rpmlint.toml "$srpm" "${rpms[@]}" >"$tmp/rpmlint.log" 2>&1 || true
grep -q ' 0 errors, 0 warnings' "$tmp/rpmlint.log" ||
  { cat "$tmp/rpmlint.log" >&2; fail "rpmlint reports what packaging/rpmlint.toml does not accept"; }
echo "rpmlint: the source package and every binary package are clean"
