#!/bin/sh
# Runs a GUI test program on the current display, or on a private Xvfb server when there is none.
# GTK's own caches, held until the process ends, are not reported as leaks.
LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/support/lsan-gui.supp:print_suppressions=0"
export LSAN_OPTIONS
if [ -n "$DISPLAY" ] && [ -z "$PONDRA_FORCE_XVFB" ]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
