#!/bin/sh
# Runs a command with one busy loop per processor core beside it, as on a machine at full load.
# The loops end with the command; the command's exit status is the script's.
loops=""
stop_loops() {
    [ -z "$loops" ] || kill $loops 2>/dev/null
    wait 2>/dev/null
    loops=""
}
trap 'stop_loops; exit 130' INT TERM HUP
for _ in $(seq "$(nproc)"); do
    sh -c 'while :; do :; done' &
    loops="$loops $!"
done
"$@"
status=$?
stop_loops
exit $status
