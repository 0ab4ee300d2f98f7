#!/usr/bin/env bash
# Builds DIST/oci/, an OCI image layout whose index.json names one multi-arch image, tagged with
# the version, from the portable tarballs DIST/qxconsoleticker-<version>-linux-<target>.tar.gz:
# one image a target of cmake/targets.txt, each FROM scratch with a single layer that holds the
# static tool as /usr/bin/qxConsoleTicker, where every package puts it, so that an image built on
# this one, or one that copies the file out, finds it on PATH. The entrypoint is the tool itself:
# no shell, no library, no other file.
#
# Every byte depends on the tarballs and SOURCE_DATE_EPOCH alone. The blobs are made here with
# tar, gzip -n, sha256sum and jq rather than with umoci, whose insert (0.4.7) writes a layer that
# stops right after the file's data, without the tar padding and end blocks, takes the file's own
# time, and cannot name an ARM variant; buildah and podman need containers-storage. skopeo and
# umoci read the result in scripts/check-oci.sh.
#
# Usage: SOURCE_DATE_EPOCH=<seconds> scripts/build-oci.sh DIST
set -euo pipefail
source "$(dirname "$0")/common.sh"

(($# == 1)) || { echo "usage: $0 DIST" >&2; exit 2; }
qx_epoch
version=$(qx_version)
description=$(sed -n 's/^  DESCRIPTION "\(.*\)"$/\1/p' "$qx_root/CMakeLists.txt")
[[ -n $version && -n $description ]] ||
  fail "CMakeLists.txt: project() has no VERSION or DESCRIPTION"
created=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)
out=$1/oci
rm -rf "$out"
mkdir -p "$out/blobs/sha256"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# blob MEDIATYPE FILE: moves FILE into the layout under its digest and prints its descriptor.
blob() {
  local sum
  sum=$(sha256sum "$2" | cut -d' ' -f1)
  jq -cn --arg type "$1" --arg digest "sha256:$sum" --argjson size "$(stat -c %s "$2")" \
    '{mediaType: $type, digest: $digest, size: $size}'
  mv "$2" "$out/blobs/sha256/$sum"
}
oci=application/vnd.oci.image

while read -r target arch _; do
  # The platform as Go and the OCI image index name it, for the Debian architecture.
  case $arch in
    armhf) platform='"architecture":"arm","variant":"v7"' ;;
    armel) platform='"architecture":"arm","variant":"v5"' ;;
    i386) platform='"architecture":"386"' ;;
    mipsel) platform='"architecture":"mipsle"' ;;
    ppc64el) platform='"architecture":"ppc64le"' ;;
    amd64 | arm64 | s390x) platform="\"architecture\":\"$arch\"" ;;
    *) fail "$target: no OCI platform known for Debian's $arch" ;;
  esac
  platform="{$platform,\"os\":\"linux\"}"
  name=qxconsoleticker-$version-linux-$target
  rm -rf "$work/root" && mkdir -p "$work/root/usr/bin"
  tar -xzf "$1/$name.tar.gz" -C "$work" "$name/bin/qxConsoleTicker"
  mv "$work/$name/bin/qxConsoleTicker" "$work/root/usr/bin/"
  # usr/, usr/bin/ and the tool, in this order, owned by 0/0, 0755, dated SOURCE_DATE_EPOCH,
  # whatever the umask and the times of this folder. Plain ustar: every layer reader knows it.
  tar --create --format=ustar --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX --directory="$work/root" usr >"$work/layer"
  diff_id=sha256:$(sha256sum "$work/layer" | cut -d' ' -f1)
  gzip -9n "$work/layer"
  layer=$(blob "$oci.layer.v1.tar+gzip" "$work/layer.gz")

  jq -cjn --argjson platform "$platform" --arg created "$created" --arg diff_id "$diff_id" \
    --arg version "$version" --arg description "$description" --arg name "$name" '$platform + {
      created: $created,
      config: {Entrypoint: ["/usr/bin/qxConsoleTicker"], Labels: {
        "org.opencontainers.image.title": "qxConsoleTicker",
        "org.opencontainers.image.description": $description,
        "org.opencontainers.image.version": $version,
        "org.opencontainers.image.licenses": "MIT"}},
      rootfs: {type: "layers", diff_ids: [$diff_id]},
      history: [{created: $created, created_by: "/usr/bin/qxConsoleTicker of \($name).tar.gz"}]}' \
    >"$work/config"
  config=$(blob "$oci.config.v1+json" "$work/config")
  jq -cjn --arg type "$oci.manifest.v1+json" --argjson config "$config" --argjson layer "$layer" \
    '{schemaVersion: 2, mediaType: $type, config: $config, layers: [$layer]}' >"$work/manifest"
  blob "$oci.manifest.v1+json" "$work/manifest" | jq -c --argjson platform "$platform" \
    '. + {platform: $platform}' >>"$work/manifests"
done < <(qx_targets)

# The image index lists the images in the order of cmake/targets.txt; index.json names it.
jq -cjs --arg type "$oci.index.v1+json" '{schemaVersion: 2, mediaType: $type, manifests: .}' \
  "$work/manifests" >"$work/index"
blob "$oci.index.v1+json" "$work/index" |
  jq -cj --arg version "$version" '{schemaVersion: 2, manifests:
    [. + {annotations: {"org.opencontainers.image.ref.name": $version}}]}' >"$out/index.json"
printf '{"imageLayoutVersion":"1.0.0"}' >"$out/oci-layout"
echo "$out: the image $version for $(qx_targets | wc -l) platforms"
