# Sourced by every script: the project's root, the one reader of cmake/targets.txt in shell, the
# one list of installed files (packaging/files.txt) and how to compare a listing with it.
# shellcheck shell=bash
qx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export LC_ALL=C  # Sorting, globs and tool messages are the same for every caller.

fail() { echo "${0##*/}: $*" >&2; exit 1; }

# qx_version: the release's version, from project() in CMakeLists.txt, its one place.
qx_version() { sed -n '/^project(/,/)/s/^ *VERSION \([0-9.]*\)$/\1/p' "$qx_root/CMakeLists.txt"; }

# qx_epoch: fails unless SOURCE_DATE_EPOCH, from which every release file takes its time stamps,
# is set to a number of seconds.
qx_epoch() {
  [[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] ||
    fail "SOURCE_DATE_EPOCH is '${SOURCE_DATE_EPOCH:-}', not seconds"
}

# The RPM architectures of the release: those of cmake/targets.txt whose names rpm shares.
# shellcheck disable=SC2034  # Read by the scripts that source this file.
qx_rpm_arches=(x86_64 aarch64)

# qx_same_second COMMAND...: runs COMMAND, a function that keeps what it runs in variables, until
# one run starts and ends within the same second, which it leaves in qx_second, so that two
# builds compared there read one instant; fails after five tries.
qx_same_second() {
  local _
  for _ in 1 2 3 4 5; do
    qx_second=$(date +%s)
    "$@"
    [[ $(date +%s) != "$qx_second" ]] || return 0
  done
  fail "five runs of $1 each crossed a second"
}

# qx_targets: the rows of cmake/targets.txt, one target a line:
#   target debian-arch triplet musl qemu-cpu sweep
qx_targets() { grep -v '^#' "$qx_root/cmake/targets.txt" | grep .; }

# qx_missing: one line for each target that lacks a tool here, naming the tool and its package;
# nothing when every target can be built and run.
qx_missing() {
  local target arch triplet musl cpu _ need
  while read -r target arch triplet musl cpu _; do
    need=()
    command -v "$triplet-g++" >/dev/null || need+=("$triplet-g++ (g++-$triplet)")
    [[ -f /usr/lib/$musl/libc.a ]] || need+=("/usr/lib/$musl/libc.a (musl-dev:$arch)")
    [[ $target == "$(uname -m)" ]] || command -v "qemu-$cpu-static" >/dev/null ||
      need+=("qemu-$cpu-static (qemu-user-static)")
    ((${#need[@]} == 0)) || echo "$target: missing ${need[*]}"
  done < <(qx_targets)
}

# qx_files CHANNEL: "mode path" for each file of packaging/files.txt that CHANNEL holds.
qx_files() {
  awk -v c="$1" '!/^#/ && NF { for (i = 3; i <= NF; i++) if ($i == c) print $1, $2 }' \
    "$qx_root/packaging/files.txt" | sort -k2
}

# qx_listing PREFIX: reads a listing in the form of `tar -tv --numeric-owner` (permissions,
# owner/group, size, date, time, path) and prints "mode path" for each file under PREFIX, the
# prefix taken off. Prints a line starting with "BAD" for an entry not owned by 0/0 (or root/root),
# a folder that is not 0755, a file outside PREFIX, or any entry that is neither a file nor a
# folder.
qx_listing() {
  awk -v prefix="$1" '
    function mode(p, i, m) { for (i = 2; i <= 10; i++) m = m * 2 + (substr(p, i, 1) != "-"); return sprintf("%04o", m) }
    { owner = $2; sub(/^root\/root$/, "0/0", owner) }
    owner != "0/0" || $1 ~ /[sStT]/ || $1 !~ /^[-d]/ || ($1 ~ /^d/ && mode($1) != "0755") { print "BAD", $0; next }
    $1 ~ /^-/ && index($6, prefix) != 1 { print "BAD", $0; next }
    $1 ~ /^-/ { print mode($1), substr($6, length(prefix) + 1) }' |
    sort -k2
}

# qx_compare LABEL CHANNEL: fails unless standard input, "mode path" lines from qx_listing or
# find, is exactly what packaging/files.txt gives CHANNEL.
qx_compare() {
  local got
  got=$(cat)
  [[ $got == "$(qx_files "$2")" ]] ||
    fail "$1 differs from packaging/files.txt ($2):" "$(diff <(qx_files "$2") <(echo "$got"))"
  echo "$1: exactly the files of packaging/files.txt ($2), with their modes and owners"
}

# qx_hardened BINARY [EMULATOR...]: fails unless a dynamic build keeps the project's promise:
# PIE, stack protector, FORTIFY, full RELRO with immediate binding (hardening-check; Debian's own
# /bin/ls has no control-flow protection, so that is not asked for, and stack-clash probes show
# as "unknown"), a non-executable stack, the C library as its only library, no test clock, and a
# run whose exit status matches its last line, under EMULATOR for another architecture. Where the
# stack protector's guard is a variable of the dynamic loader (__stack_chk_guard on arm, aarch64
# and mips), the binary names the loader, which belongs to the C library, too.
qx_hardened() {
  local bin=$1 elf needed want out status=0
  shift
  hardening-check --nocfprotection "$bin" || fail "$bin is not hardened as promised"
  elf=$(readelf -lW --dyn-syms -d "$bin")
  grep -qE '^ +GNU_STACK .* RW +0x' <<<"$elf" || fail "$bin: the stack is executable, or has no GNU_STACK"
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$elf" | sort | paste -sd ' ')
  want=libc.so.6
  if grep -q ' UND __stack_chk_guard@' <<<"$elf"; then
    want=$(printf '%s\n' libc.so.6 "$(sed -n 's/.*interpreter: .*\/\(.*\)]/\1/p' <<<"$elf")" | sort |
      paste -sd ' ')
  fi
  [[ $needed == "$want" ]] || fail "$bin needs '$needed', not '$want'"
  ! grep -q QX_TEST_NOW "$bin" || fail "$bin carries the test clock"
  out=$("$@" "$bin" -b1) || status=$?
  [[ "$out" == *"Returning Exit Code $status (byte 1)" ]] || fail "$bin did not run as expected"
  echo "$bin: hardened as promised, needs $needed, runs"
}
