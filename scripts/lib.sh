# Sourced by the release scripts and the tests: the facts, each read from its one place; the
# readers of cmake/targets.txt and packaging/files.txt; what every check needs.
# shellcheck shell=bash
qx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LC_ALL=C  # Sorting, globs and tool messages are the same for every caller.
# Where scripts/sysroot.sh puts what the foreign targets need (cmake/QxTargets.cmake reads it too).
# shellcheck disable=SC2034  # read by the scripts that source this file
qx_sysroots=${QX_SYSROOTS:-$qx_root/build/sysroot}

fail() { echo "${0##*/}: $*" >&2; exit 1; }

# Throwaway Debian roots, each made once into qx_roots by mmdebstrap and then only read.
qx_roots=${QX_ROOTS:-${XDG_CACHE_HOME:-$HOME/.cache}/qxconsoleticker}

# qx_make_root NAME SUITE MMDEBSTRAP-OPTION...: qx_roots/NAME, made again where it was made with
# other arguments; a killed run leaves no mount (unshare) and no half root.
qx_make_root() {
  [[ $(cat "$qx_roots/$1.args" 2>/dev/null) != "${*:2}" || ! -d $qx_roots/$1 ]] || return 0
  rm -rf "${qx_roots:?}/$1" "$qx_roots/$1.part" && mkdir -p "$qx_roots"
  TMPDIR=$qx_roots unshare --mount --propagation private mmdebstrap --quiet --mode=root "${@:3}" \
    --hook-dir=/usr/share/mmdebstrap/hooks/merged-usr "$2" "$qx_roots/$1.part" || fail "mmdebstrap made no $1 root"
  mv "$qx_roots/$1.part" "$qx_roots/$1" && echo "${*:2}" >"$qx_roots/$1.args"
}

# qx_in_root ROOT DIR COMMAND...: COMMAND with DIR/root an overlay of qx_roots/ROOT that writes to
# DIR/up, in user, mount and pid namespaces of its own, which die with this shell: no run, nor
# one killed at any point, leaves a package, mount or process in this system.
# The user namespace maps the ids 0-65535 onto themselves, as a root's packages need, once it
# exists. Its apt sees no archive unless DIR/up brings a sources.list. Where the kernel gives the
# namespace a binfmt_misc of its own (Linux 6.7), that runs i386 programs by qemu-user, so that
# they run on a kernel that runs none itself; P keeps their argument 0.
qx_in_root() {
  local pid status=0 magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  mkdir -p "$2"/{up/etc/apt,work,root}
  [[ -e $2/up/etc/apt/sources.list ]] || : >"$2/up/etc/apt/sources.list"
  # unshare dies with this shell, and the namespace with unshare; the command is set up so only
  # once it has gained its capabilities at exec, which would clear an earlier setting.
  setpriv --pdeathsig KILL unshare --user --mount --propagation private --pid --fork sh -euc '
    until grep -q . /proc/self/gid_map; do sleep 0.01; done
    mount -t overlay overlay -o "lowerdir=$0,upperdir=$1/up,workdir=$1/work,userxattr" "$1/root"
    for f in null zero full random urandom; do mount --bind "/dev/$f" "$1/root/dev/$f"; done
    mount -t proc proc "$1/root/proc"
    if mount -t binfmt_misc binfmt_misc "$1/root/proc/sys/fs/binfmt_misc" 2>/dev/null; then
      printf "%s\n" "$2" >"$1/root/proc/sys/fs/binfmt_misc/register"
    fi
    shift 2 && exec setpriv --pdeathsig KILL -- "$@"' \
    "$qx_roots/$1" "$2" ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:PF" "${@:3}" &
  pid=$!
  until [[ $(readlink "/proc/$pid/ns/user") != "$(readlink /proc/self/ns/user)" ]]; do sleep 0.01; done
  { echo 0 0 65536 >"/proc/$pid/uid_map" && echo 0 0 65536 >"/proc/$pid/gid_map"; } || kill -KILL "$pid"
  # The namespace's first process, the command, ignores SIGINT and SIGTERM, as pid 1 does.
  trap 'kill -KILL "$pid"' INT TERM
  wait "$pid" || status=$?
  trap - INT TERM
  return "$status"
}

