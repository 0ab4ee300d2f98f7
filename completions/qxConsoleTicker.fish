# fish completion for qxConsoleTicker: the byte flags, each with the bits of the count that it
# returns as the exit status. The other arguments are numbers, never files.
complete -c qxConsoleTicker -f
complete -c qxConsoleTicker -o b1 -d 'Exit with byte 1 of the count (bits 0-7)'
complete -c qxConsoleTicker -o b2 -d 'Exit with byte 2 of the count (bits 8-15)'
complete -c qxConsoleTicker -o b3 -d 'Exit with byte 3 of the count (bits 16-23)'
complete -c qxConsoleTicker -o b4 -d 'Exit with byte 4 of the count (bits 24-31)'
