#!/usr/bin/env bash
# Checks what `cmake --install BUILD` gives a user: exactly the files of packaging/files.txt, with
# their modes; manual pages without warnings; completions that, each loaded by its own shell from
# the installed place, offer exactly what they should; a binary hardened as promised (lib.sh).
# Needs groff-base, devscripts, bash-completion, zsh and fish. Usage: tests/install.sh BUILD
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
build=$1 work=$(mktemp -d)
# A user's install from BUILD keeps its two lists: the test's own start empty, and theirs return.
trap 'rm -f "$build"/install_*.txt; cp -p "$work"/lists/* "$build" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/lists"
find "$build" -maxdepth 1 -name 'install_*.txt' -exec mv -t "$work/lists" {} +

qx_hardened "$1/qxConsoleTicker"
prefix=$work/prefix
mkdir -p "$prefix/share/man"  # A folder that was there before: the uninstall keeps it.
cmake --install "$1" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . ! -type d -printf '%#m %P\n' | sort -k2) | qx_compare "cmake --install" install

# groff reports problems on standard error but still exits 0, so any output there fails.
for page in "$prefix"/share/man/man1/*; do
  [[ -z $(groff -man -ww -z "$page" 2>&1) ]] || fail "$page has warnings: $(groff -man -ww -z "$page" 2>&1)"
done

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
# Each row: a command line, and exactly what every shell offers for its last word. fish runs in
# this folder, full of files, so a completion that let fish fall back to file names would show.
# After any argument but -b1 .. -b4, flag-like ones included, no flag is offered.
rows=(
  "qxConsoleTicker -b|-b1 -b2 -b3 -b4"
  "qxConsoleTicker -b1 -b|-b1 -b2 -b3 -b4"
  "qxConsoleTicker 5 |"
  "qxConsoleTicker -b5 -b|"
  "qxConsoleTicker -b4 -b10 -b|"
  "qxelapsed |report save since"
  "qxelapsed s|save since"
  "qxelapsed since |"
)
for shell in bash fish zsh; do
  for row in "${rows[@]}"; do
    got=$("${shell}_offers" "${row%|*}")
    [[ "$got" == "${row#*|}" ]] || fail "$shell completes '${row%|*}' to '$got'"
  done
  echo "completions: $shell offers exactly what each of ${#rows[@]} command lines should get"
done

# The README's uninstall, without sudo, from this build: nothing is left but what was there.
eval "$(sed -n "/^sudo xargs -rd/,/install_folders.txt\$/{s/sudo //g; s,build/release,$1,g; p}" "$qx_root/README.md")"
[[ $(cd "$prefix" && find . | sort | xargs) == ". ./share ./share/man" ]] || fail "the uninstall left: $(find "$prefix")"
echo "uninstall: the README's removes every file and folder of the install, and no other"