# qx_debuild ROOT DIR TREE PLAN: the source tree DIR/up/TREE built as ROOT's build machine builds
# it, once for each PLAN line "arch triplet profiles": profiles "-" build natively, with the
# source package; others are cross builds of the .debs alone, with the foreign shlibs from
# /sysroot/<arch>. apt-get build-dep gives the root the Build-Depends alone, once a day updating
# its lists, and of the environment only TZ reaches the build. Each log, TREE/../build-<arch>.log,
# fails on a warning, where blhc finds Debian's flags missing, and unless the profiles say
# nocheck, on tests that did not all pass.
qx_debuild() {
  local arch profile log
  mkdir -p "$2/up/etc/apt" && cp "$qx_roots/$1/etc/apt/sources.list" "$2/up/etc/apt/"
  qx_in_root "$1" "$2" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive ${TZ+"TZ=$TZ"} \
    chroot "$2/root" sh -euc 'cd "$0"
    find /var/lib/apt/lists -name "*Release" -mmin -1440 | grep -q . || apt-get -qq update
    echo "$1" | while read -r arch triplet profile; do (
      set -- -a "$arch" && [ "$profile" = - ] || set -- "$@" -P"$profile"
      dpkg-checkbuilddeps "$@" 2>/dev/null || apt-get -qq -y -o Dpkg::Use-Pty=0 "$@" build-dep ./ >"../build-$arch.log" 2>&1 ||
        { cat "../build-$arch.log"; exit 1; }
      [ "$profile" = - ] || { export QX_SYSROOT=/sysroot/$arch CC=$triplet-gcc && set -- "$@" -B; }
      case $profile in *nocheck) o=nocheck ;; cross) o=crossbuildcanrunhostbinaries ;; *) o= ;; esac
      DEB_BUILD_OPTIONS=$o dpkg-buildpackage -us -uc -J2 "$@" >>"../build-$arch.log" 2>&1 || { tail -n 40 "../build-$arch.log"; exit 1; }
    ) done' "$3" "$4" >&2 || fail "no build in the $1 root"
  while read -r arch _ profile; do
    log=$2/up$3/../build-$arch.log
    blhc --all "$log" || fail "blhc: Debian's flags are missing from the $arch build in the $1 root"
    ! grep -i warning "$log" || fail "the $arch build in the $1 root warns"
    [[ $profile == *nocheck ]] || grep -q '^100% tests passed' "$log" || fail "the $arch build in the $1 root ran no tests"
  done <<<"$4"
}

# The version from project(); summary, description and maintainer from debian/control; the
# licence's SPDX name from LICENSE.
qx_version() { sed -n '/^project(/,/)/s/^ *VERSION \([0-9.]*\)$/\1/p' "$qx_root/CMakeLists.txt"; }
qx_debversion() { dpkg-parsechangelog -l "$qx_root/debian/changelog" -S Version; }
qx_control() { sed -n "/^Package:/,\$s/^$1: //p" "$qx_root/debian/control" | head -n 1; }
qx_summary() { qx_control Description; }
qx_maintainer() { sed -n 's/^Maintainer: //p' "$qx_root/debian/control"; }
qx_description() { sed -n '/^Description:/,/^[^ ]/s/^ //p' "$qx_root/debian/control" | sed 's/^\.$//'; }
qx_license() { head -n 1 "$qx_root/LICENSE" | cut -d' ' -f1; }

# qx_targets: the rows of cmake/targets.txt, one target a line:
#   target debian-arch triplet musl qemu-cpu rpm-arch oci-platform
qx_targets() { grep -v '^#' "$qx_root/cmake/targets.txt" | grep .; }

# qx_tarball TARGET: the portable tarball's name, without .tar.gz.
qx_tarball() { echo "qxconsoleticker-$(qx_version)-linux-$1"; }

# qx_tar DIR PATH...: PATH... under DIR as a reproducible .tar.gz on standard output: in name
# order, owned by 0/0, 0755 or 0644, dated SOURCE_DATE_EPOCH, and no name or time from gzip.
qx_tar() {
  tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX --directory="$1" "${@:2}" | gzip -9n
}

# qx_sums DIST: DIST's modes made independent of the umask, and DIST/SHA256SUMS over every file
# but itself and its signature.
qx_sums() {
  chmod -R u=rwX,go=rX "$1"
  (cd "$1" && find . -type f ! -name 'SHA256SUMS*' -printf '%P\n' | sort | xargs sha256sum >SHA256SUMS)
}

