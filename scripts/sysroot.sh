#!/usr/bin/env bash
# Fetches what each foreign target of cmake/targets.txt needs, without installing a package of
# its architecture, which would have to carry the host's very version: apt, with lists and cache
# of its own, downloads musl-dev and libc6, and build/sysroot/<arch> gets their files: the musl
# that the static build links, and the C library's shlibs and symbols (DEBIAN/) for the .deb's
# Depends. A root is unpacked aside and moved in whole, so one that is there is complete.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=$qx_sysroots
mapfile -t todo < <(qx_targets | awk -v h="$(dpkg --print-architecture)" '$2 != h { print $2 }' |
  while read -r a; do [[ -d $out/$a ]] || echo "$a"; done)
((${#todo[@]})) || exit 0
apt=(apt-get -qq -o Dir::State="$out/apt" -o Dir::Cache="$out/apt" -o Dir::State::status=/dev/null
  -o APT::Architectures="$(IFS=, && echo "${todo[*]}")" -o APT::Sandbox::User="$(id -un)")
rm -rf "$out/debs" && mkdir -p "$out/apt/lists/partial" "$out/apt/archives/partial" "$out/debs"
"${apt[@]}" update
for a in "${todo[@]}"; do
  # Debian 13 has no mipsel: outside CI such a target is left out, and the tests say so.
  (cd "$out/debs" && "${apt[@]}" download "musl-dev:$a" "libc6:$a") ||
    { [[ -z ${CI:-} ]] || fail "no musl-dev and libc6 for $a"; echo "sysroot: $a left out" >&2; continue; }
  rm -rf "$out/$a.part"
  dpkg-deb -R "$out/debs/libc6_"*"_$a.deb" "$out/$a.part"
  dpkg-deb -x "$out/debs/musl-dev_"*"_$a.deb" "$out/$a.part"
  mv "$out/$a.part" "$out/$a"
done
rm -rf "$out/apt" "$out/debs"
echo "sysroot: musl and the C library's symbols in $out for: $(cd "$out" && echo *)"
