#!/usr/bin/env bash
# Start-up cost of what users get from build/dist: the .deb's dynamic binary and the tarball's
# static one for this machine, against the floor (a static program that only exits), /bin/true
# and date +%s, all in one environment, as the C library's start-up reads every variable:
# instructions (callgrind, exact), median wall time (hyperfine, RUNS runs, default 300) and
# median peak RSS of five runs; then the size of every static binary.
# Usage: bench/startup.sh [--check]: exit 1 when the dynamic binary executes over 1.35 times the
# instructions of /bin/true or 0.55 times date's, the static one over 0.25 times /bin/true's, a
# static binary is over 100 kB, or a figure is missing. Wall time drifts too much to gate on.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
cd "$qx_root"
[[ ${1:---check} == --check ]] || { echo "usage: $0 [--check]" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
read -r deb musl < <(qx_targets | awk -v t="$(uname -m)" '$1 == t { print $2, $4 }')
dpkg-deb -x build/dist/qxconsoleticker_*_"$deb".deb "$work"; tar -xzf "build/dist/$(qx_tarball "$(uname -m)").tar.gz" -C "$work"
printf '#include <unistd.h>\nvoid _start(void) { _exit(0); }\n' >"$work/floor.c"
gcc -O2 -nostdinc -isystem "/usr/include/$musl" -nostdlib -static -o "$work/floor" "$work/floor.c" -L"/usr/lib/$musl" -lc

clean=(env -i TZ=Europe/Berlin LANG=C.UTF-8 PATH=/usr/bin:/bin)
t=$work/usr/bin/qxConsoleTicker s=$work/$(qx_tarball "$(uname -m)")/bin/qxConsoleTicker
names=(qxConsoleTicker "qxConsoleTicker 1 2 3 4" "static qxConsoleTicker" "static qxConsoleTicker 1 2 3 4" floor /bin/true "date +%s")
commands=("$t" "$t 1 2 3 4" "$s" "$s 1 2 3 4" "$work/floor" /bin/true "date +%s")
"${clean[@]}" hyperfine -N -i --style none --warmup 20 --runs "${RUNS:-300}" --export-json "$work/wall.json" "${commands[@]}" >/dev/null 2>&1
mapfile -t wall < <(jq '.results[].median * 1e6 | floor' "$work/wall.json")
instructions=() rss=()
for c in "${commands[@]}"; do
  # shellcheck disable=SC2086  # each command is split into its words on purpose
  "${clean[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null $c >/dev/null 2>"$work/cg" || true
  instructions+=("$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg")")
  # shellcheck disable=SC2086
  rss+=("$(for _ in 1 2 3 4 5; do "${clean[@]}" /usr/bin/time -f %M $c 2>&1 >/dev/null | tail -n 1 || :; done | sort -n | sed -n 3p)")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "Start-up cost, ${clean[*]:2}, $(nproc) CPUs, $(uname -m), $(uname -r); wall: median of ${RUNS:-300} runs"
printf '%-31s %12s %6s %6s %9s %6s %6s %8s\n' command instructions /true /date 'wall us' /floor /true 'RSS KiB'
status=0
for i in "${!names[@]}"; do
  [[ "${instructions[$i]} ${wall[$i]} ${rss[$i]}" =~ ^[1-9][0-9]*\ [1-9][0-9]*\ [1-9][0-9]*$ ]] ||
    { echo "FAIL: '${names[$i]}': a figure is missing" >&2; status=1; }
  printf '%-31s %12s %6s %6s %9s %6s %6s %8s\n' "${names[$i]}" "${instructions[$i]}" \
    "$(ratio "${instructions[$i]}" "${instructions[5]}")" "$(ratio "${instructions[$i]}" "${instructions[6]}")" \
    "${wall[$i]}" "$(ratio "${wall[$i]}" "${wall[4]}")" "$(ratio "${wall[$i]}" "${wall[5]}")" "${rss[$i]}"
done
for limit in "0 1.35 0.55" "1 1.35 0.55" "2 0.25 0.25" "3 0.25 0.25"; do  # index, x /bin/true, x date
  read -r i x y <<<"$limit"
  awk -v c="${instructions[$i]}" -v t="${instructions[5]}" -v d="${instructions[6]}" "BEGIN { exit !(c > $x * t || c > $y * d) }" &&
    { echo "FAIL: '${names[$i]}' executes over $x x /bin/true or $y x date +%s" >&2; status=1; }
done
while read -r -u3 target _; do
  size=$(tar -xzOf "build/dist/$(qx_tarball "$target").tar.gz" --wildcards '*/bin/qxConsoleTicker' | wc -c)
  echo "static binary, stripped: $target $size bytes"
  ((size <= 100000)) || { echo "FAIL: $target's static binary is over 100,000 bytes" >&2; status=1; }
done 3< <(qx_targets)
[[ -z ${1:-} ]] || ((status == 0)) || exit 1
echo "instructions, sizes and every figure within the limits"
