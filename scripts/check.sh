#!/usr/bin/env bash
# Checks the signed release in build/dist/ and reads no build folder; one function a channel
# (docs/development.md says what each promises), each run even when another fails. Needs root.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
dist=$qx_root/build/dist host=$(dpkg --print-architecture) version=$(qx_version) debver=$(qx_debversion)
zone=Asia/Kathmandu  # +05:45, a time of day that neither UTC nor a whole-hour zone gives
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Debian 12 and 13 as a user's system holds them, where the packages install and run. The
# packages are built on Debian 12 (build.sh), so that their libc6 floor holds.
suites=(bookworm trixie)
for suite in "${suites[@]}"; do qx_make_root "$suite" "$suite" --variant=apt --include=apt-utils; done
# Keys and an rpm database of their own: apt/key.asc is the only key trusted.
export HOME=$tmp GNUPGHOME=$tmp/gnupg && mkdir -m 700 "$GNUPGHOME" && echo "%_dbpath $tmp/rpmdb" >"$tmp/.rpmmacros"
rpmkeys --import "$dist/apt/key.asc" || echo "apt/key.asc is no key" >&2  # check_signatures fails then.
u=$tmp/u  # Every package and tarball unpacked once, into $u/<its name>.
for f in "$dist"/*.deb "$dist"/*.rpm "$dist"/*-linux-*.tar.gz; do  # A broken one fails its channel.
  mkdir -p "$u/${f##*/}" && case $f in
    *.deb) dpkg-deb -x "$f" "$u/${f##*/}" ;;
    *.rpm) rpm2cpio "$f" | (cd "$u/${f##*/}" && cpio -idm --quiet) ;;
    *) tar -xzf "$f" -C "$u/${f##*/}" --strip-components=1 ;;
  esac || echo "cannot unpack ${f##*/}" >&2
done
native=$u/$(qx_tarball "$(uname -m)").tar.gz
# emulator TARGET: qemu-user with the cross compiler's C library, for a foreign TARGET.
emulator() { qx_targets | awk -v t="$1" -v m="$(uname -m)" '$1 == t && t != m { print "qemu-" $5 "-static -L /usr/" $3 }'; }

check_signatures() {
  gpg --batch --quiet --dearmor <"$dist/apt/key.asc" >"$tmp/key.gpg"
  [[ $(gpg --with-colons --show-keys "$tmp/key.gpg" | awk -F: '$1 == "fpr" && !n++ { print $10 }') == \
    "$(cat "$dist/FINGERPRINT")" ]] || fail "apt/key.asc is not the key of FINGERPRINT"
  gpgv --quiet --keyring "$tmp/key.gpg" "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS" || fail "SHA256SUMS.asc is bad"
  [[ $(cd "$dist" && find . -type f ! -name 'SHA256SUMS*' -printf '%P\n' | sort) == "$(cut -c67- "$dist/SHA256SUMS")" ]] ||
    fail "SHA256SUMS does not list exactly the files of DIST"
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "a file differs from SHA256SUMS"
  for rpm in "$dist"/*.rpm; do
    [[ $(rpmkeys --checksig "$rpm") == "$rpm: digests signatures OK" ]] || fail "${rpm##*/} is not signed by it"
  done
  echo "signatures: SHA256SUMS and every RPM verify with apt/key.asc, $(cat "$dist/FINGERPRINT")"
}

