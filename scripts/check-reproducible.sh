#!/usr/bin/env bash
# Builds every release file once more, in a clone of the last commit, and fails unless each is
# the same byte for byte as the one in build/dist/ (scripts/release.sh makes those, and runs
# this). The second build differs from the first in all that must not matter: another user
# (nobody, when this runs as root), another locale (which release.sh sets aside for C, so that
# it cannot matter) and TZ, the other umask of 022 and 002, a
# deeper folder, a later second, every source file dated 2001, and folders that list their
# entries in shuffled order (disorderfs). On a difference it shows diffoscope's report where
# diffoscope is installed. Needs what scripts/release.sh needs, disorderfs, and a tree without
# uncommitted changes, whose release files are the last commit's.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$qx_root"

changes=$(git status --porcelain --untracked-files=no)
[[ -z "$changes" ]] || fail "the tree has uncommitted changes"
work=$(mktemp -d)
chmod 755 "$work"
trap 'fusermount -u "$work/deeper/tree" 2>/dev/null
  [[ ! -d $work/gnupg ]] || GNUPGHOME=$work/gnupg gpgconf --kill gpg-agent 2>/dev/null || true
  rm -rf "$work"' EXIT

git clone --quiet . "$work/clone"
find "$work/clone" -path "$work/clone/.git" -prune -o -exec touch -d 2001-01-01 {} +
# The APT repository's signatures are the same only under the same key: the second build signs
# with a copy of the release's key (QX_SIGNING_KEY in GNUPGHOME), or of the throwaway one that
# scripts/build-apt.sh keeps. The copy leaves out the first build's agent sockets.
keys=()
if [[ -n ${QX_SIGNING_KEY:-} ]]; then
  cp -r "${GNUPGHOME:-$HOME/.gnupg}" "$work/gnupg"
  keys=(QX_SIGNING_KEY="$QX_SIGNING_KEY" GNUPGHOME="$work/gnupg")
elif [[ -d build/apt-gnupg ]]; then
  mkdir "$work/clone/build"
  cp -r build/apt-gnupg "$work/clone/build/"
fi
find "$work" -type s -delete
mkdir -p "$work/deeper/tree" "$work/home"
as=()
if ((EUID == 0)); then
  chown -R nobody:nogroup "$work/clone" "$work/home" ${keys:+"$work/gnupg"}
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
disorderfs --quiet --multi-user=yes --shuffle-dirents=yes "$work/clone" "$work/deeper/tree" \
  >/dev/null
[[ $(umask) == 0022 ]] && mask=002 || mask=022
(cd "$work/deeper/tree" && umask "$mask" &&
  "${as[@]}" env -i PATH="$PATH" HOME="$work/home" LANG=fr_FR.UTF-8 TZ=Pacific/Chatham "${keys[@]}" \
    scripts/release.sh --build-only) >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
cat build/dist/SHA256SUMS
if ! diff -u build/dist/SHA256SUMS "$work/deeper/tree/build/dist/SHA256SUMS"; then
  if command -v diffoscope >/dev/null; then
    for f in build/dist/*; do diffoscope "$f" "$work/deeper/tree/build/dist/${f##*/}" || true; done
  fi
  fail "two builds of the release files differ"
fi
echo "reproducible: a second build as ${as:+nobody, }umask $mask, TZ, locale, folder, dates and" \
  "the order of folder entries changed, is identical"
