# fish completion for qxelapsed: its three commands, as the first word only. What follows a
# command is bytes saved by an earlier run, never files, so nothing is offered there.
complete -c qxelapsed -f
set -l first 'test (count (commandline -opc)) -eq 1'
complete -c qxelapsed -n $first -a save -d 'Print the moment as four bytes'
complete -c qxelapsed -n $first -a report -d 'Print the report of the time since a saved moment'
complete -c qxelapsed -n $first -a since -d 'Print the seconds since a saved moment'
