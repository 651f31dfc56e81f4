#!/bin/sh
# Stands in for the programs the daemon starts for data calls (pppd, the fax programs), installed
# by a test into its root. It does what "$TOVRASEL_ROOT/stand-in/behaviour" says:
#   exit <code>   exits with the code (the default: exit 0)
#   wait          runs until a signal ends it (SIGHUP does)
#   ignore        ignores SIGHUP and SIGTERM and runs until SIGKILL
#   count <n>     prints n and exits with it, as a fax program reports its pages
# after appending its arguments, program first, as one JSON array line to
# "$TOVRASEL_ROOT/stand-in/argv": once the line is there, the behaviour holds.
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
case "$1" in
    wait | ignore) exec sleep 3600 ;;
    count) echo "$2"; exit "$2" ;;
    exit) exit "$2" ;;
    *) exit 0 ;;
esac
