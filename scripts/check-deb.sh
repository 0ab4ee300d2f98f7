#!/usr/bin/env bash
# Checks the Debian packages that scripts/build-deb.sh made, in DIST, from its WORKDIR:
# - lintian --pedantic on the source package and every .deb: no tag but those that the
#   overrides in debian/ accept, each with its reason;
# - blhc on every build log: Debian's hardening flags reached every compile and link;
# - each .deb: exactly the files of packaging/files.txt (deb), Depends on libc6 alone, CHANGELOG
#   as its changelog, and its binary hardened, linked to the C library alone and run, under
#   qemu-user with the foreign C library from multiarch for another architecture;
# - each binary prints what the static build of its architecture prints at the same second;
# - autopkgtest runs debian/tests on the installed amd64 package (as root: it installs it).
# Usage: scripts/check-deb.sh DIST WORKDIR. The static builds are read from build/stage/.
set -euo pipefail
source "$(dirname "$0")/common.sh"
(($# == 2)) || { echo "usage: $0 DIST WORKDIR" >&2; exit 2; }
dist=$(realpath "$1") work=$(realpath "$2")
cd "$qx_root"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
upstream=${version%-*}

lintian --pedantic --display-info --display-experimental \
  "$dist"/qxconsoleticker_"$version"{.dsc,_*.deb} 2>&1 |
  grep -v '^running with root privileges' | tee "$tmp/lintian.log" || true
[[ -s "$tmp/lintian.log" ]] && fail "lintian has tags that debian/*lintian-overrides do not accept"
echo "lintian: the source package and every .deb are clean"

# both: the .deb's binary and the static build of its architecture, in a zone with summer time.
both() {
  a=$(TZ=America/Santiago "${emulator[@]}" "$tmp/deb/usr/bin/qxConsoleTicker" -b3; echo "status $?")
  b=$(TZ=America/Santiago "${emulator[@]}" "$static" -b3; echo "status $?")
}

host=$(dpkg --print-architecture)
while read -r target arch _ _ cpu _; do
  deb=$dist/qxconsoleticker_${version}_$arch.deb
  blhc --all "$work/build-$arch.log" || fail "blhc: flags missing from the $arch build"
  dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner | qx_listing ./usr/ |
    qx_compare "${deb##*/}" deb
  [[ $(dpkg-deb -f "$deb" Depends) == "libc6 (>= 2.34)" ]] ||
    fail "$deb: Depends is '$(dpkg-deb -f "$deb" Depends)', not 'libc6 (>= 2.34)'"
  rm -rf "$tmp/deb"
  dpkg-deb -x "$deb" "$tmp/deb"
  zcmp "$tmp/deb/usr/share/doc/qxconsoleticker/changelog.gz" CHANGELOG ||
    fail "$deb: the changelog is not CHANGELOG"
  emulator=()
  [[ $arch == "$host" ]] || emulator=("qemu-$cpu-static")
  qx_hardened "$tmp/deb/usr/bin/qxConsoleTicker" "${emulator[@]}"

  # The glibc build and the musl build, run in the same second, print the same text and exit
  # with the same byte.
  static=build/stage/qxconsoleticker-$upstream-linux-$target/bin/qxConsoleTicker
  qx_same_second both
  [[ $a == "$b" ]] ||
    fail "$arch: the .deb and the static build differ:" "$(diff <(echo "$a") <(echo "$b"))"
  echo "$arch: the .deb prints what the static build prints at the same second"
done < <(qx_targets)

if ((EUID == 0)); then
  # autopkgtest installs the package in this system, so it must not be there already, and it
  # goes again whatever the result.
  ! dpkg -s qxconsoleticker >/dev/null 2>&1 || fail "qxconsoleticker is installed here already"
  trap 'dpkg --purge qxconsoleticker >/dev/null 2>&1; rm -rf "$tmp"' EXIT
  autopkgtest "$dist/qxconsoleticker_${version}_$host.deb" "$work/qxconsoleticker-$upstream" \
    -- null >"$tmp/autopkgtest.log" 2>&1 ||
    { cat "$tmp/autopkgtest.log" >&2; fail "autopkgtest failed"; }
  grep -E '^[a-z]+ +(PASS|FAIL|SKIP)' "$tmp/autopkgtest.log"
  echo "autopkgtest: debian/tests passed on the installed $host package"
elif [[ -n ${CI:-} ]]; then
  fail "autopkgtest installs the package, so CI runs this as root"
else
  echo "SKIP: autopkgtest installs the package, which needs root"
fi
