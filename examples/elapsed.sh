#!/bin/sh
# elapsed.sh: keep a moment in four exit codes with qxConsoleTicker, and later tell the time
# since then. Run with --help for the usage.
#
# QX_TICKER names the binary to run; by default it is qxConsoleTicker from PATH.
# Exit status: 0 on success, 1 when the tool fails or reports an error, 2 on a usage error.
set -u

ticker=${QX_TICKER:-qxConsoleTicker}
me=${0##*/}

help() {
  cat <<EOF
usage: $me save
       $me report B1 B2 B3 B4
       $me since B1 B2 B3 B4

  save     prints the moment as four bytes, B1 B2 B3 B4, each 0 to 255
  report   hands them back and prints qxConsoleTicker's report of the time since
  since    prints only the seconds since, one integer

Every run of the tool is made in UTC, so that a save and a later report under different TZ
settings agree; the clock line of a report therefore shows UTC. QX_TICKER names the tool
(default: qxConsoleTicker from PATH). Exit status: 0 on success, 1 when the tool fails or
reports an error, 2 on a usage error.
EOF
}

# usage MESSAGE: says what is wrong, then how to call the script, on standard error.
usage() {
  echo "$me: $1" >&2
  help | sed -n '1,3p' >&2
  exit 2
}

# The count starts at local midnight, so a save under one zone and a report under another would
# be off by the difference between the zones. Every run is therefore made in one fixed zone.
tool() { TZ=UTC0 "$ticker" "$@"; }

# Prints byte $1 of the tool's count. An exit status alone cannot tell a byte of 126 or 127 from
# a missing program, or one above 128 from a signal, so the status must match the tool's own
# last line, "Returning Exit Code <byte> (byte <n>)". The tool's standard error is left alone,
# so that whatever keeps it from running reaches the user.
byte() {
  out=$(tool "-b$1")
  status=$?
  case $out in
    *"Returning Exit Code $status (byte $1)") echo "$status" ;;
    *) echo "$me: '$ticker -b$1' did not run as expected" >&2; return 1 ;;
  esac
}

# The four runs happen at different moments. When byte 1 passes from 255 to 0 between them, a
# carry reaches the higher bytes and the saved value would be 256 seconds or more off. Byte 1 is
# read once more at the end: lower than at the start means such a carry, so the save is repeated.
# It cannot repeat for long, as byte 1 wraps only once every 256 seconds.
save() {
  tries=0
  while :; do
    b1=$(byte 1) && b2=$(byte 2) && b3=$(byte 3) && b4=$(byte 4) && again=$(byte 1) || exit 1
    [ "$again" -ge "$b1" ] && break
    tries=$((tries + 1))
    if [ "$tries" -ge 3 ]; then
      echo "$me: byte 1 keeps wrapping between runs; is the clock moving?" >&2
      exit 1
    fi
  done
  echo "$b1 $b2 $b3 $b4"
}

# Hands the bytes back and prints the tool's report, or with $1 = since only the seconds. The
# tool's exit status is its count, so success is read from the output instead.
elapsed() {
  command=$1
  shift
  [ $# -eq 4 ] || usage "$command needs four bytes, not $#"
  n=0
  for b in "$@"; do
    n=$((n + 1))
    case $b in
      [0-9] | [0-9][0-9] | [0-9][0-9][0-9]) [ "$b" -le 255 ] && continue ;;
    esac
    usage "byte $n is ${b:-empty}; each byte must be 0 to 255"
  done
  out=$(tool "$@")
  seconds=$(printf '%s\n' "$out" | sed -n 's/^Difference seconds: //p')
  case $command,$seconds in
    report,*) printf '%s\n' "$out" ;;
    since,?*) echo "$seconds" ;;
    *) printf '%s\n' "$out" | grep '^Error: ' >&2 || echo "$me: '$ticker' did not run as expected" >&2 ;;
  esac
  [ -n "$seconds" ]
}

[ $# -ge 1 ] || usage "no command given"
case $1 in
  save) [ $# -eq 1 ] || usage "save takes no arguments"; save ;;
  report | since) elapsed "$@" ;;
  -h | --help) help ;;
  *) usage "unknown command '$1'" ;;
esac