# qx_same_second FUNCTION ARG...: runs FUNCTION, which keeps what it runs in variables, until
# a run starts and ends within one second, so that the builds it compares read one instant.
qx_same_second() {
  local _ second
  for _ in 1 2 3 4 5; do
    second=$(date +%s) && { "$@" || :; } && [[ $(date +%s) != "$second" ]] || return 0
  done
  fail "five runs of $1 each crossed a second"
}

# qx_listing PREFIX: "mode path" for each file under PREFIX of a `tar -tv --numeric-owner`
# listing on standard input, PREFIX taken off; "BAD ..." for an entry not owned by 0/0, a folder
# not 0755, a file outside PREFIX, or what is neither file nor folder.
qx_listing() {
  awk -v prefix="$1" '
    function mode(p, i, m) { for (i = 2; i <= 10; i++) m = m * 2 + (substr(p, i, 1) != "-"); return sprintf("%04o", m) }
    { owner = $2; sub(/^root\/root$/, "0/0", owner) }
    owner != "0/0" || $1 ~ /[sStT]/ || $1 !~ /^[-d]/ || ($1 ~ /^d/ && mode($1) != "0755") { print "BAD", $0; next }
    $1 ~ /^-/ && index($6, prefix) != 1 { print "BAD", $0; next }
    $1 ~ /^-/ { print mode($1), substr($6, length(prefix) + 1) }' |
    sort -k2
}

# qx_compare LABEL CHANNEL: fails unless standard input is exactly the "mode path" lines of the
# files of packaging/files.txt that CHANNEL holds.
qx_compare() {
  local got want
  got=$(cat) want=$(awk -v c="$2" '!/^#/ { for (i = 3; i <= NF; i++) if ($i == c) print $1, $2 }' \
    "$qx_root/packaging/files.txt" | sort -k2)
  [[ $got == "$want" ]] || fail "$1 differs from packaging/files.txt ($2):" "$(diff <(echo "$want") <(echo "$got"))"
}

# qx_hardened BINARY [EMULATOR...]: fails unless a dynamic build keeps its promise: PIE, stack
# protector, FORTIFY, full RELRO (hardening-check; Debian's own /bin/ls lacks control-flow
# protection, and the branch protection that Debian 13's hardening-check asks of x86 too), a
# non-executable stack, the C library alone (and its loader, where that holds the stack
# protector's guard: arm, aarch64, mips), no test clock, and a run that exits as it says.
qx_hardened() {
  local bin=$1 elf needed want out status=0 && shift
  local skip=(--nocfprotection)
  [[ $(hardening-check --help) != *--nobranchprotection* ]] || skip+=(--nobranchprotection)
  hardening-check --quiet "${skip[@]}" "$bin" 2>/dev/null || fail "$bin is not hardened as promised"
  elf=$(readelf -hlW --dyn-syms -d "$bin")
  grep -qE '^ +GNU_STACK .* RW +0x' <<<"$elf" || fail "$bin: the stack is executable, or has no GNU_STACK"
  # GNU ld keeps code off the pages of the ELF headers and read-only data by default on x86 alone.
  ! grep -qE 'Machine: +(Advanced Micro Devices X86-64|Intel 80386)' <<<"$elf" || ! grep -qE '^ +LOAD +0x0+ .* R E ' <<<"$elf" ||
    fail "$bin maps its ELF headers and read-only data executable (-z noseparate-code)"
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$elf" | sort | paste -sd ' ')
  want=libc.so.6 && ! grep -q ' UND __stack_chk_guard@' <<<"$elf" ||
    want=$(printf '%s\n' libc.so.6 "$(sed -n 's/.*interpreter: .*\/\(.*\)]/\1/p' <<<"$elf")" | sort | paste -sd ' ')
  [[ $needed == "$want" ]] || fail "$bin needs '$needed', not '$want'"
  ! grep -q QX_TEST_NOW "$bin" || fail "$bin carries the test clock"
  out=$("$@" "$bin" -b1) || status=$?
  [[ "$out" == *"Returning Exit Code $status (byte 1)" ]] || fail "$bin did not run as expected"
  echo "$bin: hardened as promised, needs $needed, runs"
}
