#!/bin/sh
# elapsed.sh: keep a moment in four exit codes with qxConsoleTicker, and later report the time
# since then.
#
#   elapsed.sh save                   prints the moment as four bytes: B1 B2 B3 B4
#   elapsed.sh report B1 B2 B3 B4     prints qxConsoleTicker's report of the time since
#
# QX_TICKER names the binary to run; by default it is qxConsoleTicker from PATH.
# Exit status: 0 on success, 1 when the tool fails or reports an error, 2 on a usage error.
set -u

ticker=${QX_TICKER:-qxConsoleTicker}
me=${0##*/}

usage() {
  echo "usage: $me save | $me report B1 B2 B3 B4" >&2
  exit 2
}

# Prints byte $1 of the tool's count. An exit status alone cannot tell a byte of 126 or 127 from
# a missing program, or one above 128 from a signal, so the status must match the tool's own
# last line, "Returning Exit Code <byte> (byte <n>)".
byte() {
  out=$("$ticker" "-b$1" 2>/dev/null)
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

# Hands the bytes back; the tool prints the earlier count and the time since. Its exit status is
# its count, so success is read from the output instead.
report() {
  [ $# -eq 4 ] || usage
  for b in "$@"; do
    case $b in '' | *[!0-9]*) usage ;; esac
    [ "$b" -le 255 ] || usage
  done
  out=$("$ticker" "$@")
  printf '%s\n' "$out"
  case $out in
    *"Difference seconds: "*) exit 0 ;;
    *) exit 1 ;;
  esac
}

[ $# -ge 1 ] || usage
command=$1
shift
case $command in
  save) [ $# -eq 0 ] || usage; save ;;
  report) report "$@" ;;
  *) usage ;;
esac
