#!/usr/bin/env bash
# Start-up cost of what users get from build/dist (scripts/release.sh): the .deb's dynamic binary
# and the tarball's static one for this machine's architecture, against the floor (a static
# program that does nothing but exit), /bin/true and date +%s. Instructions per run (callgrind,
# which repeats exactly), median wall time (hyperfine, no shell in between) and the median peak
# resident set size of five runs (/usr/bin/time); then the size of every static binary. Every
# command runs in one environment, as the C library's start-up reads every variable.
#
# Usage: bench/startup.sh [--check]
#   --check  exit 1 when, in instructions, the dynamic binary exceeds 1.35 times /bin/true or
#            0.55 times date +%s, or the static one 0.25 times /bin/true; when a static binary is
#            over 100 kB; or when a figure is missing. Wall time drifts too much to gate on.
# Environment: RUNS (hyperfine runs per command, default 300).
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
cd "$qx_root"
[[ ${1:---check} == --check ]] || { echo "usage: $0 [--check]" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

arch=$(uname -m)
read -r deb musl < <(qx_targets | awk -v t="$arch" '$1 == t { print $2, $4 }')
dpkg-deb -x build/dist/qxconsoleticker_*_"$deb".deb "$work/deb"
tar -xzf "build/dist/$(qx_tarball "$arch").tar.gz" -C "$work"
ticker=$work/deb/usr/bin/qxConsoleTicker static=$work/$(qx_tarball "$arch")/bin/qxConsoleTicker
# The floor: the cheapest process Linux can start, an entry point that makes the exit system call.
echo '#include <unistd.h>
void _start(void) { _exit(0); }' >"$work/floor.c"
gcc -O2 -nostdinc -isystem "/usr/include/$musl" -nostdlib -static -o "$work/floor" "$work/floor.c" \
  -L"/usr/lib/$musl" -lc

clean=(env -i TZ=Europe/Berlin LANG=C.UTF-8 PATH=/usr/bin:/bin)
names=(qxConsoleTicker "qxConsoleTicker 1 2 3 4" "static qxConsoleTicker"
  "static qxConsoleTicker 1 2 3 4" floor /bin/true "date +%s")
commands=("$ticker" "$ticker 1 2 3 4" "$static" "$static 1 2 3 4" "$work/floor" /bin/true "date +%s")
"${clean[@]}" hyperfine -N -i --style none --warmup 20 --runs "${RUNS:-300}" \
  --export-json "$work/wall.json" "${commands[@]}" >/dev/null 2>&1
mapfile -t wall < <(jq '.results[].median * 1e6 | floor' "$work/wall.json")
instructions=() rss=()
for c in "${commands[@]}"; do
  # shellcheck disable=SC2086  # each command is split into its words on purpose
  "${clean[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null $c >/dev/null 2>"$work/cg" || true
  instructions+=("$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg")")
  # shellcheck disable=SC2086
  rss+=("$(for _ in 1 2 3 4 5; do "${clean[@]}" /usr/bin/time -f %M $c 2>&1 >/dev/null | tail -n 1 || true
    done | sort -n | sed -n 3p)")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "Start-up cost, ${clean[*]:2}, $(nproc) CPUs, $arch, $(uname -r); wall: median of ${RUNS:-300} runs"
printf '%-31s %12s %6s %6s %9s %6s %6s %8s\n' command instructions /true /date 'wall us' /floor /true 'RSS KiB'
status=0
for i in "${!names[@]}"; do
  for v in "${instructions[$i]}" "${wall[$i]}" "${rss[$i]}"; do
    [[ $v =~ ^[1-9][0-9]*$ ]] || { echo "FAIL: '${names[$i]}': a figure is missing: '$v'" >&2; status=1; }
  done
  printf '%-31s %12s %6s %6s %9s %6s %6s %8s\n' "${names[$i]}" "${instructions[$i]}" \
    "$(ratio "${instructions[$i]}" "${instructions[5]}")" "$(ratio "${instructions[$i]}" "${instructions[6]}")" \
    "${wall[$i]}" "$(ratio "${wall[$i]}" "${wall[4]}")" "$(ratio "${wall[$i]}" "${wall[5]}")" "${rss[$i]}"
done
# limit INDEX TIMES_TRUE TIMES_DATE: the gate on instructions.
limit() {
  awk -v c="${instructions[$1]}" -v t="${instructions[5]}" -v d="${instructions[6]}" \
    'BEGIN { exit !(c > '"$2"' * t || c > '"$3"' * d) }' || return 0
  echo "FAIL: '${names[$1]}' executes over $2 x /bin/true or $3 x date +%s" >&2 && status=1
}
limit 0 1.35 0.55 && limit 1 1.35 0.55 && limit 2 0.25 0.25 && limit 3 0.25 0.25
echo "static binaries, stripped:"
while read -r target _; do
  size=$(tar -xzOf "build/dist/$(qx_tarball "$target").tar.gz" --wildcards '*/bin/qxConsoleTicker' | wc -c)
  printf '  %-10s %7d bytes\n' "$target" "$size"
  ((size <= 100000)) || { echo "FAIL: $target's static binary is over 100,000 bytes" >&2; status=1; }
done < <(qx_targets)
[[ -z ${1:-} ]] || ((status == 0)) || exit 1
echo "instructions, sizes and every figure within the limits"