check_version() {
  local month year page doc license
  read -r month year < <(sed -nE '0,/^ -- /s/^ -- .* ([A-Z][a-z]{2}) ([0-9]{4}) [0-9:]+ [-+][0-9]{4}$/\1 \2/p' "$native/CHANGELOG")
  head -n 1 "$native/CHANGELOG" | grep -q "^qxconsoleticker ($version) " || fail "CHANGELOG is not of $version"
  ! grep -noE '(^|[^.0-9A-Za-z])[0-9]+\.[0-9]+\.[0-9]+' "$native/README.md" | grep -vE ":.?($version|1\.1\.2023)\$" ||
    fail "README.md names another version than $version"  # 1.1.2023 is the count line's date.
  ! grep -o "qxconsoleticker_$version-[0-9]*" "$native/README.md" | grep -vxF "qxconsoleticker_$debver" ||
    fail "README.md names another Debian revision than $debver"
  grep -qE "^Copyright \(c\) ([0-9]{4}-)?$year " "$native/LICENSE" || fail "LICENSE does not end at $year"
  doc=$u/qxconsoleticker_${debver}_$host.deb/usr/share/doc/qxconsoleticker
  license="Copyright: $(sed -n 's/^Copyright (c) //p' "$native/LICENSE")"$'\n'"License: $(sed -n '1s/ .*//p' "$native/LICENSE")"
  [[ $(sed -n '/^Copyright:/,$p' "$doc/copyright") == "$license"$'\n'"$(sed '1,/^Copyright/d; /./,$!d; s/^$/./; s/^/ /' "$native/LICENSE")" ]] ||
    fail "debian/copyright does not give LICENSE's holders, licence and text"
  for page in "$native"/share/man/man1/*.1; do
    grep -qx "\.TH [A-Z]* 1 \"$(date -d "1 $month $year" +%B) $year\" \"qxConsoleTicker $version\" \"User Commands\"" "$page" ||
      fail "${page##*/}: .TH is not of $month $year and $version"
  done
  [[ $("$native/bin/qxConsoleTicker" | sed -n 2p) == "    Version $version    Copyright (C) $year "* ]] ||
    fail "the banner is not of $version and $year"
  echo "version: $version of $month $year in CHANGELOG, README.md, LICENSE, debian/, manual pages and banner"
}

# The .deb's binary and, in a root that holds nothing else (and qemu), the static one.
check_tarballs() {
  local target arch cpu name bin headers root run row deb_tz root_tz args
  while read -r -u3 target arch _ _ cpu _; do
    name=$(qx_tarball "$target")
    tar -tvz --numeric-owner -f "$dist/$name.tar.gz" | qx_listing "$name/" | qx_compare "$name.tar.gz" tar
    bin=$u/$name.tar.gz/bin/qxConsoleTicker headers=$(readelf -lW "$u/$name.tar.gz/bin/qxConsoleTicker")
    file "$bin" | grep -q ", static-pie linked, .*, stripped$" || fail "$(file "$bin")"
    grep -qE '^ +GNU_STACK .* RW +0x' <<<"$headers" || fail "$bin: the stack is executable"
    ! grep -q GNU_RELRO <<<"$headers" || fail "$bin has a RELRO segment"
    ! grep -q QX_TEST_NOW "$bin" || fail "$bin carries the test clock"
    root=$tmp/root-$target run=(/qxConsoleTicker)
    mkdir "$root"
    cp "$bin" "/usr/share/zoneinfo/$zone" "$root/"
    [[ $target == "$(uname -m)" ]] || run=(/qemu "${run[@]}")
    [[ $target == "$(uname -m)" ]] || cp "$(command -v "qemu-$cpu-static")" "$root/qemu"
    # shellcheck disable=SC2317,SC2046  # qx_same_second calls it; the emulator's words split
    both() {
      a=$(env -i TZ="$1" $(emulator "$target") "$u/qxconsoleticker_${debver}_$arch.deb/usr/bin/qxConsoleTicker" "${@:3}" 2>&1; echo "exit $?")
      b=$(env -i ${2:+TZ=$2} "$(command -v chroot)" "$root" "${run[@]}" "${@:3}" 2>&1; echo "exit $?")
    }
    for row in "UTC0||" "$zone|/${zone#*/}|-b2" "UTC0||1 2 3 4"; do
      IFS='|' read -r deb_tz root_tz args <<<"$row"
      # shellcheck disable=SC2086  # the arguments are split on purpose
      qx_same_second both "$deb_tz" "$root_tz" $args
      [[ $a == "$b" && $a == *"Returning Exit Code"* ]] ||
        fail "$target, TZ '$root_tz', '$args': the static build and the .deb differ:" "$(diff <(echo "$a") <(echo "$b"))"
    done
    echo "$target: a stripped static PIE, NX stack, no RELRO or test clock; alone, as the $arch .deb"
  done 3< <(qx_targets)
  "$qx_root/tests/readme.sh" "$dist"
}

