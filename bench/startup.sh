#!/usr/bin/env bash
# Start-up cost of qxConsoleTicker, the dynamic build and the static one of this machine's
# architecture, against the floor (a static program that does nothing but exit, built here),
# /bin/true and a familiar neighbour (date +%s): instructions executed (callgrind, which repeats
# exactly), median wall time (hyperfine, no shell in between) and peak resident set size
# (/usr/bin/time). Then the stripped size of every static build there is.
#
# Every command runs in one fixed environment, `env -i` with TZ, LANG and PATH alone, so that no
# figure depends on the caller's: the C library's start-up reads every variable, and the tool's
# ratios to the other commands moved by 0.03 to 0.05 with the size of the environment.
#
# Usage: bench/startup.sh [--check]
#   --check  exit 1 when, in instructions, a run of the dynamic build exceeds 1.35 times
#            /bin/true or 0.55 times date +%s, or a run of the static build 0.25 times /bin/true;
#            or when a stripped static binary is over 100 kB. Wall time is reported, not gated:
#            on a shared machine it drifts by more than the differences measured.
# Environment: RUNS (hyperfine runs per command in all, default 500), ROUNDS (default 5),
#              WARMUP (warm-up runs per command and round, default 20).
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
cd "$qx_root"

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
runs=${RUNS:-500}
rounds=${ROUNDS:-5}
warmup=${WARMUP:-20}

for tool in valgrind hyperfine /usr/bin/time gcc; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 2; }
done

# The builds that scripts/release.sh makes and ships; this script builds nothing of the project.
arch=$(uname -m)
ticker=$PWD/build/release/qxConsoleTicker
static=$PWD/build/static-$arch/qxConsoleTicker
[[ -x $ticker && -x $static ]] || fail "no $ticker or $static: run scripts/release.sh first"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The floor: the cheapest process Linux can start, a static executable whose entry point makes
# the exit system call through musl's _exit and nothing else.
musl=$(qx_targets | awk -v t="$arch" '$1 == t { print $4 }')
echo '#include <unistd.h>
void _start(void) { _exit(0); }' >"$work/floor.c"
gcc -O2 -nostdinc -isystem "/usr/include/$musl" -nostdlib -static -o "$work/floor" \
  "$work/floor.c" -L"/usr/lib/$musl" -lc
floor=$work/floor

clean=(env -i TZ=Europe/Berlin LANG=C.UTF-8 PATH=/usr/bin:/bin)
names=("qxConsoleTicker" "qxConsoleTicker 1 2 3 4" "static qxConsoleTicker"
  "static qxConsoleTicker 1 2 3 4" "floor" "/bin/true" "date +%s")
commands=("$ticker" "$ticker 1 2 3 4" "$static" "$static 1 2 3 4" "$floor" "/bin/true" "date +%s")
f=4 t=5 d=6  # the indices of the floor, /bin/true and date

# Instructions executed per run. The tool's exit status is its count, so it is not checked.
instructions=()
for c in "${commands[@]}"; do
  # shellcheck disable=SC2086  # each command is split into its words on purpose
  "${clean[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null $c >/dev/null \
    2>"$work/cg" || true
  instructions+=("$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg")")
done

# Median wall time in microseconds. On a shared or virtual machine the speed of the whole
# machine drifts by more than the differences measured here, so the runs are split into rounds
# that each time all the commands one after another, and each figure is the median of the
# rounds' medians.
for ((r = 0; r < rounds; r++)); do
  "${clean[@]}" hyperfine -N -i --style none --warmup "$warmup" --runs $((runs / rounds)) \
    --export-csv "$work/wall.csv" "${commands[@]}" >/dev/null 2>&1
  awk -F, 'NR > 1 { print NR - 2, $4 * 1e6 }' "$work/wall.csv" >>"$work/rounds"
done
mapfile -t wall < <(for i in "${!commands[@]}"; do
  awk -v i="$i" '$1 == i { print $2 }' "$work/rounds" | sort -g |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                              printf "%.1f\n", m }'
