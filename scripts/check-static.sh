#!/usr/bin/env bash
# Checks the portable release: builds every release file (scripts/release.sh), checks them with
# SHA256SUMS, and takes the static binaries out of the two tarballs. Then:
#   - each tarball holds exactly the promised files, and its binary is a static PIE;
#   - both binaries, the aarch64 one under qemu-user, print what the dynamic build prints, at the
#     real clock, in every zone and for every end-to-end and hostile command line of the tests
#     (the OtherBuilds tests of the dev build, given QX_SAME_OUTPUT);
#   - both run in an empty root that holds nothing but the binary (and qemu): with no zone file
#     they print UTC, and with one zone file and TZ naming it, that zone's time.
# Needs what scripts/release.sh and the dev preset need, qemu-user-static and root (or user
# namespaces, for chroot).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/release.sh >/dev/null
(cd build/dist && sha256sum --quiet -c SHA256SUMS)
echo "SHA256SUMS: every release file checks"

qemu=$(command -v qemu-aarch64-static)
dynamic=$PWD/build/release/qxConsoleTicker
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

promised="CHANGELOG
LICENSE
README.md
bin/qxConsoleTicker
share/bash-completion/completions/qxConsoleTicker
share/doc/qxconsoleticker/examples/elapsed.sh
share/fish/vendor_completions.d/qxConsoleTicker.fish
share/man/man1/qxConsoleTicker.1
share/zsh/vendor-completions/_qxConsoleTicker"
fail() { echo "check-static: $*" >&2; exit 1; }
declare -A machine=([x86_64]=x86-64 [aarch64]="ARM aarch64")
for arch in x86_64 aarch64; do
  tarball=$(echo build/dist/qxconsoleticker-*-linux-$arch.tar.gz)
  name=$(basename "$tarball" .tar.gz)
  members=$(tar -tzf "$tarball" | grep -v '/$' | sed "s|^$name/||" | LC_ALL=C sort)
  [[ "$members" == "$promised" ]] ||
    fail "$tarball holds other files:" "$(diff <(echo "$promised") <(echo "$members"))"
  tar -xzf "$tarball" -C "$work"
  mv "$work/$name" "$work/$arch"
  binary=$work/$arch/bin/qxConsoleTicker
  file "$binary" | grep -q "${machine[$arch]}, .*, static-pie linked" || fail "$(file "$binary")"
  # What the stripped file still shows of its hardening: relocations made read-only after they
  # are applied, all of them at start, and a position-independent image.
  readelf -lW "$binary" | grep -q GNU_RELRO || fail "$binary: no RELRO"
  readelf -dW "$binary" | grep -q 'Flags: NOW PIE' || fail "$binary: not bound at start, or no PIE"
  echo "$name: the promised files; a full-RELRO static PIE for ${machine[$arch]}"
done
static=$work/x86_64/bin/qxConsoleTicker aarch64=$work/aarch64/bin/qxConsoleTicker
# glibc's ldd calls a static PIE "statically linked", a static non-PIE "not a dynamic executable".
ldd "$static" | grep -qE '^\s*(statically linked|not a dynamic)' || fail "ldd: $(ldd "$static")"
saved=$(cd "$work/x86_64" && QX_TICKER=bin/qxConsoleTicker sh share/doc/*/examples/elapsed.sh save)
[[ "$saved" =~ ^[0-9]+\ [0-9]+\ [0-9]+\ [0-9]+$ ]] || fail "elapsed.sh save gave '$saved'"
echo "ldd: statically linked; the tarball's elapsed.sh saves '$saved' with its binary"

# Every zone and every command line of the tests, against the dynamic build.
cmake --preset dev >/dev/null
cmake --build --preset dev >/dev/null
QX_SAME_OUTPUT="$dynamic:$static:$qemu $aarch64" ctest --preset dev -R OtherBuilds

# env -i empties PATH, so the commands that enter a root are named by their paths.
chroot=$(command -v chroot)
((EUID == 0)) || chroot="$(command -v unshare) --map-root-user $chroot"

# compare LABEL: runs "${want[@]}" and "${got[@]}" until both fall in one second of the clock,
# and fails unless their standard output and exit status are the same.
compare() {
  local expected actual second
  for _ in 1 2 3 4 5; do
    second=$(date +%s)
    expected=$("${want[@]}"; echo "exit $?")
    actual=$("${got[@]}"; echo "exit $?")
    [[ $(date +%s) != "$second" ]] || break
  done
  if [[ "$expected" != *"Returning Exit Code"* || "$actual" != "$expected" ]]; then
    fail "empty root, $1: differs from the dynamic build:" \
      "$(diff <(echo "$expected") <(echo "$actual"))"
  fi
  echo "empty root, $1: as the dynamic build"
}

# Each binary in a root of its own that holds nothing else, the aarch64 one with qemu; a zone file
# joins it for the second run.
zone=Asia/Kathmandu  # +05:45, a time of day that neither UTC nor a whole-hour zone gives
for arch in x86_64 aarch64; do
  root=$work/root-$arch run=(/qxConsoleTicker)
  mkdir "$root"
  cp "$work/$arch/bin/qxConsoleTicker" "$root/"
  [[ $arch == x86_64 ]] || { cp "$qemu" "$root/qemu" && run=(/qemu /qxConsoleTicker); }
  # shellcheck disable=SC2206  # $chroot is a command and its arguments
  enter=($chroot "$root" "${run[@]}")
  want=(env -i TZ=UTC0 "$dynamic") got=(env -i "${enter[@]}")
  compare "$arch, nothing but the binary, TZ unset: UTC"
  cp "/usr/share/zoneinfo/$zone" "$root/zone"
  want=(env -i "TZ=$zone" "$dynamic") got=(env -i TZ=/zone "${enter[@]}")
  compare "$arch, TZ=/zone, a copy of $zone"
done
