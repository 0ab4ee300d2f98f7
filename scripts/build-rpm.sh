#!/usr/bin/env bash
# Builds the RPM packages of packaging/qxconsoleticker.spec from a source tarball, with Debian's
# rpm: the source package once, then from it a binary package for each of qx_rpm_arches
# (common.sh), and copies them into OUTDIR: qxconsoleticker-<version>-1.src.rpm and
# .<arch>.rpm each.
# The native build runs the tests of %check; a cross build does not run what it builds, and
# builds without them. Every package is reproducible from SOURCE_DATE_EPOCH, which must be set.
# Needs rpm, and for each foreign architecture its cross g++ and binutils.
#
# Usage: scripts/build-rpm.sh SOURCE_TARBALL OUTDIR
set -euo pipefail
source "$(dirname "$0")/common.sh"

(($# == 2)) || { echo "usage: $0 SOURCE_TARBALL OUTDIR" >&2; exit 2; }
tarball=$(realpath -e "$1")
mkdir -p "$2"
out=$(realpath "$2")
qx_epoch
# The cross compiler of a foreign architecture comes from cmake/targets.txt.

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No flags, compiler or ~/.rpmmacros of the caller's reach a package: HOME is the work folder.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CXX
# The sources' modes and times go into the source package, so neither umask nor checkout time
# may show there.
install -D -m 0644 "$tarball" "$work/SOURCES/${tarball##*/}"
install -D -m 0644 "$qx_root/packaging/qxconsoleticker.spec" "$work/SPECS/qxconsoleticker.spec"
touch -d "@$SOURCE_DATE_EPOCH" "$work/SOURCES/${tarball##*/}" "$work/SPECS/qxconsoleticker.spec"

# What Fedora's own configuration does and Debian's rpm does not: doc and licence folders named
# after the package alone; rpm's brp-compress run by bash, as it is written for (under dash its
# loop reads nothing, and the manual pages stay uncompressed without a word); each ELF file
# stripped of its symbol table too, as Fedora's split into a debuginfo package leaves it, where
# brp-strip removes the debug information alone. Then reproducibility: times from
# SOURCE_DATE_EPOCH, a fixed host name, the source package's files owned by root whoever builds,
# no /usr/lib/.build-id links (there is no debuginfo package for them to serve), and the build
# folder's name mapped out of the debug information, whose hash becomes the binary's build ID.
# shellcheck disable=SC2016  # $f is for the shell of rpm's post-install step.
strip_elf='for f; do file -b "$f" | grep -q ^ELF || continue; %{__strip} -s -R .comment "$f" || exit; done'
defines=(
  --define "_docdir_fmt %%{NAME}"
  --define "__brp_compress /bin/bash %{_rpmconfigdir}/brp-compress %{?_prefix}"
  --define "__brp_strip find %{buildroot} -type f -exec sh -c '$strip_elf' sh {} +"
  --define "use_source_date_epoch_as_buildtime 1"
  --define "clamp_mtime_to_source_date_epoch 1"
  --define "_buildhost reproducible"
  --define "_srcdefattr (-,root,root)"
  --define "_build_id_links none"
  --define "build_cxxflags %{optflags} -ffile-prefix-map=%{_builddir}/="
)
# The source package records its spec as parsed, with the folders of the build in it, so it is
# made in folders that are named the same in every run: /proc/self/cwd is the work folder, as
# rpmbuild runs there. The binary builds run scripts that change folders, and use the real one.
(cd "$work" && HOME=$work rpmbuild -bs --nodeps --define "_topdir /proc/self/cwd" \
  "${defines[@]}" SPECS/qxconsoleticker.spec) >"$work/log" 2>&1 ||
  { cat "$work/log" >&2; fail "the source package did not build"; }
srpm=("$work"/SRPMS/*.src.rpm)

for arch in "${qx_rpm_arches[@]}"; do
  cross=()
  if [[ $arch != "$(uname -m)" ]]; then
    triplet=$(qx_targets | awk -v t="$arch" '$1 == t { print $3 }')
    [[ -n $triplet ]] || fail "$arch is not a target of cmake/targets.txt"
    export CXX=$triplet-g++
    cross=(--without check --define "__strip $triplet-strip" --define "__objdump $triplet-objdump")
  fi
  # Debian's rpm database knows none of the build dependencies, hence --nodeps.
  HOME=$work rpmbuild --rebuild --nodeps --target "$arch" --define "_topdir $work" \
    "${defines[@]}" "${cross[@]}" "${srpm[0]}" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "the $arch package did not build"; }
  unset CXX
done
made=("${srpm[0]}" "$work"/RPMS/*/*.rpm)
cp "${made[@]}" "$out/"
printf '%s\n' "${made[@]##*/}"
