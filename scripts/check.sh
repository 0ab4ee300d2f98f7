#!/usr/bin/env bash
# Checks the signed release in build/dist/, and nothing else: it reads no build folder, so it
# checks a copy just as well (scripts/release.sh --check-only). One function a channel, each run
# even when an earlier one fails; the script fails when any did. What a user is promised:
#   signatures  every file is in SHA256SUMS, which the key of FINGERPRINT signed; every RPM and
#               the APT repository carry that key's signature; all checked with apt/key.asc alone
#   version     every file a user reads names the version and date of project() and CHANGELOG
#   tarballs    exactly the files of packaging/files.txt; a stripped static PIE with a
#               non-executable stack, no RELRO and no test clock; run in a root that holds nothing
#               else, it prints what the .deb of its arch prints at the same second
#   deb         lintian --pedantic clean but for debian/'s overrides; exactly the listed files;
#               Depends on libc6 alone; CHANGELOG as changelog; hardened; autopkgtest passes
#   rpm         exactly the listed files, no folder of another package, exact Requires, the
#               licence and description; hardened; rpmlint clean but for packaging/rpmlint.toml
#   apt         apt verifies the repository with key.asc alone, resolves every arch to DIST's
#               very files and installs, runs and purges the package
#   oci         one image a target, on the platform of its binary's ELF header, holding that
#               binary alone; podman runs it and it prints what the tarball's prints
# The foreign binaries run under qemu-user, a dynamic one with the cross compiler's C library.
# autopkgtest and the install run in a throwaway root (build/root.tar), so the host's packages
# are never touched. Needs root, and what .ci/run installs.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
dist=$qx_root/build/dist version=$(qx_version) host=$(dpkg --print-architecture)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A throwaway Debian 12 with apt for what installs the package, made once by mmdebstrap (under
# unshare, so that a kill leaves no mount of its behind). Each use mounts an overlay on it at
# DIR/root, in mount and pid namespaces of its own: neither a run nor one killed at any point
# leaves a package, a mount or a process in this system. What DIR/up holds shows in the root.
root=${XDG_CACHE_HOME:-$HOME/.cache}/qxconsoleticker/bookworm
if [[ ! -d $root ]]; then
  rm -rf "$root.part" && mkdir -p "${root%/*}"
  TMPDIR=${root%/*} unshare --mount --propagation private mmdebstrap --quiet --mode=root --variant=apt \
    --include=apt-utils --hook-dir=/usr/share/mmdebstrap/hooks/merged-usr bookworm "$root.part"
  mv "$root.part" "$root"
fi
in_root() {  # DIR COMMAND...
  mkdir -p "$1"/{up/etc/apt,work,root} && : >"$1/up/etc/apt/sources.list"
  unshare --mount --propagation private --pid --fork --kill-child sh -euc '
    mount -t overlay overlay -o "lowerdir=$0,upperdir=$1/up,workdir=$1/work" "$1/root"
    for f in null zero full random urandom; do mount --bind "/dev/$f" "$1/root/dev/$f"; done
    mount -t proc proc "$1/root/proc"
    shift && exec "$@"' "$root" "$@"
}
# Keys and an rpm database of its own, in an empty home: only apt/key.asc is trusted.
export HOME=$tmp GNUPGHOME=$tmp/gnupg
mkdir -m 700 "$GNUPGHOME" && echo "%_dbpath $tmp/rpmdb" >"$tmp/.rpmmacros"
rpmkeys --import "$dist/apt/key.asc"
zone=Asia/Kathmandu  # +05:45, a time of day that neither UTC nor a whole-hour zone gives
chroot=$(command -v chroot)  # env -i empties PATH.
# The build's time, as git archive dated the source: every file of the image must carry it.
created=$(TZ=UTC0 tar --full-time -tvzf "$dist/qxconsoleticker-$version.tar.gz" | awk 'NR == 1 { print $4 "T" $5 "Z" }')

# unpacked DEB|RPM|TARBALL: the folder where that file is unpacked, once.
unpacked() {
  local dir=$tmp/unpacked/${1##*/}
  if [[ ! -d $dir ]]; then
    mkdir -p "$dir"
    case $1 in
      *.deb) dpkg-deb -x "$1" "$dir" ;;
      *.rpm) rpm2cpio "$1" | (cd "$dir" && cpio -idm --quiet) ;;
      *) tar -xzf "$1" -C "$dir" --strip-components=1 ;;
    esac
  fi
  echo "$dir"
}
# emulator TARGET: how this machine runs TARGET's dynamic binaries ("" for its own).
emulator() {
  qx_targets | awk -v t="$1" -v m="$(uname -m)" '$1 == t && t != m { print "qemu-" $5 "-static -L /usr/" $3 }'
}

