#!/usr/bin/env bash
# Signs build/dist/ with one key: every RPM, the APT repository's Release, and SHA256SUMS, made
# anew, as SHA256SUMS.asc; apt/key.asc and FINGERPRINT name the key. It is QX_SIGNING_KEY in
# GNUPGHOME, or a throwaway ed25519 key kept in build/gnupg, which users must not trust.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
dist=$qx_root/build/dist
[[ -f $dist/SHA256SUMS && ! -e $dist/FINGERPRINT ]] || fail "$dist is not an unsigned build"

if [[ -z ${QX_SIGNING_KEY:-} ]]; then
  export GNUPGHOME=$qx_root/build/gnupg
  install -d -m 700 "$GNUPGHOME"
  trap 'gpgconf --kill gpg-agent' EXIT  # Only this script uses that agent.
  [[ -n $(gpg --batch --list-secret-keys 2>/dev/null) ]] ||
    gpg --batch --quiet --passphrase '' --quick-gen-key "qxConsoleTicker throwaway key" ed25519 sign never
fi
keys=$(gpg --batch --with-colons --list-secret-keys ${QX_SIGNING_KEY:+"$QX_SIGNING_KEY"} 2>/dev/null) ||
  fail "no secret key '${QX_SIGNING_KEY:-}' in ${GNUPGHOME:-~/.gnupg}"
[[ $(grep -c '^sec:' <<<"$keys") == 1 ]] || fail "QX_SIGNING_KEY must name exactly one secret key"
fpr=$(awk -F: '$1 == "fpr" { print $10; exit }' <<<"$keys")
sign=(gpg --batch --yes --local-user "$fpr")

GPG_TTY=none rpmsign --addsign --define "_gpg_name $fpr" --define "__gpg $(command -v gpg)" "$dist"/*.rpm >/dev/null
"${sign[@]}" --clearsign -o "$dist/apt/dists/stable/InRelease" "$dist/apt/dists/stable/Release"
"${sign[@]}" --armor --detach-sign -o "$dist/apt/dists/stable/Release.gpg" "$dist/apt/dists/stable/Release"
gpg --batch --armor --export-options export-minimal --export "$fpr" >"$dist/apt/key.asc"
echo "$fpr" >"$dist/FINGERPRINT"
qx_sums "$dist"
"${sign[@]}" --armor --detach-sign -o "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS"
echo "sign: build/dist signed by $fpr ($(awk -F: '$1 == "uid" { print $10; exit }' <<<"$keys"))"
