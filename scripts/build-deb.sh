#!/usr/bin/env bash
# Builds the Debian source package and a .deb for every architecture of cmake/targets.txt from a
# source tarball and debian/, the way a distribution would: dpkg-buildpackage with the tests for
# this machine's architecture, and -Pcross,nocheck for each of the others. Cross builds need the
# cross compiler and libc6:<arch>, which carries the C library's shlibs for dpkg-shlibdeps; the
# cross compiler's own libc6-dev-<arch>-cross is enough to compile and link.
#
# Usage: scripts/build-deb.sh SOURCE_TARBALL OUTDIR WORKDIR
#   SOURCE_TARBALL  qxconsoleticker-<version>.tar.gz, made without debian/ (.gitattributes)
#   OUTDIR          receives the .dsc, the .orig.tar.gz, the .debian.tar.xz and one .deb an
#                   architecture (not the -dbgsym ones)
#   WORKDIR         the unpacked tree and one build log an architecture (build-<arch>.log), for
#                   blhc and autopkgtest; made afresh
set -euo pipefail
source "$(dirname "$0")/common.sh"
(($# == 3)) || { echo "usage: $0 SOURCE_TARBALL OUTDIR WORKDIR" >&2; exit 2; }
tarball=$(realpath "$1") out=$(realpath "$2") work=$3

[[ ${tarball##*/} =~ ^qxconsoleticker-([0-9.]+)\.tar\.gz$ ]] || fail "$1 is not a source tarball"
upstream=${BASH_REMATCH[1]}
version=$(dpkg-parsechangelog -l "$qx_root/debian/changelog" -S Version)
[[ $version == "$upstream"-* ]] || fail "debian/changelog is at $version, not $upstream-<revision>"

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
cp "$tarball" "$work/qxconsoleticker_$upstream.orig.tar.gz"
tar -xzf "$tarball" -C "$work"
tree=$work/qxconsoleticker-$upstream
[[ ! -e $tree/debian ]] || fail "$1 holds a debian/ folder"
# debian/ as tracked, without what an earlier build in it left behind, and with modes that do not
# follow the umask, since they go into the .debian.tar.xz. Its files are dated now, which dpkg
# clamps to SOURCE_DATE_EPOCH; the dates of the tree, which a checkout sets, would stay.
git -C "$qx_root" ls-files -z debian | tar -C "$qx_root" --null -T - -c | tar -x --touch -C "$tree"
chmod -R u=rwX,go=rX "$tree/debian"

host=$(dpkg --print-architecture)
cd "$tree"
dpkg-buildpackage -us -uc -J2 >"$work/build-$host.log" 2>&1 ||
  { tail -40 "$work/build-$host.log" >&2; fail "the $host build failed"; }
while read -r _ arch _; do
  [[ $arch != "$host" ]] || continue
  dpkg-buildpackage -a "$arch" -Pcross,nocheck -B -us -uc -J2 >"$work/build-$arch.log" 2>&1 ||
    { tail -40 "$work/build-$arch.log" >&2; fail "the $arch cross build failed"; }
done < <(qx_targets)

cd "$work"
cp "qxconsoleticker_$version.dsc" "qxconsoleticker_$version.debian.tar.xz" \
  "qxconsoleticker_$upstream.orig.tar.gz" qxconsoleticker_"$version"_*.deb "$out/"
