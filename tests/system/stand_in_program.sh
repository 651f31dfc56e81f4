#!/bin/sh
# Stands in for the programs the daemon starts for data calls (pppd, the fax programs, the T.38
# program), installed by a test into its root. It does what "$TOVRASEL_ROOT/stand-in/behaviour"
# says:
#   exit <code>   exits with the code (the default: exit 0)
#   wait          runs until a signal ends it (SIGHUP and SIGTERM do)
#   ignore        ignores SIGHUP and SIGTERM and runs until SIGKILL
#   count <n>     prints n and exits with it, as a fax program reports its pages and the T.38
#                 program its instances
#   write <text>  writes the text to descriptor 0 (the T.38 program's channel), then waits
#   sleep <s>     runs for s seconds, saying nothing
#   kill <signal> ends killed by the signal, as a program that crashes
# after appending its arguments, program first, as one JSON array line to
# "$TOVRASEL_ROOT/stand-in/argv": once the line is there, the behaviour holds. However it runs,
# it ends within a second of its parent, so that nothing outlives a test.
files="${TOVRASEL_ROOT:?}/stand-in"
line=""
for argument in "$0" "$@"; do
    escaped=$(printf '%s' "$argument" | sed 's/\\/\\\\/g; s/"/\\"/g')
    line="$line${line:+,}\"$escaped\""
done
set -- $(cat "$files/behaviour" 2>/dev/null)
[ "$1" = ignore ] && trap '' HUP TERM
mkdir -p "$files"
printf '[%s]\n' "$line" >>"$files/argv"

# Runs while the parent does, at most the seconds given; the channel is not lent to the sleeps.
linger() {
    seconds=0
    while kill -0 "$PPID" 2>/dev/null && [ "$seconds" != "${1:-}" ]; do
        sleep 1 <&-
        seconds=$((seconds + 1))
    done
}

case "$1" in
    wait | ignore) linger ;;
    write) printf '%s' "$2" >&0; linger ;;
    sleep) linger "$2" ;;
    count) echo "$2"; exit "$2" ;;
    exit) exit "$2" ;;
    kill) kill -s "$2" $$ ;;
    *) exit 0 ;;
esac
