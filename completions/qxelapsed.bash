# bash completion for qxelapsed: its three commands, as the first word only. What follows a
# command is bytes saved by an earlier run, so nothing, not even a file name, is offered there.
_qxelapsed() {
  COMPREPLY=()
  ((COMP_CWORD == 1)) || return 0
  mapfile -t COMPREPLY < <(compgen -W 'save report since' -- "${COMP_WORDS[1]}")
}
complete -F _qxelapsed qxelapsed