check_deb() {
  local target arch triplet deb
  # The end-to-end table, driven from this machine, on each .deb's own binary at frozen instants:
  # under qemu-user with the C library it was built for, the test clock built for its target
  # with the 64-bit time_t of every build (CMakeLists.txt).
  cmake -S "$qx_root" -B "$tmp/tests" -DBUILD_TESTING=ON --log-level=WARNING >/dev/null
  cmake --build "$tmp/tests" --target qx_tests -j2 >/dev/null
  lintian --pedantic --display-info --display-experimental "$dist/qxconsoleticker_$debver"{.dsc,_*.deb} 2>&1 |
    grep -v '^running with root privileges' >"$tmp/lintian.log" || true
  [[ -s $tmp/lintian.log ]] && { cat "$tmp/lintian.log"; fail "lintian tags that debian/ does not accept"; }
  while read -r -u3 target arch triplet _; do
    deb=qxconsoleticker_${debver}_$arch.deb
    dpkg-deb --fsys-tarfile "$dist/$deb" | tar -tv --numeric-owner | qx_listing ./usr/ | qx_compare "$deb" deb
    [[ $(dpkg-deb -f "$dist/$deb" Depends) == "libc6 (>= 2.34)" ]] || fail "$deb: Depends is not libc6 (>= 2.34)"
    zcmp "$u/$deb/usr/share/doc/qxconsoleticker/changelog.gz" "$native/CHANGELOG" || fail "$deb: not CHANGELOG"
    # shellcheck disable=SC2046  # the emulator's words
    qx_hardened "$u/$deb/usr/bin/qxConsoleTicker" $(emulator "$target")
    "$triplet-g++" -shared -fPIC -O2 -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -o "$tmp/clock-$arch.so" "$qx_root/tests/testclock.cpp"
    QX_TICKER=$u/$deb/usr/bin/qxConsoleTicker QX_EMULATOR=$(emulator "$target") QX_PRELOAD=$tmp/clock-$arch.so \
      "$tmp/tests/tests/qx_tests" --gtest_filter='EndToEnd.*' --gtest_brief=1 >"$tmp/e2e.log" 2>&1 ||
      { cat "$tmp/e2e.log"; fail "$deb: the end-to-end table fails"; }
  done 3< <(qx_targets)
  # The source tree as built (debian/files), so that autopkgtest needs no build tools in the root.
  dpkg-source -x "$dist/qxconsoleticker_$debver.dsc" "$tmp/source" >/dev/null 2>&1 || fail "dpkg-source -x failed"
  touch "$tmp/source/debian/files"
  # On each suite, autopkgtest; then piuparts, as Debian runs it on every package, in a copy of the
  # root whose mounts die with their namespace: install, purge, nothing left behind, no other
  # package's file touched. The root holds apt-utils for autopkgtest, whose apt-extracttemplates
  # leaves debconf's tmp.ci folder after any install.
  for suite in "${suites[@]}"; do
    mkdir -p "$tmp/adt-$suite/up$tmp"
    TMPDIR=$tmp qx_in_root "$suite" "$tmp/adt-$suite" autopkgtest "$dist/qxconsoleticker_${debver}_$host.deb" "$tmp/source" \
      -- chroot "$tmp/adt-$suite/root" >"$tmp/adt.log" 2>&1 || { cat "$tmp/adt.log"; fail "autopkgtest failed on $suite"; }
    unshare --mount --propagation private piuparts --existing-chroot="$qx_roots/$suite" --distribution="$suite" \
      --ignore=/var/cache/debconf/tmp.ci/ --no-upgrade-test "$dist/qxconsoleticker_${debver}_$host.deb" >"$tmp/piuparts.log" 2>&1 ||
      { tail -n 30 "$tmp/piuparts.log"; fail "piuparts failed on $suite"; }
    # The source package as Debian 13's build machine builds it, tests on (Debian 12's: build.sh).
    [[ $suite != bookworm ]] || continue
    mkdir -p "$tmp/build-$suite/up/src"
    dpkg-source -x "$dist/qxconsoleticker_$debver.dsc" "$tmp/build-$suite/up/src/q" >/dev/null 2>&1 || fail "dpkg-source -x failed"
    qx_debuild "$suite" "$tmp/build-$suite" /src/q "$host - -"
  done
  echo "lintian clean; each .deb's binary at frozen instants; on ${suites[*]}: autopkgtest, piuparts; on trixie, the build from its Build-Depends alone, tests on"
}

