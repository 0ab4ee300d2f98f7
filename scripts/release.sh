#!/usr/bin/env bash
# The release, in four steps, each a script of this folder:
#   1. build.sh    every release file, unsigned, into build/dist/ (its header lists them);
#   2. reprotest   builds them once more, varying user, umask, locale, TZ, build path, file
#                  order, time and more, and fails unless build/dist is the same byte for byte;
#   3. sign.sh     signs the RPMs, the APT repository and SHA256SUMS with one key;
#   4. check.sh    checks build/dist, copied into a copy of the tree whose build/ holds nothing
#                  else, so that no check can lean on the build.
# SOURCE_DATE_EPOCH is the last commit's time unless it is set. Every target of cmake/targets.txt
# is required, with its cross compiler and scripts/sysroot.sh's files.
#
# Usage: scripts/release.sh [--build-only | --check-only]
#   --build-only  step 1 alone (reprotest builds so);
#   --check-only  step 4 alone, on the build/dist that is there, built here or elsewhere.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$qx_root"
case ${1:-} in
  --build-only | --check-only | "") ;;
  *) echo "usage: $0 [--build-only | --check-only]" >&2; exit 2 ;;
esac
[[ ${1:-} != --check-only ]] || exec scripts/check.sh

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
scripts/build.sh
[[ -z ${1:-} ]] || exit 0

# reprotest builds once more, as the user rpbuild, with the build/dist above as its control,
# in build/reprotest, where a run that was killed left its mounts and copies: they go first.
# Variations kept out: kernel (setarch changes what uname -m says, which the scripts read) and
# domain_host (it cannot be combined with another user without sudo's help). Time is always
# varied, not only for old sources. sudo resets the environment, so the build command carries
# what the build needs of it. Bookworm's sudo refuses reprotest's "sudo -h localhost", which a
# shim on PATH drops.
echo "=== reprotest ==="
work=$qx_root/build/reprotest
grep -o " $work/[^ ]*" /proc/mounts | sort -r | xargs -r -n1 fusermount -u 2>/dev/null || true
rm -rf "$work" && mkdir -p "$work/control/source-root/build" "$work/tmp" "$work/shim" && chmod 1777 "$work/tmp"
getent passwd rpbuild >/dev/null || useradd --system --user-group --no-create-home rpbuild
chmod 0666 /dev/fuse
printf '#!/bin/sh\n[ "$1 $2" != "-h localhost" ] || shift 2\nexec /usr/bin/sudo "$@"\n' >"$work/shim/sudo"
chmod +x "$work/shim/sudo"
cp -a build/dist "$work/control/source-root/build/"
mkdir "$work/source" && tar -c --exclude=./build . | tar -x -C "$work/source"
(cd "$work/source" && TMPDIR=$work/tmp PATH=$work/shim:$PATH reprotest --verbosity 1 \
  --vary=-kernel,-domain_host,user_group.available+=rpbuild:rpbuild,time.faketimes+=+398days+7hours \
  --control-build "$work/control" --store-dir "$work/out" \
  -c "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH QX_SYSROOTS=$qx_sysroots scripts/release.sh --build-only" \
  . build/dist) >"$work/log" 2>&1 || { tail -n 60 "$work/log" >&2; fail "reprotest: see $work/log"; }
grep -E '^(Reproduced|=======)|reproducible' "$work/log" | tail -n 3
rm -rf "$work"

echo "=== sign ==="
scripts/sign.sh

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$copy"
mkdir "$copy/build" && cp -a build/dist "$copy/build/"
"$copy/scripts/release.sh" --check-only
