#!/usr/bin/env bash
# Checks what a user installs, from the release build and the release files in build/dist/ that
# scripts/release.sh makes (CTest runs this as dist/package, after its fixture dist/build):
# - the files of `cmake --install`, a manual page that renders without warnings, and the
#   completions, each loaded by its own shell from the installed place;
# - the hardened release binary (hardening-check);
# - the .deb: lintian --pedantic prints nothing, and its own binary runs;
# - the .rpm: its metadata and requirements, rpmlint, and its own binary runs;
# - neither package's binary carries the test clock of the static builds.
# Needs the release build tools plus groff-base, dpkg-dev, file, lintian, devscripts, rpm,
# rpm2cpio, cpio and bash-completion; fish, zsh and rpmlint are used where installed.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

# Runs an extracted binary with -b1; its exit status must match its own last line.
runs() {
  local out status=0
  out=$("$1" -b1) || status=$?
  [[ "$out" == *"Returning Exit Code $status (byte 1)" ]] || fail "$1 did not run as expected"
  ! grep -q QX_TEST_NOW "$1" || fail "$1 carries the test clock"
  echo "$1 runs"
}

prefix=$work/prefix
cmake --install build/release --prefix "$prefix" >/dev/null
for f in bin/qxConsoleTicker share/man/man1/qxConsoleTicker.1 \
  share/doc/qxconsoleticker/examples/elapsed.sh \
  share/bash-completion/completions/qxConsoleTicker share/zsh/site-functions/_qxConsoleTicker \
  share/fish/vendor_completions.d/qxConsoleTicker.fish; do
  [[ -f "$prefix/$f" ]] || fail "install is missing $f"
done
echo "install: tool, man page, example and completions in place"

# groff reports problems on standard error but still exits 0, so any output there fails.
groff -man -ww -z "$prefix/share/man/man1/qxConsoleTicker.1" 2>"$work/groff.log"
[[ -s "$work/groff.log" ]] && { cat "$work/groff.log" >&2; fail "the man page has warnings"; }
echo "man page: renders without warnings"

# What each shell completes for a command line, from the installed files, as a Tab would. bash
# and fish find their files by the command's name under XDG_DATA_DIRS, as they would under /usr;
# fish loads completions only for a command on PATH. zsh runs interactively in a pseudo-terminal,
# with the installed folder on its fpath, compadd wrapped to write down what it is given, and Tab
# bound to a completion that leaves a mark when it is done.
bash_offers() {
  XDG_DATA_DIRS=$prefix/share bash -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion qxConsoleTicker || exit 1
    read -ra COMP_WORDS <<<"$1"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$1 COMP_POINT=${#1}
    fn=$(complete -p qxConsoleTicker | sed -n "s/.*-F \([^ ]*\).*/\1/p")
    "$fn" qxConsoleTicker "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    echo "${COMPREPLY[*]}"' bash "$1" || fail "bash did not load the completion"
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
for shell in bash fish zsh; do
  command -v "$shell" >/dev/null || continue
  for row in "qxConsoleTicker -b|-b1 -b2 -b3 -b4" "qxConsoleTicker -b1 -b|-b1 -b2 -b3 -b4" \
    "qxConsoleTicker 5 -b|"; do
    got=$("${shell}_offers" "${row%|*}")
    [[ "$got" == "${row#*|}" ]] || fail "$shell completes '${row%|*}' to '$got'"
  done
  echo "completions: $shell offers the four flags, and none once a byte value is given"
done

# Debian's own /bin/ls has no control-flow protection and no stack-clash probes either, so
# those two are not asked for; hardening-check reports the latter as "unknown", not a failure.
hardening-check --nocfprotection build/release/qxConsoleTicker

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=build/dist/qxconsoleticker_${version}_$(dpkg --print-architecture).deb
rpm=build/dist/qxconsoleticker-${version}-1.$(uname -m).rpm

dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
# Any tag, down to pedantic and experimental ones, fails: none is overridden.
lintian --pedantic --display-info --display-experimental "$deb" >"$work/lintian.log" 2>&1 ||
  true
sed -i '/^running with root privileges/d' "$work/lintian.log"
cat "$work/lintian.log"
[[ -s "$work/lintian.log" ]] && fail "lintian has tags for $deb"
echo "lintian: no tags"
dpkg-deb -x "$deb" "$work/deb"
for f in usr/share/man/man1/qxConsoleTicker.1.gz usr/share/doc/qxconsoleticker/copyright \
  usr/share/zsh/vendor-completions/_qxConsoleTicker \
  usr/share/doc/qxconsoleticker/changelog.gz; do
  [[ -f "$work/deb/$f" ]] || fail "the .deb lacks $f"
done
hardening-check --nocfprotection "$work/deb/usr/bin/qxConsoleTicker"
runs "$work/deb/usr/bin/qxConsoleTicker"

rpm -qip "$rpm"
rpm -qpR "$rpm" | tee "$work/requires"
# Only the C library, its loader and rpm's own features.
grep -vE '^(libc\.so\.6\(.*\)|rtld\(GNU_HASH\)|rpmlib\(.*\) <= .*)$' "$work/requires" &&
  fail "the .rpm requires more than the C library"
# None of CPack's placeholders (License "unknown", Vendor "Humanity", its stock description),
# and no relocation prefix.
meta=$(rpm -qp --queryformat '%{LICENSE}|%{VENDOR}|%{PREFIXES}|%{DESCRIPTION}' "$rpm")
[[ "$meta" == "MIT|The qxConsoleTicker developers|(none)|qxConsoleTicker counts"* ]] ||
  fail "the .rpm's licence, vendor, prefix or description is wrong: ${meta:0:120}"
# Folders that the system or the shells own must not be claimed.
shared='/usr(/bin|/share(/man(/man1)?|/doc|/licenses|/bash-completion(/completions)?'
shared+='|/zsh(/site-functions)?|/fish(/vendor_completions\.d)?)?)?'
rpm -qpl "$rpm" | grep -xE "$shared" && fail "the .rpm claims a folder it does not own"
mkdir "$work/rpm"
rpm2cpio "$rpm" | (cd "$work/rpm" && cpio -idm --quiet)
for f in usr/share/man/man1/qxConsoleTicker.1.gz usr/share/licenses/qxconsoleticker/LICENSE \
  usr/share/zsh/site-functions/_qxConsoleTicker \
  usr/share/doc/qxconsoleticker/examples/elapsed.sh; do
  [[ -f "$work/rpm/$f" ]] || fail "the .rpm lacks $f"
done
runs "$work/rpm/usr/bin/qxConsoleTicker"
if command -v rpmlint >/dev/null; then
  rpmlint -c packaging/rpmlint.toml "$rpm" || fail "rpmlint reports errors"
fi
echo "packages: $deb and $rpm check out"
