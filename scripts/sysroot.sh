#!/usr/bin/env bash
# Fetches what the foreign targets of cmake/targets.txt need from the mirror without installing
# a package: a foreign package of the same Multi-Arch: same name as a host's must carry the
# host's exact version, which a mirror that serves security updates for some architectures only
# cannot promise. apt, with lists, cache and architectures of its own (the host's sources), downloads
# each foreign musl-dev and libc6 into build/sysroot/<arch>: the musl that the static build links,
# and the C library's shlibs and symbols (DEBIAN/), which dpkg-shlibdeps reads for the .deb's
# Depends. qemu-user runs the .deb's binaries with the cross compiler's own C library
# (/usr/<triplet>). Runs once: a sysroot that is there is kept.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=$qx_sysroots
host=$(dpkg --print-architecture)
mapfile -t archs < <(qx_targets | awk -v h="$host" '$2 != h { print $2 }')
todo=() && for a in "${archs[@]}"; do [[ -d $out/$a ]] || todo+=("$a"); done
((${#todo[@]})) || exit 0
apt=(apt-get -qq -o Dir::State="$out/apt" -o Dir::Cache="$out/apt" -o Dir::State::status=/dev/null
  -o APT::Architectures="$(printf '%s,' "${todo[@]}")" -o APT::Sandbox::User="$(id -un)")
mkdir -p "$out/apt/lists/partial" "$out/apt/archives/partial" "$out/debs"
"${apt[@]}" update
(cd "$out/debs" && "${apt[@]}" download "${todo[@]/#/musl-dev:}" "${todo[@]/#/libc6:}")
for a in "${todo[@]}"; do  # Unpacked aside and moved in whole, so a root that is there is complete.
  rm -rf "$out/$a.part"
  dpkg-deb -R "$out/debs/libc6_"*"_$a.deb" "$out/$a.part"
  dpkg-deb -x "$out/debs/musl-dev_"*"_$a.deb" "$out/$a.part"
  mv "$out/$a.part" "$out/$a"
done
rm -rf "$out/apt" "$out/debs"
echo "sysroot: musl and the C library's symbols for ${todo[*]} in $out"
