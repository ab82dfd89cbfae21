#!/bin/sh
# Runs a GUI test program on the current display, or on a private Xvfb server when there is none.
if [ -n "$DISPLAY" ] && [ -z "$PONDRA_FORCE_XVFB" ]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