done)

# Peak resident set size in KiB: the median of five runs, as it moves by a page or two.
rss=()
for c in "${commands[@]}"; do
  for _ in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    "${clean[@]}" /usr/bin/time -f '%M' -o "$work/rss" $c >/dev/null 2>&1 || true
    tail -n 1 "$work/rss"
  done | sort -n | sed -n 3p >"$work/rss.median"
  rss+=("$(cat "$work/rss.median")")
done

# A gate needs every figure: a run that printed none, or not a number, fails it.
if ((check)); then
  for i in "${!names[@]}"; do
    for v in "${instructions[$i]}" "${wall[$i]}" "${rss[$i]}"; do
      [[ $v =~ ^[0-9]+(\.[0-9]+)?$ && ! $v =~ ^0+(\.0*)?$ ]] ||
        fail "'${names[$i]}': a measurement is missing or not a number: '$v'"
    done
  done
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "Start-up cost, env -i TZ=Europe/Berlin LANG=C.UTF-8 PATH=/usr/bin:/bin," \
  "$(nproc) CPUs, $arch, $(uname -r)"
echo "wall: median of $rounds rounds of $((runs / rounds)) runs, $warmup warm-up runs each (hyperfine -N)"
printf '%-31s %12s %6s %6s %9s %6s %6s %6s %8s %6s\n' command instructions /true /date \
  'wall us' /floor /true /date 'RSS KiB' /true
for i in "${!names[@]}"; do
  printf '%-31s %12s %6s %6s %9s %6s %6s %6s %8s %6s\n' "${names[$i]}" \
    "${instructions[$i]}" "$(ratio "${instructions[$i]}" "${instructions[$t]}")" \
    "$(ratio "${instructions[$i]}" "${instructions[$d]}")" "${wall[$i]}" \
    "$(ratio "${wall[$i]}" "${wall[$f]}")" "$(ratio "${wall[$i]}" "${wall[$t]}")" \
    "$(ratio "${wall[$i]}" "${wall[$d]}")" "${rss[$i]}" "$(ratio "${rss[$i]}" "${rss[$t]}")"
done

# The stripped size of each static build that is there, as the tarballs ship it.
status=0
echo "stripped static binaries:"
tarballs=(build/dist/*-linux-*.tar.gz)
[[ ${#tarballs[@]} == "$(qx_targets | wc -l)" ]] ||
  fail "${#tarballs[@]} tarballs in build/dist for $(qx_targets | wc -l) targets"
for tarball in "${tarballs[@]}"; do
  target=${tarball##*-linux-} target=${target%.tar.gz}
  size=$(tar -xzOf "$tarball" --wildcards '*/bin/qxConsoleTicker' | wc -c)
  printf '  %-10s %7d bytes\n' "$target" "$size"
  if ((check && size > 100000)); then
    echo "FAIL: the stripped static binary for $target is over 100,000 bytes" >&2
    status=1
  fi
done

if ((check)); then
  # limit INDEX TIMES_TRUE TIMES_DATE: fails the run when the command exceeds either limit.
  limit() {
    if awk -v c="${instructions[$1]}" -v t="${instructions[$t]}" -v d="${instructions[$d]}" \
      -v lt="$2" -v ld="$3" 'BEGIN { exit !(c > lt * t || c > ld * d) }'; then
      echo "FAIL: '${names[$1]}' executes ${instructions[$1]} instructions;" \
        "the limits are $2 x /bin/true and $3 x date +%s" >&2
      status=1
    fi
  }
  limit 0 1.35 0.55
  limit 1 1.35 0.55
  limit 2 0.25 0.25
  limit 3 0.25 0.25
  ((status == 0)) && echo "check passed: instructions within 1.35 x /bin/true and 0.55 x" \
    "date +%s for the dynamic build, 0.25 x /bin/true for the static one; sizes within 100 kB"
fi
exit "$status"
