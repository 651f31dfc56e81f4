#!/usr/bin/env bash
# Installs what is missing, builds the daemon, the board emulator and the test controller, and runs the
# gateway on the emulated board, fitted as emulator/boards/default.board says, in a fresh root until
# Ctrl-C, which also removes the root. TOVRASEL_PORT chooses the controller port.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release

port=${TOVRASEL_PORT:-20001}
root=$(mktemp -d "${TMPDIR:-/tmp}/tovrasel-root-XXXXXX")
mkdir -p "$root/var/run" "$root/var/log" "$root/usr/local/etc"
cat >"$root/usr/local/etc/server.conf" <<'CONF'
# tovrasel on the emulated board: trace switches ("true" turns one on)
[traces]
signalling.hdlc = false
signalling.lemzgw = false
signalling.events = false
signalling.isdn = false
monitoring.internal = false
CONF

# The daemon goes first: it still talks to the board (watchdog STOP) on its way out.
pids=()
cleanup() {
  # A second Ctrl-C must not cut the clean-up short and leave the root behind.
  trap '' INT TERM
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

build/board-emulator --root "$root" --board emulator/boards/default.board &
pids+=($!)
for _ in $(seq 300); do
  [ -S "$root/dev/board-control" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || { echo "run.sh: the board emulator did not start" >&2; exit 1; }
  sleep 0.1
done

TOVRASEL_ROOT="$root" build/tovrasel --port "$port" &
daemon=$!
pids=("$daemon" "${pids[@]}")

cat <<EOF

tovrasel (pid $daemon) runs on the emulated board in $root, controller port $port.
Talk to it from another terminal with the test controller, one message per line in ASN.1 value notation:

    build/controller --port $port '{ seq 1, pdu command : ping : NULL }' '{ seq 2, pdu command : query : NULL }'
    build/controller --port $port          # then type messages; Ctrl-D ends

It serves one controller at a time. Status dump: kill -USR2 $daemon; cat $root/var/log/server-status
Stop with Ctrl-C; the root goes with it.

EOF
wait "$daemon"
