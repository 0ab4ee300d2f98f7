#!/usr/bin/env bash
# Runs the recipes of docs/recipes.md exactly as printed (tests/blocks.awk) in a scratch folder,
# with the tools on PATH under their installed names. Environment: QX_TICKER, a dynamic build;
# QX_ELAPSED, elapsed/qxelapsed; QX_PRELOAD, the test clock; QX_STATIC_TICKER, the static x86_64
# build, or empty to skip the busybox recipe (which also needs busybox-static and root).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
awk -f "$src/tests/blocks.awk" "$src/docs/recipes.md"
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir bin frozen lossy none broken killed static tools
ln -s "$(command -v tail)" tools/  # all that byte.sh needs besides the tool
ln -s "$QX_TICKER" bin/qxConsoleTicker
ln -s "$src/tests/ticker_at.sh" frozen/qxConsoleTicker  # the tool at the clock QX_FIRST
printf '#!/bin/sh\nQX_EXIT=5 %s "$@"\n' "$src/tests/ticker_at.sh" >lossy/qxConsoleTicker
ln -s "$QX_ELAPSED" bin/qxelapsed
head -c 64 "$QX_TICKER" >broken/qxConsoleTicker  # an ELF header alone: "Exec format error"
printf '#!/bin/sh\nkill -TERM $$\n' >killed/qxConsoleTicker
chmod +x lossy/qxConsoleTicker broken/qxConsoleTicker killed/qxConsoleTicker
export QX_REAL=$QX_TICKER QX_PRELOAD QX_CALLED=$work/called
unset QX_TICKER  # qxelapsed finds the tool on PATH, as when installed.
export PATH=$work/bin:$PATH

out=$(env -u MAKEFLAGS -u MAKELEVEL make) || fail "make ended with $?"
[[ $out =~ ^build\ took\ [12]\ s$ ]] || fail "the Makefile printed '$out'"
echo "Makefile: $out"

# byte.sh N (no N at all for "none") on the tool frozen where byte 1 is 127 or 143 (in UTC the
# count at 1689440260 is 0x01020304), on a wrapper that loses its status, on the three ways a
# tool that gives no byte can end with such a status, and on an N that is not a flag's.
while read -r dir at n rc want; do
  [[ $n == none ]] && args=() || args=("$n")
  got=$(PATH=$work/$dir:$work/tools TZ=UTC0 QX_FIRST=$at /bin/sh byte.sh "${args[@]}" 2>&1) && status=0 || status=$?
  [[ $status == "$rc" && $got =~ $want ]] || fail "byte.sh $n in $dir gave $status: '$got'"
  echo "byte.sh $n in $dir at $at: $got"
done <<'EOF'
frozen 1689440383 1 0 ^127$
frozen 1689440399 1 0 ^143$
lossy 1689440383 1 1 ^byte.sh: qxConsoleTicker exited with 5, but its last line is 'Returning Exit Code 127 \(byte 1\)'$
none 0 1 1 byte.sh: qxConsoleTicker not found$
broken 0 1 1 byte.sh: qxConsoleTicker cannot run$
killed 0 1 1 byte.sh: qxConsoleTicker ended by signal 15$
frozen 0 5 2 ^usage: byte.sh N, where N is 1, 2, 3 or 4, not '5'$
frozen 0 none 2 ^usage: byte.sh N, where N is 1, 2, 3 or 4, not ''$
EOF

# The busybox recipe needs the static build, busybox-static and root for chroot: CI has them all.
missing=$( ((EUID == 0)) || echo "root"; [[ -n ${QX_STATIC_TICKER:-} ]] || echo "a static build"
  [[ -x /bin/busybox ]] || echo "busybox-static")
if [[ -n $missing ]]; then
  [[ -z ${CI:-} ]] || fail "the busybox recipe lacks ${missing//$'\n'/, }"
  echo "SKIP: the busybox recipe lacks ${missing//$'\n'/, }"
  exit 0
fi
ln -s "$QX_STATIC_TICKER" static/qxConsoleTicker
out=$(PATH=$work/static:$PATH sh mkroot.sh) || fail "mkroot.sh ended with $?"
[[ $out =~ ^[23]$ ]] || fail "rescue.sh printed '$out'"
echo "busybox root: $out seconds"
