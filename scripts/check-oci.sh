#!/usr/bin/env bash
# Checks DIST/oci/ (DIST is build/dist unless given), the image that scripts/build-oci.sh makes
# from DIST's portable tarballs (check-reproducible.sh builds it again, as every release file):
#   - skopeo reads an image index under the version's tag, one image for each target;
#   - for each target, skopeo picks the image for the platform that the ELF header of the
#     target's binary names (read here, apart from build-oci.sh's table), checking each digest,
#     and umoci unpacks it, checking the layer against its diff_id. The image names exactly that
#     platform and SOURCE_DATE_EPOCH, and its root holds usr/, usr/bin/ and the tool alone, 0/0,
#     0755, dated SOURCE_DATE_EPOCH, the tool byte for byte the binary of the target's tarball;
#   - podman runs the amd64 image in Asia/Kathmandu, with the host's zone files mounted, and it
#     prints what the x86_64 tarball's binary prints on the host at the same second, with the
#     exit status that its last line names. Its storage is a folder of its own, removed after.
# Needs SOURCE_DATE_EPOCH as the build had it, jq, skopeo, umoci, podman, runc, binutils, tzdata,
# an x86_64 host and root.
set -euo pipefail
source "$(dirname "$0")/common.sh"

dist=${1:-$qx_root/build/dist}
qx_epoch
version=$(qx_version)
image=oci:$dist/oci:$version
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tag names an image index with as many images as targets; each target's is found below.
count=$(skopeo inspect --raw "$image" |
  jq 'select(.mediaType == "application/vnd.oci.image.index.v1+json") | .manifests | length')
[[ $count == "$(qx_targets | wc -l)" ]] || fail "$image is not an index of one image a target"

# elf_platform BINARY: the OCI platform for the machine and byte order of BINARY's ELF header,
# and on ARM the CPU architecture it was built for.
elf_platform() {
  local header
  header=$(readelf -hA "$1")
  case $(sed -n 's/^ *Data:.*, \(.*\) endian$/\1/p; s/^ *Machine: *//p' <<<"$header" |
    paste -sd/) in
    "little/Advanced Micro Devices X86-64") echo amd64 ;;
    little/AArch64) echo arm64 ;;
    little/ARM) echo "arm/$(sed -n 's/^ *Tag_CPU_arch: \(v[0-9]*\).*/\1/p' <<<"$header")" ;;
    "little/Intel 80386") echo 386 ;;
    "little/MIPS R3000") echo mipsle ;;
    little/PowerPC64) echo ppc64le ;;
    "big/IBM S/390") echo s390x ;;
    *) fail "$1: no OCI platform known for its ELF header" ;;
  esac
}

while read -r target _; do
  name=qxconsoleticker-$version-linux-$target
  tar -xzf "$dist/$name.tar.gz" -C "$work" "$name/bin/qxConsoleTicker"
  binary=$work/$name/bin/qxConsoleTicker
  platform=$(elf_platform "$binary")
  variant=${platform#*/}
  [[ $platform == */* ]] || variant=
  skopeo --override-os linux --override-arch "${platform%%/*}" --override-variant "$variant" \
    copy -q "$image" "oci:$work/$target:one"
  umoci unpack --image "$work/$target:one" "$work/$target.bundle"
  got=$(skopeo inspect --config "oci:$work/$target:one" |
    jq -r '([.os, .architecture, .variant // empty] | join("/")) + " " + .created')
  [[ $got == "linux/$platform $(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)" ]] ||
    fail "$target: the image for linux/$platform says '$got'"
  got=$(cd "$work/$target.bundle/rootfs" && find . -mindepth 1 -printf '%M %U/%G %Ts %P\n' |
    sort -k4)
  want=$(printf "%s 0/0 $SOURCE_DATE_EPOCH %s\n" drwxr-xr-x usr drwxr-xr-x usr/bin \
    -rwxr-xr-x usr/bin/qxConsoleTicker)
  [[ $got == "$want" ]] ||
    fail "$target: the image's root differs:" "$(diff <(echo "$want") <(echo "$got"))"
  cmp "$binary" "$work/$target.bundle/rootfs/usr/bin/qxConsoleTicker" ||
    fail "$target: the image's tool is not the tarball's"
  echo "$target: the image for linux/$platform holds the tarball's binary alone, 0/0, dated"
done < <(qx_targets)

# podman keeps the image in a storage of its own under $work, vfs so that no mount outlives the
# check. Sandboxed machines refuse podman's default file limit (runc: "error setting rlimit
# type 7"), so the limits are given; runc is named, as podman would take crun where both are.
# The image is pulled once, and the runs are repeated until the container's and the host's fall
# within one second.
podman=(podman --root "$work/storage" --runroot "$work/run" --storage-driver vfs)
id=$("${podman[@]}" pull -q --platform linux/amd64 "$image")
zone=Asia/Kathmandu  # +05:45, a time of day that neither UTC nor a whole-hour zone gives
host=$work/qxconsoleticker-$version-linux-x86_64/bin/qxConsoleTicker
# run_both: the image under podman and the host's binary, in the same zone.
run_both() {
  status=0
  got=$("${podman[@]}" run --rm --runtime runc --network none --ulimit nofile=1024:1024 \
    --ulimit nproc=1024:1024 -e TZ=$zone -v /usr/share/zoneinfo:/usr/share/zoneinfo:ro "$id" -b1) ||
    status=$?
  want=$(TZ=$zone "$host" -b1) || true
}
qx_same_second run_both
[[ $got == "$want" && $got == *"Returning Exit Code $status (byte 1)" ]] ||
  fail "podman's amd64 run (exit $status) differs:" "$(diff <(echo "$want") <(echo "$got"))"
echo "podman: the amd64 image in $zone prints what the host's binary prints, exits as it says"
