#!/usr/bin/env bash
# Makes DIST/apt/, a signed APT repository ("stable main") of the Debian packages in DIST: the one
# source package qxconsoleticker_<version>.dsc and qxconsoleticker_<version>_<arch>.deb for every
# Debian arch of cmake/targets.txt. reprepro builds it; only what a web server has to serve stays:
# dists/, pool/ and key.asc, the public key that signed it (reprepro's db/ and conf/ are thrown
# away, as every run builds the repository afresh).
# The key: QX_SIGNING_KEY, an id of a secret key in the caller's GNUPGHOME that signs without a
# prompt; without it, a throwaway ed25519 key without passphrase in build/apt-gnupg/, made on the
# first run and reused after.
# Reproducible: reprepro and gpg run on a clock stopped at SOURCE_DATE_EPOCH, or at the key's
# creation when that is later (gpg will not sign at a time before its key existed). Release's Date
# and the signatures' time come from that clock alone, and EdDSA and RSA signatures are
# deterministic, so the same packages and key give the same bytes; DSA or ECDSA keys do not.
# Usage: SOURCE_DATE_EPOCH=<seconds> scripts/build-apt.sh DIST. Needs reprepro, gnupg, faketime.
set -euo pipefail
source "$(dirname "$0")/common.sh"

if (($# != 1)) || [[ ! -d $1 ]]; then echo "usage: $0 DIST" >&2; exit 2; fi
qx_epoch
dist=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version is the source package's; every arch must have its .deb of that version.
shopt -s nullglob
dscs=("$dist"/qxconsoleticker_*.dsc)
((${#dscs[@]} == 1)) || fail "$dist needs exactly one qxconsoleticker_*.dsc"
dsc=${dscs[0]}
version=$(sed -n 's/^Version: //p' "$dsc")
archs=() debs=()
while read -r _ arch _; do
  archs+=("$arch") debs+=("$dist/qxconsoleticker_${version}_$arch.deb")
  [[ -f ${debs[-1]} ]] || fail "${debs[-1]} is missing"
done < <(qx_targets)

if [[ -z ${QX_SIGNING_KEY:-} ]]; then
  export GNUPGHOME=$qx_root/build/apt-gnupg
  install -d -m 700 "$GNUPGHOME"
  # Only this script uses that agent: stop it rather than leave it running on a stopped clock.
  trap 'gpgconf --kill gpg-agent; rm -rf "$work"' EXIT
  if [[ -z $(gpg --batch --quiet --list-secret-keys) ]]; then
    gpg --batch --quiet --passphrase '' --faked-system-time "$SOURCE_DATE_EPOCH" \
      --quick-gen-key "qxConsoleTicker throwaway release key" ed25519 sign never
  fi
fi
keys=$(gpg --batch --quiet --with-colons --list-secret-keys ${QX_SIGNING_KEY:+"$QX_SIGNING_KEY"}) ||
  fail "no secret key '${QX_SIGNING_KEY:-}' in ${GNUPGHOME:-~/.gnupg}"
[[ $(grep -c '^sec:' <<<"$keys") == 1 ]] || fail "QX_SIGNING_KEY must name exactly one secret key"
fpr=$(awk -F: '$1 == "fpr" { print $10; exit }' <<<"$keys")
clock=$(awk -F: -v t="$SOURCE_DATE_EPOCH" '/^(sec|ssb):/ && $6 > t { t = $6 } END { print t }' \
  <<<"$keys")

mkdir "$work/conf"
cat >"$work/conf/distributions" <<EOF
Origin: qxConsoleTicker
Label: qxConsoleTicker
Suite: stable
Codename: stable
Components: main
Architectures: ${archs[*]} source
Description: qxConsoleTicker, a clock for shell scripts that keeps time in exit codes
SignWith: $fpr
EOF
# The clock stands still (FAKETIME_FMT=%s reads seconds, in any TZ); the monotonic clock runs on,
# so that nothing waiting on a timeout waits forever. libfaketime is preloaded directly: the
# faketime wrapper keeps a semaphore named after its process id in /dev/shm, which it leaves
# behind when a child outlives it (gpg-agent), and a later run that gets the same id fails.
libfaketime=(/usr/lib/*/faketime/libfaketime.so.1)
[[ -f ${libfaketime[0]} ]] || fail "no libfaketime.so.1 (faketime)"
repo() {
  FAKETIME_FMT=%s FAKETIME=$clock FAKETIME_DONT_FAKE_MONOTONIC=1 LD_PRELOAD=${libfaketime[0]} \
    reprepro --silent --basedir "$work" --outdir "$dist/apt" "$@"
}
rm -rf "$dist/apt"
repo --export=silent-never includedeb stable "${debs[@]}"
repo --export=silent-never includedsc stable "$dsc"
repo export stable
gpg --batch --armor --export-options export-minimal --export "$fpr" >"$dist/apt/key.asc"
uid=$(awk -F: '$1 == "uid" { print $10; exit }' <<<"$keys")
echo "apt: $dist/apt holds ${archs[*]} and source of $version, signed by $fpr ($uid)" \
  "at $(date -u -d "@$clock")"
