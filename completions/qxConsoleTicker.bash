# bash completion for qxConsoleTicker.
# The flags choose which byte of the count becomes the exit status: -b1 bits 0-7, -b2 bits
# 8-15, -b3 bits 16-23, -b4 bits 24-31. The other arguments are byte values that a script saved
# from earlier runs, so nothing is offered for them.
_qxConsoleTicker() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  mapfile -t COMPREPLY < <(compgen -W '-b1 -b2 -b3 -b4' -- "$cur")
}
complete -F _qxConsoleTicker qxConsoleTicker