# Requires: /bin/sh for qxelapsed, and the C library (and its loader where that holds the stack
# protector's guard) at versions up to 2.34, as the README promises.
check_rpm() {
  local target arch rpm requires others newest
  while read -r -u3 target _ _ _ _ arch _; do
    [[ $arch != - ]] || continue
    rpm=qxconsoleticker-$version-1.$arch.rpm
    rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} 0 d t %{FILENAMES}\n]' "$dist/$rpm" |
      qx_listing /usr/ | qx_compare "$rpm" rpm
    [[ $(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$dist/$rpm" | sed -n 's/^d[^ ]* //p' | xargs) == \
      "/usr/share/doc/qxconsoleticker /usr/share/licenses/qxconsoleticker" ]] || fail "$rpm claims other folders"
    requires=$(rpm -qpR "$dist/$rpm" | grep -v '^rpmlib(')
    others=$(grep -vE '^(/bin/sh|rtld\(GNU_HASH\)|(libc\.so\.6|ld-linux-[a-z0-9-]+\.so\.1)\((GLIBC_[0-9.]+)?\)\(64bit\))$' <<<"$requires" || :)
    newest=$(grep -o 'GLIBC_[0-9.]*' <<<"$requires" | sort -V | tail -n 1)
    [[ -z $others && $newest == GLIBC_2.34 && $'\n'$requires$'\n' == *$'\n/bin/sh\n'* ]] ||
      fail "$rpm requires more, or less, than /bin/sh and the C library up to 2.34:" "$requires"
    [[ $(rpm -qp --qf '%{LICENSE}|%{PREFIXES}|%{DESCRIPTION}' "$dist/$rpm") == "$(qx_license)|(none)|$(qx_description)" ]] ||
      fail "$rpm: the licence, prefix or description is wrong"
    # shellcheck disable=SC2046  # the emulator's words
    qx_hardened "$u/$rpm/usr/bin/qxConsoleTicker" $(emulator "$target")
  done 3< <(qx_targets)
  sed "s/@LICENSE@/$(qx_license)/" "$qx_root/packaging/rpmlint.toml" >"$tmp/rpmlint.toml"
  rpmlint -c "$tmp/rpmlint.toml" "$dist"/*.rpm >"$tmp/rpmlint.log" 2>&1 || true  # Exits 0 on warnings.
  grep -q ' 0 errors, 0 warnings' "$tmp/rpmlint.log" || { cat "$tmp/rpmlint.log"; fail "rpmlint complains"; }
  echo "rpm: the listed files and folders, Requires up to GLIBC_2.34, the facts; rpmlint clean"
}

# As a user's apt sees the repository, in each throwaway root: apt verifies it with key.asc alone
# (signed-by) and gives DIST's very files for every arch and the source; any warning fails, as
# apt's status stays 0 for some. Then the package installs, runs and purges.
check_apt() {
  local suite
  for suite in "${suites[@]}"; do
    mkdir -p "$tmp/inst-$suite/up/srv" && cp -a "$dist" "$tmp/inst-$suite/up/srv/"
    qx_in_root "$suite" "$tmp/inst-$suite" chroot "$tmp/inst-$suite/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      sh -euc 'cd /tmp
      printf "%s [signed-by=/srv/dist/apt/key.asc] file:/srv/dist/apt stable main\n" deb deb-src >/etc/apt/sources.list
      apt-get -o APT::Architectures="$0" update >log 2>&1 || true
      grep "^[WE]:" log && exit 1
      ls /var/lib/apt/lists/*_InRelease
      for arch in $(echo "$0" | tr , " "); do apt-get -q -o APT::Architectures="$0" download "qxconsoleticker:$arch"; done
      apt-get -q source --download-only qxconsoleticker
      for f in *.deb *.dsc *.tar.*; do cmp "$f" "/srv/dist/$f"; done
      apt-get -qq -o Dpkg::Use-Pty=0 install qxconsoleticker >/dev/null
      status=0 && out=$(qxConsoleTicker -b1) || status=$?
      [ "$(echo "$out" | tail -n 1)" = "Returning Exit Code $status (byte 1)" ]
      apt-get -qq -o Dpkg::Use-Pty=0 purge qxconsoleticker >/dev/null
      ! command -v qxConsoleTicker' \
      "$(qx_targets | awk '{ print $2 }' | paste -sd ,)" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; fail "apt failed on $suite"; }
  done
  echo "apt, on ${suites[*]}: verified with key.asc alone, DIST's very files for every arch and the source; installs, runs, purges"
}

# skopeo picks each image by the platform of its binary's ELF header, read apart from
# cmake/targets.txt; skopeo and umoci check every digest.
check_oci() {
  local image=oci:$dist/oci:$version target bin platform variant got want created podman id
  created=$(TZ=UTC0 tar --full-time -tvzf "$dist/qxconsoleticker-$version.tar.gz" | awk 'NR == 1 { print $4 "T" $5 "Z" }')
  [[ $(skopeo inspect --raw "$image" | jq '.manifests | length') == "$(qx_targets | wc -l)" ]] ||
    fail "$image is not an index of one image a target"
  while read -r -u3 target _; do
    bin=$u/$(qx_tarball "$target").tar.gz/bin/qxConsoleTicker
    platform=$(readelf -hA "$bin" | sed -n 's/^ *Data:.*, \(.*\) endian$/\1/p; s/^ *Machine: *//p;
      s/^ *Tag_CPU_arch: \(v[0-9]*\).*/\1/p' | paste -sd/)
    case $platform in
      "little/Advanced Micro Devices X86-64") platform=amd64 ;; little/AArch64) platform=arm64 ;;
      little/ARM/v*) platform=arm/${platform##*/} ;; "little/Intel 80386") platform=386 ;;
      "little/MIPS R3000") platform=mipsle ;; little/PowerPC64) platform=ppc64le ;;
      "big/IBM S/390") platform=s390x ;; *) fail "$target: no OCI platform known for '$platform'" ;;
    esac
    variant= && [[ $platform != */* ]] || variant=${platform#*/}
    skopeo --override-os linux --override-arch "${platform%/*}" --override-variant "$variant" \
      copy -q "$image" "oci:$tmp/$target:one"
    umoci unpack --image "$tmp/$target:one" "$tmp/$target.bundle"
    got=$(skopeo inspect --config "oci:$tmp/$target:one" | jq -r '[.os, .architecture, .variant // empty] | join("/")')
    got+=" $(cd "$tmp/$target.bundle/rootfs" && find . -mindepth 1 -printf '%M %U/%G %Ts %P,' | tr , '\n' | sort -k4 | xargs)"
    want="linux/$platform $(printf "%s 0/0 $(date -d "$created" +%s) %s " drwxr-xr-x usr drwxr-xr-x usr/bin -rwxr-xr-x usr/bin/qxConsoleTicker)"
    [[ $got == "${want% }" ]] || fail "$target: the image is '$got', not '$want'"
    cmp "$bin" "$tmp/$target.bundle/rootfs/usr/bin/qxConsoleTicker" || fail "$target: not the tarball's tool"
  done 3< <(qx_targets)
  # vfs: no mount outlives the check. Sandboxes refuse podman's default file limit. The image is
  # named after its path, which must be lower case, hence the README's relative one.
  podman=(podman --root "$tmp/storage" --runroot "$tmp/run" --storage-driver vfs)
  id=$(cd "$dist" && "${podman[@]}" pull -q --platform linux/amd64 "oci:oci:$version")
  # A container starts too slowly to share a second reliably: the tarball's binary runs just
  # before and just after it, and the container prints what one of them printed.
  local before after status=0
  before=$(TZ=$zone "$native/bin/qxConsoleTicker" -b1) || true
  got=$("${podman[@]}" run --rm --runtime runc --network none --ulimit nofile=1024:1024 --ulimit nproc=1024:1024 \
    -e TZ=$zone -v /usr/share/zoneinfo:/usr/share/zoneinfo:ro "$id" -b1) || status=$?
  after=$(TZ=$zone "$native/bin/qxConsoleTicker" -b1) || true
  [[ ($got == "$before" || $got == "$after") && $got == *"Returning Exit Code $status (byte 1)" ]] ||
    fail "podman's amd64 run (exit $status) differs:" "$(diff <(echo "$after") <(echo "$got"))"
  read -r _ _ kept < <(grep -o 'podman rmi [^`]*' "$native/README.md")  # What the README removes.
  "${podman[@]}" rmi "$kept" >/dev/null
  [[ -z $("${podman[@]}" images -q) ]] || fail "podman keeps an image after the README's rmi"
  echo "oci: each platform holds its tarball's binary alone, dated; podman runs the amd64 image"
}

# Each channel in a subshell of its own, with errexit: on the left of || bash would ignore it.
failed=() && for channel in signatures version tarballs deb rpm apt oci; do
  echo "=== $channel ===" && set +e
  (set -e && "check_$channel")
  # shellcheck disable=SC2181  # errexit would be ignored in a subshell on the left of ||
  (($? == 0)) || failed+=("$channel")
  set -e
done
((${#failed[@]} == 0)) || fail "failed: ${failed[*]}"
echo "check: every file of build/dist keeps its promises"
