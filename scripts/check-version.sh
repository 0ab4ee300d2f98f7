#!/usr/bin/env bash
# Checks that every place a user reads the release from agrees with its one source: the version
# of project() in CMakeLists.txt, and the date and year of the newest entry of CHANGELOG, which
# must be that version. Checked: every version named in README.md, the manual pages' .TH lines
# (version and month), the banner of the release binary (version and copyright year), the
# copyright line of LICENSE and of debian/copyright, and the upstream version of debian/changelog
# and of the RPM spec. Needs the release build (scripts/release.sh runs this).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$qx_root"

version=$(qx_version)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no version in project(): '$version'"
head -n 1 CHANGELOG | grep -q "^qxconsoleticker ($version) " ||
  fail "the newest CHANGELOG entry is not $version: $(head -n 1 CHANGELOG)"
read -r month year < <(grep -m 1 '^ -- ' CHANGELOG |
  sed -E 's/.*  [A-Z][a-z]{2}, [0-9]+ ([A-Z][a-z]{2}) ([0-9]{4}) .*/\1 \2/')
month=$(date -d "1 $month $year" +%B)

others=$(grep -noE '(qxconsoleticker[-_]|Version )[0-9]+\.[0-9]+\.[0-9]+' README.md |
  grep -vE "[-_ ]$version\$" || true)
[[ -z "$others" ]] || fail "README.md names another version than $version:"$'\n'"$others"

for page in build/release/generated/*.1; do
  grep -qx "\.TH [A-Z]* 1 \"$month $year\" \"qxConsoleTicker $version\" \"User Commands\"" \
    "$page" || fail "$page: .TH is not of $month $year and $version: $(grep '^\.TH' "$page")"
done

banner=$(build/release/qxConsoleTicker | sed -n 2p || true)
[[ $banner == "    Version $version    Copyright (C) $year "* ]] ||
  fail "the banner is not of $version and $year: '$banner'"
grep -qE "^Copyright \(c\) ([0-9]{4}-)?$year " LICENSE ||
  fail "LICENSE: the copyright line does not end at $year: $(grep -m1 '^Copyright' LICENSE)"
grep -qE "^Copyright: ([0-9]{4}-)?$year " debian/copyright ||
  fail "debian/copyright: the copyright line does not end at $year"
[[ $(dpkg-parsechangelog -l debian/changelog -S Version) == "$version"-[1-9]* ]] ||
  fail "debian/changelog is not of $version"
spec=$(rpmspec -q --srpm --qf '%{VERSION}' packaging/qxconsoleticker.spec 2>&1) ||
  fail "rpmspec cannot read packaging/qxconsoleticker.spec: $spec"
[[ $spec == "$version" ]] || fail "packaging/qxconsoleticker.spec is of '$spec', not $version"
echo "version $version of $month $year: README.md, manual pages, banner, LICENSE and the" \
  "packaging agree"
