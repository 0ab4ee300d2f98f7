# fish completion for qxConsoleTicker: the byte flags, each with the bits of the count that it
# returns as the exit status. The other arguments are numbers, never files. Once a byte value is
# on the command line, no flag is offered, as a flag would silently turn the report into a save.
complete -c qxConsoleTicker -f
set -l flags_only 'not string match -qvr -- "^-b[1-4]\$" (commandline -opc)[2..-1]'
complete -c qxConsoleTicker -n $flags_only -o b1 -d 'Exit with byte 1 of the count (bits 0-7)'
complete -c qxConsoleTicker -n $flags_only -o b2 -d 'Exit with byte 2 of the count (bits 8-15)'
complete -c qxConsoleTicker -n $flags_only -o b3 -d 'Exit with byte 3 of the count (bits 16-23)'
complete -c qxConsoleTicker -n $flags_only -o b4 -d 'Exit with byte 4 of the count (bits 24-31)'
