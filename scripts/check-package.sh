#!/usr/bin/env bash
# Checks what a user installs, from the release build and the release files in build/dist/ that
# scripts/release.sh makes (it runs this):
# - `cmake --install`, the .deb and the .rpm each hold exactly the files of packaging/files.txt,
#   with their modes, and the packages' entries belong to 0/0;
# - a manual page that renders without warnings, and the completions, each loaded by its own
#   shell from the installed place, offer exactly what they should;
# - every dynamic binary (the build's and each package's) is hardened as the project promises:
#   PIE, stack protector, FORTIFY, full RELRO with immediate binding, a non-executable stack,
#   and the C library as its only library; none carries the static builds' test clock;
# - the .deb: its Depends, its changelog as shipped, lintian --pedantic prints nothing;
# - the .rpm: its Requires, its %changelog, its metadata, rpmlint warns of nothing.
# Needs the release build tools plus groff-base, dpkg-dev, file, lintian, devscripts, rpm,
# rpm2cpio, cpio, rpmlint, bash-completion, zsh and fish.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$qx_root"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

qx_hardened build/release/qxConsoleTicker

prefix=$work/prefix
cmake --install build/release --prefix "$prefix" >/dev/null
(cd "$prefix" && find . ! -type d -printf '%#m %P\n' | sort -k2) | qx_compare "cmake --install" install

# groff reports problems on standard error but still exits 0, so any output there fails.
for page in "$prefix"/share/man/man1/*; do
  groff -man -ww -z "$page" 2>"$work/groff.log"
  [[ -s "$work/groff.log" ]] && { cat "$work/groff.log" >&2; fail "$page has warnings"; }
done
echo "manual pages: render without warnings"

# What each shell completes for a command line, from the installed files, as a Tab would. bash
# and fish find their files by the command's name under XDG_DATA_DIRS, as they would under /usr;
# fish loads completions only for a command on PATH. zsh runs interactively in a pseudo-terminal,
# with the installed folder on its fpath, compadd wrapped to write down what it is given, and Tab
# bound to a completion that leaves a mark when it is done.
bash_offers() {
  XDG_DATA_DIRS=$prefix/share bash -c '
    source /usr/share/bash-completion/bash_completion
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    __load_completion "${COMP_WORDS[0]}" || exit 1
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$1 COMP_POINT=${#1}
    fn=$(complete -p "${COMP_WORDS[0]}" | sed -n "s/.*-F \([^ ]*\).*/\1/p")
    "$fn" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' bash "$1" || fail "bash did not load the completion"
}
fish_offers() {
  PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share fish -c "complete -C '$1'" | cut -f1 | xargs
}
zsh_offers() {
  rm -f "$work/zsh.out" "$work/zsh.out.done"
  zsh -f -c "$(cat <<'ZSH'
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z "compadd() { local -a hits; builtin compadd -O hits \"\$@\"; print -rl -- \$hits >>$2 }"
zpty -w z "tab() { zle complete-word; print >$2.done }; zle -N tab; bindkey '^I' tab"
zpty -n -w z "$3"$'\t'
for i in {1..100}; do [[ -e $2.done ]] && break; sleep 0.1; done
zpty -d z
ZSH
)" zsh "$prefix/share/zsh/site-functions" "$work/zsh.out" "$1"
  [[ -e "$work/zsh.out.done" ]] || fail "zsh did not complete '$1'"
  [[ ! -e "$work/zsh.out" ]] || sort -u "$work/zsh.out" | xargs
}
# zsh looks for site-functions under /usr/local, where a source install puts them.
zsh -f -c 'print -rl -- $fpath' | grep -qx /usr/local/share/zsh/site-functions ||
  fail "zsh does not look in /usr/local/share/zsh/site-functions"
# Each row: a command line, and exactly what every shell offers for its last word. fish runs in
# this folder, full of files, so a completion that let fish fall back to file names would show.
rows=("qxConsoleTicker -b|-b1 -b2 -b3 -b4" "qxConsoleTicker -b1 -b|-b1 -b2 -b3 -b4"
  "qxConsoleTicker 5 |" "qxelapsed |report save since" "qxelapsed s|save since"
  "qxelapsed since |")
