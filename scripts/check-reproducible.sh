#!/usr/bin/env bash
# Builds every release file once more, in a clone of the last commit, and fails unless each is
# the same byte for byte as the one in build/dist/ (scripts/release.sh makes those; CTest runs
# this as dist/reproducible, after its fixture dist/build). The second build differs from the
# first in all that must not matter: a deeper folder, the other umask of 022 and 002, a later
# second, and every source file dated 2001, as in an old working tree. On a difference it shows
# diffoscope's report where diffoscope is installed. Needs what scripts/release.sh needs, and a
# tree without uncommitted changes, whose release files are the last commit's.
set -euo pipefail
cd "$(dirname "$0")/.."

[[ -z "$(git status --porcelain --untracked-files=no)" ]] ||
  { echo "check-reproducible: the tree has uncommitted changes" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

clone=$work/deeper/clone
git clone --quiet . "$clone"
find "$clone" -path "$clone/.git" -prune -o -exec touch -d 2001-01-01 {} +
[[ $(umask) == 0022 ]] && mask=002 || mask=022
(cd "$clone" && umask "$mask" && scripts/release.sh >"$work/log" 2>&1) || { cat "$work/log" >&2; exit 1; }
cat build/dist/SHA256SUMS
if ! diff -u build/dist/SHA256SUMS "$clone/build/dist/SHA256SUMS"; then
  echo "check-reproducible: two builds of the release files differ" >&2
  if command -v diffoscope >/dev/null; then
    for f in build/dist/*; do diffoscope "$f" "$clone/build/dist/${f##*/}" || true; done
  fi
  exit 1
fi
echo "reproducible: a second build of each release file, umask $mask, is identical"
