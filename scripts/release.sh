#!/usr/bin/env bash
# Builds every release file into build/dist/, with SHA256SUMS beside them:
#   qxconsoleticker_<version>_amd64.deb, qxconsoleticker-<version>-1.x86_64.rpm
#       the dynamic build, for Debian, Ubuntu and RPM systems with glibc 2.34 or later;
#   qxconsoleticker-<version>-linux-<target>.tar.gz, one for each target of cmake/targets.txt
#       the static build against musl, for any Linux of that architecture. One top folder holds
#       bin/, share/ (manual page, completions, example script, as `cmake --install` lays them
#       out), README.md, LICENSE and CHANGELOG.
# Every file is reproducible: its time stamps are SOURCE_DATE_EPOCH, the last commit's time
# unless it is set already, and nothing in it depends on the folder, the user or the umask.
# Needs what the package presets need, plus each target's cross compiler and musl-dev.
set -euo pipefail
cd "$(dirname "$0")/.."

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
dist=build/dist
rm -rf "$dist" build/stage
mkdir -p "$dist" build/stage

cmake --workflow --preset package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
cp build/release/qxconsoleticker{_"${version}"_*.deb,-"${version}"-*.rpm} "$dist/"

for target in $(awk '!/^#/ && NF { print $1 }' cmake/targets.txt); do
  QX_TARGET=$target cmake --workflow --preset static >/dev/null
  name=qxconsoleticker-$version-linux-$target
  cmake --install "build/static-$target" --prefix "$PWD/build/stage/$name" --strip >/dev/null
  cp README.md LICENSE CHANGELOG "build/stage/$name/"
  # The order, owners, times and modes of the members are fixed; gzip -n leaves out its own
  # name and time.
  tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX --directory=build/stage "$name" |
    gzip -9n >"$dist/$name.tar.gz"
done

(cd "$dist" && sha256sum -- *.tar.gz *.deb *.rpm >SHA256SUMS)
ls -l "$dist"
