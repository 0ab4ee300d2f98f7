#!/usr/bin/env bash
# Builds every release file (scripts/release.sh: both packages and both static tarballs) twice
# from the last commit, in two clones at different depths, under umask 022 and 002 and some
# seconds apart, the second with every source file dated 2001 as in an old working tree, and
# fails unless every file is the same byte for byte. On a difference it shows diffoscope's report
# where diffoscope is installed. Needs what scripts/release.sh needs.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {  # build FOLDER UMASK [DATE]
  git clone --quiet . "$1"
  [[ -z "${3:-}" ]] || find "$1" -path "$1/.git" -prune -o -exec touch -d "$3" {} +
  (cd "$1" && umask "$2" && scripts/release.sh >"$1.log" 2>&1) || { cat "$1.log" >&2; exit 1; }
  cat "$1/build/dist/SHA256SUMS"
}

build "$work/a" 022 >"$work/a.sums"
sleep 2  # A later second, so that anything taken from the clock would show.
build "$work/b/deeper/clone" 002 2001-01-01 >"$work/b.sums"
cat "$work/a.sums"
if ! diff -u "$work/a.sums" "$work/b.sums"; then
  echo "check-reproducible: two builds of the release files differ" >&2
  if command -v diffoscope >/dev/null; then
    for f in "$work"/a/build/dist/*; do
      diffoscope "$f" "$work/b/deeper/clone/build/dist/${f##*/}" || true
    done
  fi
  exit 1
fi
echo "reproducible: both builds of each release file are identical"
