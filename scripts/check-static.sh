#!/usr/bin/env bash
# Checks the portable release files in build/dist/, which scripts/release.sh makes (it runs this):
#   - every release file matches SHA256SUMS;
#   - each tarball holds exactly the files of packaging/files.txt ("tar"), with their modes, all
#     owned by 0/0;
#   - its binary is what the project promises of a static build: a static PIE, stripped, with a
#     stack protector, a non-executable stack, no RELRO segment and no test clock. The stack
#     protector is looked for in the build's object of main(), and the shipped binary must equal
#     the build's binary once stripped as the install strips it;
#   - each shipped binary, the foreign ones under qemu-user, prints what its test-clock sibling
#     (build/static-<target>) prints at the second the shipped run saw, for a few command lines;
#   - each runs in an empty root that holds nothing but the binary (and qemu): with no zone file
#     it prints UTC, and with one zone file that TZ names, that zone's time.
# Needs file, binutils, qemu-user-static and root (or user namespaces, for chroot).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$qx_root"

(cd build/dist && sha256sum --quiet -c SHA256SUMS)
echo "SHA256SUMS: every release file checks"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# env -i empties PATH, so the commands that enter a root are named by their paths.
chroot=$(command -v chroot)
((EUID == 0)) || chroot="$(command -v unshare) --map-root-user $chroot"

# tie LABEL TZ SIBLING_TZ ARG...: runs "${shipped[@]}" ARG... at the real clock, with TZ unless it
# is empty, until the run falls within one second, then "${sibling[@]}" ARG... with SIBLING_TZ at
# that second. Fails unless both print the same on standard output and standard error and exit
# with the same status.
shipped_run() { got=$(env -i ${tz:+"TZ=$tz"} "${shipped[@]}" "$@" 2>&1; echo "exit $?"); }
tie() {
  local label=$1 tz=$2 sibling_tz=$3 want
  shift 3
  qx_same_second shipped_run "$@"
  want=$(env -i "TZ=$sibling_tz" "QX_TEST_NOW=$qx_second" "${sibling[@]}" "$@" 2>&1; echo "exit $?")
  if [[ "$want" != *"Returning Exit Code"* || "$got" != "$want" ]]; then
    fail "$label: differs from the test-clock sibling:" "$(diff <(echo "$want") <(echo "$got"))"
  fi
  echo "$label: as the test-clock sibling"
}

zone=Asia/Kathmandu  # +05:45, a time of day that neither UTC nor a whole-hour zone gives
while read -r target _ triplet _ cpu _; do
  tarball=$(echo build/dist/qxconsoleticker-*-linux-"$target".tar.gz)
  name=$(basename "$tarball" .tar.gz)
  tar -tvz --numeric-owner -f "$tarball" | qx_listing "$name/" | qx_compare "$tarball" tar
  tar -xzf "$tarball" -C "$work"
  binary=$work/$name/bin/qxConsoleTicker
  built=build/static-$target/qxConsoleTicker
  file "$binary" | grep -q ", static-pie linked, .*, stripped$" || fail "$(file "$binary")"
  headers=$(readelf -lW "$binary")  # Captured: grep -q would cut a pipe short under pipefail.
  grep -qE '^ +GNU_STACK .* RW +0x' <<<"$headers" ||
    fail "$binary: the stack is executable, or has no GNU_STACK"
  ! grep -q GNU_RELRO <<<"$headers" || fail "$binary has a RELRO segment"
  # musl's own objects may bring the protector's symbols along, so the tool's code is asked.
  object=build/static-$target/CMakeFiles/qx_timer.dir/timer/main.cpp.o
  grep -qE ' __stack_chk_fail(_local)?$' <<<"$("$triplet-nm" -u "$object")" ||
    fail "$object: no stack protector"
  "$triplet-strip" -o "$work/stripped" "$built"
  "$triplet-objcopy" --remove-section=.comment "$work/stripped"
  cmp -s "$work/stripped" "$binary" || fail "$binary is not $built, stripped"
  ! grep -q QX_TEST_NOW "$binary" || fail "$binary carries the test clock"
  echo "$name: a stripped static PIE, stack protector, NX stack, no RELRO, no test clock"

  emulator=()
  [[ $target == "$(uname -m)" ]] || emulator=("$(command -v "qemu-$cpu-static")")
  sibling=("${emulator[@]}" "$PWD/build/static-$target/qxConsoleTicker-testclock")
  shipped=("${emulator[@]}" "$binary")
  tie "$target, no arguments, UTC" UTC0 UTC0
  tie "$target, -b2, $zone" "$zone" "$zone" -b2
  tie "$target, four byte values, UTC" UTC0 UTC0 1 2 3 4

  # A root of its own that holds nothing else, with qemu where needed; a zone file joins it for
  # the second run.
  root=$work/root-$target
  mkdir "$root"
  cp "$binary" "$root/"
  shipped=("/qxConsoleTicker")
  if ((${#emulator[@]})); then cp "${emulator[0]}" "$root/qemu" && shipped=(/qemu /qxConsoleTicker); fi
  # shellcheck disable=SC2206  # $chroot is a command and its arguments
  shipped=($chroot "$root" "${shipped[@]}")
  tie "$target, empty root, nothing but the binary, TZ unset: UTC" "" UTC0
  cp "/usr/share/zoneinfo/$zone" "$root/zone"
  tie "$target, empty root, TZ=/zone, a copy of $zone" /zone "$zone"
done < <(qx_targets)

# qxelapsed of the native tarball saves a moment with the binary beside it, as the README's
# first example does after unpacking.
native=$(echo "$work"/qxconsoleticker-*-linux-"$(uname -m)")
saved=$(PATH=$native/bin:$PATH qxelapsed save)
[[ "$saved" =~ ^[0-9]+\ [0-9]+\ [0-9]+\ [0-9]+$ ]] || fail "qxelapsed save gave '$saved'"
echo "the tarball's qxelapsed saves '$saved' with its binary"
