# bash completion for qxConsoleTicker.
# The flags choose which byte of the count becomes the exit status: -b1 bits 0-7, -b2 bits
# 8-15, -b3 bits 16-23, -b4 bits 24-31. The other arguments are byte values that a script saved
# from earlier runs, so nothing is offered for them; and once one is on the command line, no flag
# is offered either, as a flag would silently turn the report into a save.
_qxConsoleTicker() {
  local cur=${COMP_WORDS[COMP_CWORD]} word
  COMPREPLY=()
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    [[ $word == -b[1-4] ]] || return 0
  done
  mapfile -t COMPREPLY < <(compgen -W '-b1 -b2 -b3 -b4' -- "$cur")
}
complete -F _qxConsoleTicker qxConsoleTicker
