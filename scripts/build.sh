#!/usr/bin/env bash
# Builds every release file, unsigned and reproducible, into build/dist/, one function a
# channel, each package by its own ecosystem's tools from the source tarball.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$qx_root"
[[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH is not seconds"
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CXX  # Each tool's own flags, not the caller's.
# Every file comes from QX_COMMIT, some through the tree, which must hold just that commit.
[[ -n ${QX_COMMIT:-} ]] || fail "QX_COMMIT names no commit to release"
git diff --quiet "$QX_COMMIT" -- || fail "tracked files differ from $QX_COMMIT: commit them, or release a --snapshot"
version=$(qx_version) debver=$(qx_debversion) dist=$qx_root/build/dist
[[ $debver == "$version"-* ]] || fail "debian/changelog is of $debver, not of $version"
source=$dist/qxconsoleticker-$version.tar.gz
rm -rf "$dist" && mkdir -p "$dist"
# Scratch space outside the tree, which reprotest's second build reads through disorderfs, where
# tar now and then saw a folder "change as we read it". Left behind when a channel fails.
work=$(mktemp -d)

# The commit's files, without debian/ (.gitattributes), in an archive that records its id. Neither
# the branch, nor TZ, nor git's configuration reaches the bytes.
build_source() {
  git -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="qxconsoleticker-$version/" "$QX_COMMIT" |
    gzip -9n >"$source"
}

# The commit's debian/, with modes that ignore the umask, built as Debian's build machines build
# it (qx_debuild): in Debian 12's build root, which holds the cross compilers as sbuild brings
# them, in a folder named as this build's scratch. amd64 builds natively and i386 as a cross
# build, each with its tests, which i386 runs as an i386 machine would (qx_in_root), with the
# i386 C++ runtime that its build-essential would bring; the others are cross builds without.
build_deb() {
  local dir=$work/deb-root tested=i386 in=/build/${work##*/} host
  host=$(dpkg --print-architecture)
  qx_make_root build bookworm --variant=buildd --skip=cleanup/apt/lists --architectures="$(qx_targets | awk '{ print $2 }' | paste -sd ,)" \
    --include="$(qx_targets | awk -v h="$host" '$2 != h { printf "crossbuild-essential-%s,", $2 }')libstdc++6:$tested"
  mkdir -p "$dir/up$in"
  cp -a "$qx_sysroots" "$dir/up/sysroot"
  cp "$source" "$dir/up$in/qxconsoleticker_$version.orig.tar.gz"
  tar -xzf "$source" -C "$dir/up$in"
  git -c tar.umask=0022 archive --prefix=debian/ "$QX_COMMIT:debian" | tar -x -C "$dir/up$in/qxconsoleticker-$version"
  # Dated by the commit, not by the clock that reprotest runs a year ahead: make in the root does
  # not share it, and would see files from the future.
  find "$dir/up$in/qxconsoleticker-$version/debian" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  qx_debuild build "$dir" "$in/qxconsoleticker-$version" "$(qx_targets |
    awk -v h="$host" -v t="$tested" '{ print $2, $3, ($2 == h ? "-" : $2 == t ? "cross" : "cross,nocheck") }')"
  cp "$dir/up$in/qxconsoleticker_$version.orig.tar.gz" "$dir/up$in/qxconsoleticker_$debver"{.dsc,.debian.tar.xz,_*.deb} "$dist/"
}

# What Fedora's rpm does and Debian's does not: doc folders named after the package, brp-compress
# run by bash (under dash it compresses nothing, silently), ELF files stripped as a debuginfo
# split leaves them; then reproducibility. The source RPM records its folders: /proc/self/cwd.
build_rpm() {
  local rpm=$work/rpm triplet arch cross cxx
  mkdir -p "$rpm/SOURCES" "$rpm/SPECS"
  install -m 0644 "$source" "$rpm/SOURCES/"
  qx_description >"$work/description"
  sed -e "s/@VERSION@/$version/; s/@LICENSE@/$(qx_license)/; s/@SUMMARY@/$(qx_summary | sed 's/./\u&/')/" \
    -e "s/@MAINTAINER@/$(qx_maintainer)/; s/@DATE@/$(date -u -d "@$SOURCE_DATE_EPOCH" '+%a %b %d %Y')/" \
    -e "/@DESCRIPTION@/{r $work/description" -e 'd}' packaging/qxconsoleticker.spec.in \
    >"$rpm/SPECS/qxconsoleticker.spec"
  chmod 0644 "$rpm/SPECS/qxconsoleticker.spec"
  touch -d "@$SOURCE_DATE_EPOCH" "$rpm"/SOURCES/* "$rpm"/SPECS/*
  local strip='for f; do file -b "$f" | grep -q ^ELF || continue; %{__strip} -s -R .comment "$f" || exit; done'
  local defines=(--define "_docdir_fmt %%{NAME}"
    --define "__brp_compress /bin/bash %{_rpmconfigdir}/brp-compress %{?_prefix}"
    --define "__brp_strip find %{buildroot} -type f -exec sh -c '$strip' sh {} +"
    --define "use_source_date_epoch_as_buildtime 1" --define "clamp_mtime_to_source_date_epoch 1"
    --define "_buildhost reproducible" --define "_srcdefattr (-,root,root)"
    --define "_build_id_links none" --define "build_cxxflags %{optflags} -ffile-prefix-map=%{_builddir}/=")
  (cd "$rpm" && HOME=$rpm rpmbuild -bs --nodeps --define "_topdir /proc/self/cwd" "${defines[@]}" \
    SPECS/qxconsoleticker.spec) >"$rpm/log" 2>&1 || { cat "$rpm/log" >&2; fail "no source RPM"; }
  while read -r -u3 _ _ triplet _ _ arch _; do
    [[ $arch != - ]] || continue
    cross=() cxx=() && [[ $arch == "$(uname -m)" ]] || cxx=(CXX="$triplet-g++") cross=(--without check
      --define "__strip $triplet-strip" --define "__objdump $triplet-objdump")
    # Debian's rpm database knows none of the build dependencies, hence --nodeps.
    env "${cxx[@]}" HOME="$rpm" rpmbuild --rebuild --nodeps --target "$arch" --define "_topdir $rpm" "${defines[@]}" \
      "${cross[@]}" "$rpm"/SRPMS/*.src.rpm >"$rpm/log" 2>&1 || { cat "$rpm/log" >&2; fail "the $arch RPM did not build"; }
  done 3< <(qx_targets)
  cp "$rpm"/SRPMS/*.src.rpm "$rpm"/RPMS/*/*.rpm "$dist/"
}

# Each target's static build, in the folder that the tests use too.
build_tarballs() {
  local target name
  while read -r -u3 target _; do
    QX_TARGET=$target cmake --workflow --preset static >/dev/null
    name=$(qx_tarball "$target")
    cmake --install "build/static-$target" --prefix "$work/stage/$name" --strip >/dev/null
    cp README.md LICENSE CHANGELOG "$work/stage/$name/"
    qx_tar "$work/stage" "$name" >"$dist/$name.tar.gz"
  done 3< <(qx_targets)
}

# One image a target, FROM scratch, in one index. By hand: umoci 0.4.7 writes layers without
# tar's end blocks and names no ARM variant; buildah and podman need a storage.
build_oci() {
  local oci=application/vnd.oci.image target platform layer config
  mkdir -p "$dist/oci/blobs/sha256"
  # blob MEDIATYPE FILE [JQ-FILTER]: FILE moved in under its digest; prints its descriptor.
  blob() {
    local sum && sum=$(sha256sum "$2" | cut -d' ' -f1)
    jq -cn --arg type "$1" --arg sum "$sum" --argjson size "$(stat -c %s "$2")" \
      "{mediaType: \$type, digest: \"sha256:\\(\$sum)\", size: \$size} | ${3:-.}"
    mv "$2" "$dist/oci/blobs/sha256/$sum"
  }
  while read -r -u3 target _ _ _ _ _ platform; do
    rm -rf "$work/root" && mkdir -p "$work/root/usr/bin"
    cp "$work/stage/$(qx_tarball "$target")/bin/qxConsoleTicker" "$work/root/usr/bin/"
    qx_tar "$work/root" usr | gunzip >"$work/layer"
    platform=$(jq -cn --arg p "$platform" '$p / "/" | {architecture: .[0], os: "linux"} + if .[1] then {variant: .[1]} else {} end')
    jq -cjn --argjson platform "$platform" --arg created "$(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)" \
      --arg diff_id "sha256:$(sha256sum "$work/layer" | cut -d' ' -f1)" --arg version "$version" \
      --arg summary "$(qx_summary)" --arg license "$(qx_license)" '$platform + {created: $created,
        config: {Entrypoint: ["/usr/bin/qxConsoleTicker"], Labels: {"org.opencontainers.image.title": "qxConsoleTicker",
          "org.opencontainers.image.description": $summary, "org.opencontainers.image.version": $version,
          "org.opencontainers.image.licenses": $license}}, rootfs: {type: "layers", diff_ids: [$diff_id]}}' >"$work/config"
    gzip -9n "$work/layer"
    layer=$(blob "$oci.layer.v1.tar+gzip" "$work/layer.gz")
    config=$(blob "$oci.config.v1+json" "$work/config")
    jq -cjn --arg type "$oci.manifest.v1+json" --argjson config "$config" --argjson layer "$layer" \
      '{schemaVersion: 2, mediaType: $type, config: $config, layers: [$layer]}' >"$work/manifest"
    blob "$oci.manifest.v1+json" "$work/manifest" ". + {platform: $platform}" >>"$work/manifests"
  done 3< <(qx_targets)
  jq -cjs --arg type "$oci.index.v1+json" '{schemaVersion: 2, mediaType: $type, manifests: .}' "$work/manifests" >"$work/index"
  blob "$oci.index.v1+json" "$work/index" "{schemaVersion: 2, manifests: [. + {annotations:
    {\"org.opencontainers.image.ref.name\": \"$version\"}}]}" | tr -d '\n' >"$dist/oci/index.json"
  printf '{"imageLayoutVersion":"1.0.0"}' >"$dist/oci/oci-layout"
}

build_apt() {
  local pool=pool/main/q/qxconsoleticker arch archs=() field options=()
  mkdir -p "$dist/apt/$pool" && cd "$dist/apt"
  cp "$dist/qxconsoleticker_$version.orig.tar.gz" "$dist/qxconsoleticker_$debver"{.dsc,.debian.tar.xz,_*.deb} "$pool/"
  while read -r -u3 _ arch _; do
    archs+=("$arch") && mkdir -p "dists/stable/main/binary-$arch"
    apt-ftparchive -a "$arch" packages pool >"dists/stable/main/binary-$arch/Packages"
  done 3< <(qx_targets)
  mkdir -p dists/stable/main/source
  apt-ftparchive -qq sources pool >dists/stable/main/source/Sources
  find dists -type f -exec gzip -9nk {} +
  for field in Origin=qxConsoleTicker Label=qxConsoleTicker Suite=stable Codename=stable Components=main \
    "Architectures=${archs[*]} source" "Description=$(qx_summary)" "Date=$(date -R -u -d "@$SOURCE_DATE_EPOCH")"; do
    options+=(-o "APT::FTPArchive::Release::$field")
  done
  apt-ftparchive "${options[@]}" release dists/stable >"$work/Release"
  mv "$work/Release" dists/stable/
  cd "$qx_root"
}

for channel in source deb rpm tarballs oci apt; do "build_$channel"; done
qx_sums "$dist"
rm -rf "$work"
echo "build: every release file of $version in $dist, unsigned"
