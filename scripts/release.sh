#!/usr/bin/env bash
# Builds every release file once into build/dist/, with SHA256SUMS beside them, then runs every
# check of them and exits non-zero when any check fails:
#   qxconsoleticker_<version>_amd64.deb, qxconsoleticker-<version>-1.x86_64.rpm
#       the dynamic build, for Debian, Ubuntu and RPM systems with glibc 2.34 or later;
#   qxconsoleticker-<version>-linux-<target>.tar.gz, one for each target of cmake/targets.txt
#       the static build against musl, for any Linux of that architecture. One top folder holds
#       what `cmake --install` lays out, and README.md, LICENSE and CHANGELOG.
# Every file is reproducible: its time stamps are SOURCE_DATE_EPOCH, the last commit's time
# unless it is set already, and nothing in it depends on the folder, user, locale or umask.
# Every target is required: a missing cross compiler, musl or qemu stops the release at once.
#
# Usage: scripts/release.sh [--build-only]
#   --build-only  builds the files and runs no check (the reproducibility check builds so).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$qx_root"

case ${1:-} in
  --build-only) checks=0 ;;
  "") checks=1 ;;
  *) echo "usage: $0 [--build-only]" >&2; exit 2 ;;
esac
missing=$(qx_missing)
[[ -z "$missing" ]] || fail "every target is needed for a release:"$'\n'"$missing"

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH is '$SOURCE_DATE_EPOCH', not seconds"
export SOURCE_DATE_EPOCH
dist=build/dist
rm -rf "$dist" build/stage
mkdir -p "$dist" build/stage

# Each build is configured afresh with the presets' flags alone, so that no cache of an earlier
# configuration and no CXXFLAGS or LDFLAGS of the caller's reach a release file.
unset CXXFLAGS CPPFLAGS LDFLAGS
cmake --workflow --preset package --fresh >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
cp build/release/qxconsoleticker{_"${version}"_*.deb,-"${version}"-*.rpm} "$dist/"

while read -r target _; do
  QX_TARGET=$target cmake --workflow --preset static --fresh >/dev/null
  name=qxconsoleticker-$version-linux-$target
  cmake --install "build/static-$target" --prefix "$PWD/build/stage/$name" --strip >/dev/null
  cp README.md LICENSE CHANGELOG "build/stage/$name/"
  # The order, owners, times and modes of the members are fixed; gzip -n leaves out its own
  # name and time.
  tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX --directory=build/stage "$name" |
    gzip -9n >"$dist/$name.tar.gz"
done < <(qx_targets)

(cd "$dist" && sha256sum -- *.deb *.rpm *.tar.gz >SHA256SUMS)
ls -l "$dist"
((checks)) || exit 0

failed=()
for check in version package static memcheck reproducible; do
  echo; echo "=== scripts/check-$check.sh ==="
  "scripts/check-$check.sh" || failed+=("$check")
done
echo
((${#failed[@]} == 0)) || fail "failed checks: ${failed[*]}"
echo "release: every file of $dist built and checked"