check_signatures() {
  gpg --batch --quiet --dearmor <"$dist/apt/key.asc" >"$tmp/key.gpg"
  [[ $(gpg --batch --with-colons --show-keys "$tmp/key.gpg" | awk -F: '$1 == "fpr" { print $10; exit }') == \
    "$(cat "$dist/FINGERPRINT")" ]] || fail "apt/key.asc is not the key of FINGERPRINT"
  gpgv --quiet --keyring "$tmp/key.gpg" "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS" ||
    fail "SHA256SUMS.asc does not verify with apt/key.asc"
  [[ $(cd "$dist" && find . -type f ! -name 'SHA256SUMS*' -printf '%P\n' | sort) == \
    "$(cut -c67- "$dist/SHA256SUMS")" ]] || fail "SHA256SUMS does not list exactly the files of DIST"
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "a file differs from SHA256SUMS"
  local rpm
  for rpm in "$dist"/*.rpm; do
    [[ $(rpmkeys --checksig "$rpm") == "$rpm: digests signatures OK" ]] ||
      fail "${rpm##*/} does not carry a good signature of apt/key.asc"
  done
  echo "signatures: SHA256SUMS and every RPM verify with apt/key.asc, $(cat "$dist/FINGERPRINT")"
}

check_version() {
  local tree month year page banner
  tree=$(unpacked "$dist/$(qx_tarball "$(uname -m)").tar.gz")
  read -r month year < <(sed -nE '0,/^ -- /s/^ -- .*  [A-Z][a-z]{2}, [0-9]+ ([A-Z][a-z]{2}) ([0-9]{4}) .*/\1 \2/p' "$tree/CHANGELOG")
  month=$(date -d "1 $month $year" +%B)
  head -n 1 "$tree/CHANGELOG" | grep -q "^qxconsoleticker ($version) " || fail "CHANGELOG is not of $version"
  ! grep -noE '(qxconsoleticker[-_]|Version )[0-9]+\.[0-9]+\.[0-9]+' "$tree/README.md" |
    grep -vE "[-_ ]$version\$" || fail "README.md names another version than $version"
  for page in "$tree"/share/man/man1/*.1; do
    grep -qx "\.TH [A-Z]* 1 \"$month $year\" \"qxConsoleTicker $version\" \"User Commands\"" "$page" ||
      fail "${page##*/}: .TH is not of $month $year and $version"
  done
  banner=$("$tree/bin/qxConsoleTicker" | sed -n 2p) || true
  [[ $banner == "    Version $version    Copyright (C) $year "* ]] || fail "the banner is '$banner'"
  grep -qE "^Copyright \(c\) ([0-9]{4}-)?$year " "$tree/LICENSE" || fail "LICENSE does not end at $year"
  [[ $(rpm -qp --qf '%{VERSION}-%{RELEASE}' "$dist"/*.src.rpm) == "$version-1" ]] ||
    fail "the source RPM is not of $version-1"
  grep -qx "Version: $version-1" "$dist/qxconsoleticker_$version-1.dsc" || fail "the .dsc is not of $version-1"
  echo "version: $version of $month $year in README.md, CHANGELOG, LICENSE, pages, banner, packages"
}

# Each run in a root of its own that holds the binary alone, and qemu where needed; TZ unset
# must give UTC, and TZ=/zone a copy of the zone file.
check_tarballs() {
  local target triplet cpu tree bin headers root deb run
  while read -r target arch triplet _ cpu _; do
    tarball=$dist/$(qx_tarball "$target").tar.gz
    tar -tvz --numeric-owner -f "$tarball" | qx_listing "$(qx_tarball "$target")/" |
      qx_compare "${tarball##*/}" tar
    bin=$(unpacked "$tarball")/bin/qxConsoleTicker
    file "$bin" | grep -q ", static-pie linked, .*, stripped$" || fail "$(file "$bin")"
    headers=$(readelf -lW "$bin")  # Captured: grep -q would cut a pipe short under pipefail.
    grep -qE '^ +GNU_STACK .* RW +0x' <<<"$headers" || fail "$bin: the stack is executable"
    ! grep -q GNU_RELRO <<<"$headers" || fail "$bin has a RELRO segment"
    ! grep -q QX_TEST_NOW "$bin" || fail "$bin carries the test clock"
    root=$tmp/root-$target run=(/qxConsoleTicker)
    mkdir "$root" && cp "$bin" "$root/" && cp "/usr/share/zoneinfo/$zone" "$root/zone"
    if [[ $target != "$(uname -m)" ]]; then cp "$(command -v "qemu-$cpu-static")" "$root/qemu"; run=(/qemu "${run[@]}"); fi
    deb=$(unpacked "$dist/qxconsoleticker_$version-1_$arch.deb")/usr/bin/qxConsoleTicker
    # both DEB_TZ ROOT_TZ ARG...: the .deb's binary and the static one at the same second.
    both() {
      a=$(env -i TZ="$1" $(emulator "$target") "$deb" "${@:3}" 2>&1; echo "status $?")
      b=$(env -i ${2:+TZ=$2} "$chroot" "$root" "${run[@]}" "${@:3}" 2>&1; echo "status $?")
    }
    for row in "UTC0||" "$zone|/zone|-b2" "UTC0||1 2 3 4"; do
      IFS='|' read -r deb_tz root_tz args <<<"$row"
      # shellcheck disable=SC2086  # the arguments are split on purpose
      qx_same_second both "$deb_tz" "$root_tz" $args
      [[ $a == "$b" && $a == *"Returning Exit Code"* ]] ||
        fail "$target, TZ '$root_tz', '$args': the static build and the .deb differ:" "$(diff <(echo "$a") <(echo "$b"))"
    done
    echo "$target: a stripped static PIE, NX stack, no RELRO, no test clock; alone in a root it" \
      "prints what the $arch .deb prints"
  done < <(qx_targets)
}

check_deb() {
  local arch deb dir
  lintian --pedantic --display-info --display-experimental \
    "$dist"/qxconsoleticker_"$version"-1{.dsc,_*.deb} 2>&1 |
    grep -v '^running with root privileges' >"$tmp/lintian.log" || true
  [[ -s $tmp/lintian.log ]] && { cat "$tmp/lintian.log"; fail "lintian tags that debian/ does not accept"; }
  echo "lintian: the source package and every .deb are clean"
  while read -r target arch _; do
    deb=$dist/qxconsoleticker_$version-1_$arch.deb
    dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner | qx_listing ./usr/ | qx_compare "${deb##*/}" deb
    [[ $(dpkg-deb -f "$deb" Depends) == "libc6 (>= 2.34)" ]] ||
      fail "${deb##*/}: Depends is '$(dpkg-deb -f "$deb" Depends)', not 'libc6 (>= 2.34)'"
    dir=$(unpacked "$deb")
    zcmp "$dir/usr/share/doc/qxconsoleticker/changelog.gz" "$(unpacked "$dist/$(qx_tarball "$(uname -m)").tar.gz")/CHANGELOG" ||
      fail "${deb##*/}: the changelog is not CHANGELOG"
    # shellcheck disable=SC2046  # the emulator's words
    qx_hardened "$dir/usr/bin/qxConsoleTicker" $(emulator "$target")
  done < <(qx_targets)
  # The source tree as built (debian/files), so that autopkgtest needs no build tools in the root.
  dpkg-source -x "$dist/qxconsoleticker_$version-1.dsc" "$tmp/source" >/dev/null 2>&1
  touch "$tmp/source/debian/files" && mkdir -p "$tmp/adt/up$tmp"
  TMPDIR=$tmp in_root "$tmp/adt" autopkgtest "$dist/qxconsoleticker_$version-1_$host.deb" \
    "$tmp/source" -- chroot "$tmp/adt/root" >"$tmp/adt.log" 2>&1 || { cat "$tmp/adt.log"; fail "autopkgtest failed"; }
  grep -E '^[a-z]+ +(PASS|FAIL|SKIP)' "$tmp/adt.log"
  echo "autopkgtest: debian/tests passed on the installed $host package"
}

check_rpm() {
  local target arch rpm name requires want dir
  while read -r target _ _ _ _ _ arch _; do
    [[ $arch != - ]] || continue
    rpm=$dist/qxconsoleticker-$version-1.$arch.rpm name=${rpm##*/}
    # The list names the manual pages .1.gz: rpm's brp-compress must have run.
    rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} 0 d t %{FILENAMES}\n]' "$rpm" |
      qx_listing /usr/ | qx_compare "$name" rpm
    # The system's and the shells' folders belong to their packages; claiming one would make it
    # outlive or conflict with them.
    [[ $(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" | sed -n 's/^d[^ ]* //p' | paste -sd ' ') == \
      "/usr/share/doc/qxconsoleticker /usr/share/licenses/qxconsoleticker" ]] || fail "$name claims other folders"
    # /bin/sh for qxelapsed, and the C library at the symbol versions the binary uses, with its
    # loader's hash style; on aarch64 also the loader, which holds the stack protector's guard.
    requires=$(rpm -qpR "$rpm" | grep -v '^rpmlib(' | paste -sd ' ')
    case $arch in
      x86_64) want="/bin/sh libc.so.6()(64bit) libc.so.6(GLIBC_2.2.5)(64bit) libc.so.6(GLIBC_2.3.4)(64bit)"
        want+=" libc.so.6(GLIBC_2.34)(64bit) libc.so.6(GLIBC_2.4)(64bit) rtld(GNU_HASH)" ;;
      aarch64) want="/bin/sh ld-linux-aarch64.so.1()(64bit) ld-linux-aarch64.so.1(GLIBC_2.17)(64bit)"
        want+=" libc.so.6()(64bit) libc.so.6(GLIBC_2.17)(64bit) libc.so.6(GLIBC_2.34)(64bit) rtld(GNU_HASH)" ;;
      *) fail "$name: no Requires known for $arch" ;;
    esac
    [[ $requires == "$want" ]] || fail "$name requires '$requires', not '$want'"
    [[ $(rpm -qp --qf '%{LICENSE}|%{PREFIXES}|%{DESCRIPTION}' "$rpm") == \
      "$(qx_license)|(none)|$(qx_description)" ]] || fail "$name: the licence, prefix or description is wrong"
    dir=$(unpacked "$rpm")
    # shellcheck disable=SC2046  # the emulator's words
    qx_hardened "$dir/usr/bin/qxConsoleTicker" $(emulator "$target")
    echo "$name: the listed files and folders, exact Requires, licence and description"
  done < <(qx_targets)
  sed "s/@LICENSE@/$(qx_license)/" "$qx_root/packaging/rpmlint.toml" >"$tmp/rpmlint.toml"
  # rpmlint exits non-zero on an error only, so its summary line decides.
  rpmlint -c "$tmp/rpmlint.toml" "$dist"/*.rpm >"$tmp/rpmlint.log" 2>&1 || true
  grep -q ' 0 errors, 0 warnings' "$tmp/rpmlint.log" ||
    { cat "$tmp/rpmlint.log"; fail "rpmlint reports what packaging/rpmlint.toml does not accept"; }
  echo "rpmlint: the source package and every binary package are clean"
}

# apt with sources, keys, lists, cache and preferences of its own, so that none of this machine's
# is used; any warning or error fails, since apt leaves its status 0 for some.
check_apt() {
  local repo=$dist/apt arch archs
  archs=$(qx_targets | awk '{ print $2 }' | paste -sd ,)
  mkdir -p "$tmp/apt/lists/partial" "$tmp/apt/archives/partial" "$tmp/apt/none" "$tmp/apt/get"
  echo "deb [signed-by=$repo/key.asc] file:$repo stable main
deb-src [signed-by=$repo/key.asc] file:$repo stable main" >"$tmp/apt/sources.list"
  apt_ok() {
    "$1" -o Dir::State="$tmp/apt" -o Dir::Cache="$tmp/apt" -o Dir::Etc::SourceList="$tmp/apt/sources.list" \
      -o Dir::Etc::SourceParts="$tmp/apt/none" -o Dir::Etc::Trusted="$tmp/apt/none/gpg" \
      -o Dir::Etc::TrustedParts="$tmp/apt/none" -o Dir::Etc::PreferencesParts="$tmp/apt/none" \
      -o APT::Architecture="$host" -o APT::Architectures="$archs" -o Acquire::Check-Date=true \
      -o APT::Sandbox::User=root "${@:2}" >"$tmp/apt/log" 2>&1 && ! grep -q '^[WE]:' "$tmp/apt/log" ||
      { cat "$tmp/apt/log"; fail "$* failed"; }
  }
  apt_ok apt-get update
  compgen -G "$tmp/apt/lists/*_InRelease" >/dev/null || fail "apt kept no verified InRelease"
  cd "$tmp/apt/get"
  for arch in ${archs//,/ }; do
    apt_ok apt-cache policy "qxconsoleticker:$arch"
    grep -qx "  Candidate: $version-1" "$tmp/apt/log" || fail "qxconsoleticker:$arch is not $version-1"
    apt_ok apt-get download "qxconsoleticker:$arch"
  done
  apt_ok apt-get source --download-only qxconsoleticker
  for f in *; do cmp "$f" "$dist/$f"; done
  cd "$qx_root"
  echo "apt: verified with key.asc alone; every arch and the source are DIST's very files"
  # As a user would: the repository and its key, a signed-by line, install, run, purge.
  mkdir -p "$tmp/inst/up/srv" "$tmp/inst/up/etc/apt"
  cp -a "$repo" "$tmp/inst/up/srv/"
  in_root "$tmp/inst" chroot "$tmp/inst/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive sh -euc '
      echo "deb [signed-by=/srv/apt/key.asc] file:/srv/apt stable main" >/etc/apt/sources.list
      apt-get -qq update && apt-get -qq -o Dpkg::Use-Pty=0 install "qxconsoleticker=$0" >/dev/null
      status=0 && out=$(qxConsoleTicker -b1) || status=$?
      [ "$(echo "$out" | tail -n 1)" = "Returning Exit Code $status (byte 1)" ]
      apt-get -qq -o Dpkg::Use-Pty=0 purge qxconsoleticker >/dev/null && ! command -v qxConsoleTicker' \
    "$version-1" || fail "the package did not install, run and purge from the repository"
  echo "apt: installed $version-1 for $host from the repository, ran it and purged it"
}

# skopeo picks each target's image by the platform that its binary's ELF header names, read here
# apart from cmake/targets.txt, checking every digest, and umoci unpacks it, checking its layer.
check_oci() {
  local image=oci:$dist/oci:$version target bin platform variant got want podman id
  [[ $(skopeo inspect --raw "$image" | jq 'select(.mediaType == "application/vnd.oci.image.index.v1+json")
    | .manifests | length') == "$(qx_targets | wc -l)" ]] || fail "$image is not an index of one image a target"
  while read -r target _; do
    bin=$(unpacked "$dist/$(qx_tarball "$target").tar.gz")/bin/qxConsoleTicker
    platform=$(readelf -hA "$bin" | sed -n 's/^ *Data:.*, \(.*\) endian$/\1/p; s/^ *Machine: *//p;
      s/^ *Tag_CPU_arch: \(v[0-9]*\).*/\1/p' | paste -sd/)
    case $platform in
      "little/Advanced Micro Devices X86-64") platform=amd64 ;;
      little/AArch64) platform=arm64 ;;
      little/ARM/v*) platform=arm/${platform##*/} ;;
      "little/Intel 80386") platform=386 ;;
      "little/MIPS R3000") platform=mipsle ;;
      little/PowerPC64) platform=ppc64le ;;
      "big/IBM S/390") platform=s390x ;;
      *) fail "$target: no OCI platform known for '$platform'" ;;
    esac
    variant=${platform#*/} && [[ $platform == */* ]] || variant=
    skopeo --override-os linux --override-arch "${platform%%/*}" --override-variant "$variant" \
      copy -q "$image" "oci:$tmp/$target:one"
    umoci unpack --image "$tmp/$target:one" "$tmp/$target.bundle"
    got=$(skopeo inspect --config "oci:$tmp/$target:one" |
      jq -r '([.os, .architecture, .variant // empty] | join("/")) + " " + .created')
    [[ $got == "linux/$platform $created" ]] ||
      fail "$target: the image for linux/$platform says '$got'"
    got=$(cd "$tmp/$target.bundle/rootfs" && find . -mindepth 1 -printf '%M %U/%G %Ts %P\n' | sort -k4)
    want=$(printf "%s 0/0 $(date -d "$created" +%s) %s\n" drwxr-xr-x usr drwxr-xr-x usr/bin -rwxr-xr-x usr/bin/qxConsoleTicker)
    [[ $got == "$want" ]] || fail "$target: the image's root differs:" "$(diff <(echo "$want") <(echo "$got"))"
    cmp "$bin" "$tmp/$target.bundle/rootfs/usr/bin/qxConsoleTicker" || fail "$target: not the tarball's tool"
    echo "$target: the image for linux/$platform holds the tarball's binary alone, 0/0, dated"
  done < <(qx_targets)
  # podman keeps the image in a storage of its own, vfs so that no mount outlives the check.
  # Sandboxed machines refuse podman's default file limit, so the limits are given; runc is
  # named, as podman would take crun where both are.
  podman=(podman --root "$tmp/storage" --runroot "$tmp/run" --storage-driver vfs)
  id=$("${podman[@]}" pull -q --platform linux/amd64 "$image")
  both() {
    status=0
    got=$("${podman[@]}" run --rm --runtime runc --network none --ulimit nofile=1024:1024 \
      --ulimit nproc=1024:1024 -e TZ=$zone -v /usr/share/zoneinfo:/usr/share/zoneinfo:ro "$id" -b1) || status=$?
    want=$(TZ=$zone "$(unpacked "$dist/$(qx_tarball x86_64).tar.gz")/bin/qxConsoleTicker" -b1) || true
  }
  qx_same_second both
  [[ $got == "$want" && $got == *"Returning Exit Code $status (byte 1)" ]] ||
    fail "podman's amd64 run (exit $status) differs:" "$(diff <(echo "$want") <(echo "$got"))"
  echo "podman: the amd64 image in $zone prints what the tarball's binary prints, exits as it says"
}

failed=()
for channel in signatures version tarballs deb rpm apt oci; do
  echo "=== $channel ==="
  (check_"$channel") || failed+=("$channel")
done
((${#failed[@]} == 0)) || fail "failed: ${failed[*]}"
echo "check: every file of build/dist keeps its promises"
