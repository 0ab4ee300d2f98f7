#!/usr/bin/env bash
# The release, in four steps:
#   1. build.sh   every release file, unsigned, into build/dist/;
#   2. reprotest  builds them once more, varying umask, locale, TZ, build path, file
#                 order, time and more, and fails unless build/dist is the same byte for byte;
#   3. sign.sh    signs the RPMs, the APT repository and SHA256SUMS with one key;
#   4. check.sh   checks build/dist in a copy of the tree whose build/ holds nothing else.
# A release is of a commit, QX_COMMIT: HEAD, refused while a tracked file differs from it, or
# with --snapshot a commit of the tree as it stands. SOURCE_DATE_EPOCH is that commit's time
# unless set. Needs every target of cmake/targets.txt (scripts/sysroot.sh), what .ci/run
# installs, and root.
# Usage: scripts/release.sh [--snapshot] [--build-only | --check-only]   (step 1 or step 4 alone)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$qx_root"
[[ ${1:-} != --snapshot ]] || { snapshot=1 && shift; }
case ${1:-} in
  --build-only | "") ;;
  --check-only) exec scripts/check.sh ;;
  *) echo "usage: $0 [--snapshot] [--build-only | --check-only]" >&2; exit 2 ;;
esac
if [[ -z ${QX_COMMIT:-} && -n ${snapshot:-} ]]; then
  git update-index -q --refresh >/dev/null || true  # Behind stale index times, stash sees nothing.
  QX_COMMIT=$(git -c user.name=release -c user.email=release stash create)
fi
QX_COMMIT=${QX_COMMIT:-$(git rev-parse HEAD)}
export QX_COMMIT SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$QX_COMMIT")}
scripts/build.sh
[[ -z ${1:-} ]] || exit 0

# reprotest builds against build/dist in a folder of its own outside the tree. The mounts and
# copies of this tree's killed run, named in build/reprotest-folder, go first. Not varied: kernel
# (the scripts read uname -m), domain_host and user_group: the .debs build in namespaces of root's
# own (build.sh).
echo "=== reprotest ==="
work=$(cat build/reprotest-folder 2>/dev/null) || true
if [[ $work == "${TMPDIR:-/tmp}"/qxconsoleticker-reprotest.?????? && -d $work ]]; then
  awk -v w="$work/" 'index($2, w) == 1 { print $2 }' /proc/mounts | sort -r | xargs -r -n1 fusermount -u 2>/dev/null || true
  rm -rf "$work"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/qxconsoleticker-reprotest.XXXXXX")
echo "$work" >build/reprotest-folder.new && mv build/reprotest-folder.new build/reprotest-folder
mkdir -p "$work/control/source-root/build" "$work/tmp" "$work/source"
cp -a build/dist "$work/control/source-root/build/"
tar -c --exclude=./build . | tar -x -C "$work/source"
(cd "$work/source" && TMPDIR=$work/tmp reprotest --verbosity 1 \
  --vary=-kernel,-domain_host,-user_group,time.faketimes+=+398days+7hours \
  --control-build "$work/control" --store-dir "$work/out" \
  -c "$(printf 'SOURCE_DATE_EPOCH=%q QX_COMMIT=%q QX_SYSROOTS=%q QX_ROOTS=%q scripts/release.sh --build-only' \
    "$SOURCE_DATE_EPOCH" "$QX_COMMIT" "$qx_sysroots" "$qx_roots")" \
  . build/dist) >"$work/log" 2>&1 || { tail -n 60 "$work/log" >&2; fail "reprotest: see $work/log"; }
grep -E '^Reproduc' "$work/log" || true
rm -rf "$work" build/reprotest-folder

echo "=== sign ===" && scripts/sign.sh
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$copy"
mkdir "$copy/build"
cp -a build/dist "$copy/build/"
"$copy/scripts/release.sh" --check-only