for shell in bash fish zsh; do
  for row in "${rows[@]}"; do
    got=$("${shell}_offers" "${row%|*}")
    [[ "$got" == "${row#*|}" ]] || fail "$shell completes '${row%|*}' to '$got'"
  done
  echo "completions: $shell offers exactly what each of ${#rows[@]} command lines should get"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=build/dist/qxconsoleticker_${version}_$(dpkg --print-architecture).deb
rpm=build/dist/qxconsoleticker-${version}-1.$(uname -m).rpm

dpkg-deb --info "$deb"
dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner | qx_listing ./usr/ | qx_compare "$deb" deb
[[ $(dpkg-deb -f "$deb" Depends) == "libc6 (>= 2.34)" ]] ||
  fail "$deb: Depends is '$(dpkg-deb -f "$deb" Depends)', not 'libc6 (>= 2.34)'"
dpkg-deb -x "$deb" "$work/deb"
zcmp "$work/deb/usr/share/doc/qxconsoleticker/changelog.gz" CHANGELOG ||
  fail "$deb: the changelog is not CHANGELOG"
# Any tag, down to pedantic and experimental ones, fails: none is overridden.
lintian --pedantic --display-info --display-experimental "$deb" >"$work/lintian.log" 2>&1 ||
  true
sed -i '/^running with root privileges/d' "$work/lintian.log"
cat "$work/lintian.log"
[[ -s "$work/lintian.log" ]] && fail "lintian has tags for $deb"
qx_hardened "$work/deb/usr/bin/qxConsoleTicker"
echo "$deb: Depends, changelog and lintian as they should be"

rpm -qip "$rpm"
rpm -qp --queryformat '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} 0 d t %{FILENAMES}\n]' \
  "$rpm" | qx_listing /usr/ | qx_compare "$rpm" rpm
# Only /bin/sh for qxelapsed, the C library at the symbol versions the binary uses (2.34 the
# newest), its loader's hash style and rpm's own features. The release's .rpm is x86_64's.
requires=$(rpm -qpR "$rpm" | grep -v '^rpmlib(' | paste -sd ' ')
want="/bin/sh libc.so.6()(64bit) libc.so.6(GLIBC_2.2.5)(64bit) libc.so.6(GLIBC_2.3.4)(64bit)"
want+=" libc.so.6(GLIBC_2.34)(64bit) libc.so.6(GLIBC_2.4)(64bit) rtld(GNU_HASH)"
[[ $requires == "$want" ]] || fail "$rpm requires '$requires', not '$want'"
# The %changelog holds every CHANGELOG entry, newest first, as "* Tue Dec 08 2026 name - 1.3.0-1"
# followed by its items; made here from CHANGELOG independently of the build's own conversion.
awk '/^[a-z]/ { v = $2; gsub(/[()]/, "", v) }
  /^  \* / { items = items "- " substr($0, 5) "\n" }
  /^    / { items = items "  " substr($0, 5) "\n" }
  /^ -- / { split($0, a, "  "); n = split(a[2], d, " "); sub(/^ -- /, "", a[1])
            printf "* %s %s %s %s %s - %s-1\n%s\n", substr(d[1], 1, 3), d[3], d[2], d[4], a[1], v, items
            items = "" }' CHANGELOG >"$work/changelog.want"
rpm -qp --changelog "$rpm" >"$work/changelog.got"
diff "$work/changelog.want" "$work/changelog.got" || fail "$rpm: the %changelog is not CHANGELOG"
# None of CPack's placeholders (License "unknown", Vendor "Humanity", its stock description),
# and no relocation prefix.
meta=$(rpm -qp --queryformat '%{LICENSE}|%{VENDOR}|%{PREFIXES}|%{DESCRIPTION}' "$rpm")
[[ "$meta" == "MIT|The qxConsoleTicker developers|(none)|qxConsoleTicker counts"* ]] ||
  fail "the .rpm's licence, vendor, prefix or description is wrong: ${meta:0:120}"
mkdir "$work/rpm"
rpm2cpio "$rpm" | (cd "$work/rpm" && cpio -idm --quiet)
qx_hardened "$work/rpm/usr/bin/qxConsoleTicker"
# The warnings that packaging/rpmlint.toml accepts, each with its reason, are filtered there;
# any other warning or error fails.
rpmlint -c packaging/rpmlint.toml "$rpm" | tee "$work/rpmlint.log"
grep -qE ' 0 errors, 0 warnings' "$work/rpmlint.log" || fail "rpmlint reports errors or warnings"
echo "packages: $deb and $rpm check out"
