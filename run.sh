#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program talking to the
# device emulator (build/krt418-sim), which stops when the program ends.
#   ./run.sh                      the program on the emulator, as COM1
#   ./run.sh --port /dev/ttyUSB0  the program on that device as COM1, no emulator
# The emulator's side of the exchange is logged on this terminal.
set -euo pipefail
cd "$(dirname "$0")"
# Only what the operator runs: the tests and the bench are built by test.sh.
tools/setup.sh krt418 krt418-sim

port=""
args=()
while (($#)); do
    case "$1" in
    --port)
        port="${2:?--port needs a device, for example /dev/ttyUSB0}"
        shift 2
        ;;
    --port=*)
        port="${1#--port=}"
        shift
        ;;
    *)
        args+=("$1")
        shift
        ;;
    esac
done

if [[ -n "$port" ]]; then
    KRT418_COM1="$port" exec build/krt418 ${args[@]+"${args[@]}"}
fi

rundir="$(mktemp -d)"
sim_pid=""
stop_emulator() {
    if [[ -n "$sim_pid" ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$rundir"
}
trap stop_emulator EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A memory with some times in it and an event running on its inputs; its
# first line on stdout is the path of its pseudo-terminal.
build/krt418-sim --times 25 --inputs >"$rundir/path" &
sim_pid=$!
path=""
for _ in $(seq 100); do
    # read succeeds only on a whole line
    if IFS= read -r path <"$rundir/path" && [[ -n "$path" ]]; then
        break
    fi
    path=""
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "run.sh: the device emulator did not start" >&2
        exit 1
    fi
    sleep 0.05
done
if [[ -z "$path" ]]; then
    echo "run.sh: the device emulator gave no line to open" >&2
    exit 1
fi

echo "run.sh: KRT 418 emulator on $path (COM1); closing the program stops it" >&2
status=0
KRT418_COM1="$path" build/krt418 ${args[@]+"${args[@]}"} || status=$?
exit "$status"
