#!/bin/sh
# Runs a GUI test program on the current display, or on an Xvfb server of its own when there is
# none. The server picks a free display number itself and reports it when it is ready
# (-displayfd): servers started at the same moment never race for one number, as they do when a
# script guesses a free number first and starts the server on it afterwards.
# PONDRA_XVFB_SCREEN sets that server's screen (default 1280x1024x24), to test a smaller one.
# GTK's own caches, held until the process ends, are not reported as leaks.
LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/support/lsan-gui.supp:print_suppressions=0"
export LSAN_OPTIONS
if [ -n "$DISPLAY" ] && [ -z "$PONDRA_FORCE_XVFB" ]; then
    exec "$@"
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/pondra-x.XXXXXX") || exit 1
server=""
cleanup() {
    [ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
    rm -rf "$dir"
}
trap 'cleanup; exit 130' INT TERM HUP
mkfifo "$dir/ready"
# -noreset: the server stays as it is when its last client leaves. A reset refuses new clients for
# a moment ("Cannot open display") and forgets the keyboard layout a test has set.
Xvfb -displayfd 3 -screen 0 "${PONDRA_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset 3>"$dir/ready" 2>"$dir/server.log" &
server=$!
# The number arrives once the server accepts connections; end of file means it did not start.
read -r number <"$dir/ready"
if [ -z "$number" ]; then
    echo "run-under-x.sh: Xvfb did not start:" >&2
    cat "$dir/server.log" >&2
    cleanup
    exit 1
fi
DISPLAY=":$number" "$@"
status=$?
cleanup
exit $status
