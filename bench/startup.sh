#!/usr/bin/env bash
# Start-up cost of qxConsoleTicker, the dynamic build and the static one, against the floor
# (/bin/true) and a familiar neighbour (date +%s): instructions executed (callgrind,
# deterministic), median wall time (hyperfine, no shell in between) and peak resident set size
# (/usr/bin/time -v).
#
# Usage: bench/startup.sh [--check]
#   --check  exit 1 when a run of the dynamic build executes more than 1.25 times the
#            instructions of /bin/true or more than 0.5 times those of date +%s, or a run of the
#            static build more than 0.65 times those of /bin/true. Only instruction counts are
#            gated: they repeat exactly from run to run, wall time on a shared machine does not.
# Environment: RUNS (hyperfine runs per command in all, default 500), ROUNDS (default 5),
#              WARMUP (warm-up runs per command and round, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
runs=${RUNS:-500}
rounds=${ROUNDS:-5}
warmup=${WARMUP:-20}

for tool in valgrind hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 2; }
done

cmake --workflow --preset release >/dev/null
cmake --workflow --preset static >/dev/null
ticker=$PWD/build/release/qxConsoleTicker
static=$PWD/build/static/qxConsoleTicker

# Every command sees the same zone and locale; the tool reads the zone file on every run.
export TZ=Europe/Berlin LANG=C.UTF-8
names=("qxConsoleTicker" "qxConsoleTicker 1 2 3 4" "static qxConsoleTicker"
  "static qxConsoleTicker 1 2 3 4" "/bin/true" "date +%s")
commands=("$ticker" "$ticker 1 2 3 4" "$static" "$static 1 2 3 4" "/bin/true" "date +%s")
t=4 d=5  # the indices of /bin/true and date

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions executed per run. The tool's exit status is its count, so it is not checked.
instructions=()
for c in "${commands[@]}"; do
  # shellcheck disable=SC2086  # each command is split into its words on purpose
  valgrind --tool=callgrind --callgrind-out-file=/dev/null $c >/dev/null 2>"$work/cg" || true
  instructions+=("$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg")")
done

# Median wall time in microseconds. On a shared or virtual machine the speed of the whole
# machine drifts by more than the differences measured here, so the runs are split into rounds
# that each time all the commands one after another, and each figure is the median of the
# rounds' medians.
for ((r = 0; r < rounds; r++)); do
  hyperfine -N -i --style none --warmup "$warmup" --runs $((runs / rounds)) \
    --export-csv "$work/wall.csv" "${commands[@]}" >/dev/null 2>&1
  awk -F, -v r="$r" 'NR > 1 { print NR - 2, $4 * 1e6 }' "$work/wall.csv" >>"$work/rounds"
done
mapfile -t wall < <(for i in "${!commands[@]}"; do
  awk -v i="$i" '$1 == i { print $2 }' "$work/rounds" | sort -g |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                              printf "%.0f\n", m }'
done)

# Peak resident set size in KiB: the median of five runs, as it moves by a page or two.
rss=()
for c in "${commands[@]}"; do
  for _ in 1 2 3 4 5; do
    # shellcheck disable=SC2086
    /usr/bin/time -f '%M' -o "$work/rss" $c >/dev/null 2>&1 || true
    tail -n 1 "$work/rss"
  done | sort -n | sed -n 3p >"$work/rss.median"
  rss+=("$(cat "$work/rss.median")")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "Start-up cost, TZ=$TZ LANG=$LANG, $(nproc) CPUs, $(uname -m), $(uname -r)"
echo "wall: median of $rounds rounds of $((runs / rounds)) runs, $warmup warm-up runs each (hyperfine -N)"
printf '%-32s %12s %7s %7s %10s %7s %7s %9s %7s %7s\n' command instructions /true /date \
  'wall us' /true /date 'RSS KiB' /true /date
for i in "${!names[@]}"; do
  printf '%-32s %12s %7s %7s %10s %7s %7s %9s %7s %7s\n' "${names[$i]}" \
    "${instructions[$i]}" "$(ratio "${instructions[$i]}" "${instructions[$t]}")" \
    "$(ratio "${instructions[$i]}" "${instructions[$d]}")" \
    "${wall[$i]}" "$(ratio "${wall[$i]}" "${wall[$t]}")" "$(ratio "${wall[$i]}" "${wall[$d]}")" \
    "${rss[$i]}" "$(ratio "${rss[$i]}" "${rss[$t]}")" "$(ratio "${rss[$i]}" "${rss[$d]}")"
done

if ((check)); then
  status=0
  # limit INDEX TIMES_TRUE TIMES_DATE: fails the run when the command exceeds either limit.
  limit() {
    if awk -v c="${instructions[$1]}" -v t="${instructions[$t]}" -v d="${instructions[$d]}" \
      -v lt="$2" -v ld="$3" 'BEGIN { exit !(c > lt * t || c > ld * d) }'; then
      echo "FAIL: '${names[$1]}' executes ${instructions[$1]} instructions;" \
        "the limits are $2 x /bin/true and $3 x date +%s" >&2
      status=1
    fi
  }
  limit 0 1.25 0.5
  limit 1 1.25 0.5
  limit 2 0.65 0.5
  limit 3 0.65 0.5
  ((status == 0)) && echo "check passed: instructions within 1.25 x /bin/true and 0.5 x date +%s" \
    "for the dynamic build, 0.65 x /bin/true for the static one"
  exit "$status"
fi
