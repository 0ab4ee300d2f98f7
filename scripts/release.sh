#!/usr/bin/env bash
# Builds every release file once into build/dist/, with SHA256SUMS over all of them, then runs
# every check of them and exits non-zero when any check fails:
#   qxconsoleticker-<version>.tar.gz
#       the source: the tracked files as they stand (uncommitted changes included), without
#       debian/; the Debian source package and the source RPM are built from it;
#   qxconsoleticker_<version>-1.dsc, .debian.tar.xz, _<version>.orig.tar.gz
#   qxconsoleticker_<version>-1_<arch>.deb, one for each Debian architecture of cmake/targets.txt
#       the glibc build, by dpkg-buildpackage (scripts/build-deb.sh);
#   qxconsoleticker-<version>-1.src.rpm, .x86_64.rpm, .aarch64.rpm
#       by rpmbuild from packaging/qxconsoleticker.spec (scripts/build-rpm.sh);
#   qxconsoleticker-<version>-linux-<target>.tar.gz, one for each target of cmake/targets.txt
#       the static build against musl, for any Linux of that architecture. One top folder holds
#       what `cmake --install` lays out, and README.md, LICENSE and CHANGELOG;
#   oci/   a multi-arch OCI image layout: one FROM scratch image per target (build-oci.sh);
#   apt/   a signed APT repository of the .debs and the source package, and its key.asc
#       (build-apt.sh: the key QX_SIGNING_KEY names in GNUPGHOME, or a throwaway one).
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
export SOURCE_DATE_EPOCH
qx_epoch
dist=build/dist
rm -rf "$dist" build/stage
mkdir -p "$dist" build/stage

# Each build is configured afresh with the presets' flags alone, so that no cache of an earlier
# configuration and no CXXFLAGS or LDFLAGS of the caller's reach a release file.
unset CXXFLAGS CPPFLAGS LDFLAGS
cmake --workflow --preset release --fresh >/dev/null
version=$(qx_version)

# The source tarball: git stash create gives a commit of the tracked files as they stand (none
# when nothing changed), dated SOURCE_DATE_EPOCH, which git archive gives every member. It fails
# without a word on an index whose file times are stale, as in a fresh copy, so the index is
# refreshed first; that reports modified files, which are the stash's to take.
git update-index -q --refresh >/dev/null || true
tree=$(GIT_COMMITTER_DATE="@$SOURCE_DATE_EPOCH" GIT_AUTHOR_DATE="@$SOURCE_DATE_EPOCH" git stash create)
source=$dist/qxconsoleticker-$version.tar.gz
git archive --format=tar --prefix="qxconsoleticker-$version/" "${tree:-HEAD}" | gzip -9n >"$source"
scripts/build-deb.sh "$source" "$dist" build/deb
scripts/build-rpm.sh "$source" "$dist" >/dev/null

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

scripts/build-oci.sh "$dist" >/dev/null
scripts/build-apt.sh "$dist" >/dev/null

(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum >SHA256SUMS)
ls -l "$dist"
((checks)) || exit 0

failed=()
for check in version package deb rpm apt oci static memcheck reproducible; do
  echo; echo "=== scripts/check-$check.sh ==="
  args=()
  case $check in deb) args=("$dist" build/deb) ;; rpm | apt | oci) args=("$dist") ;; esac
  "scripts/check-$check.sh" "${args[@]}" || failed+=("$check")
done
echo
((${#failed[@]} == 0)) || fail "failed checks: ${failed[*]}"
echo "release: every file of $dist built and checked"
